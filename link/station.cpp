#include "link/station.h"

#include "protocol/energizer.h"
#include "protocol/statusrecord.h"
#include "link/energizerbus.h"
#include "protocol/frames.h"

#include <QDateTime>
#include "link/linklog.h"

#include <QDebug>
#include <QSignalBlocker>

Station::Station(EnergizerBus& bus, int address, Energizer* energizer, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_address(address)
    , m_energizer(energizer ? energizer : new Energizer(this))
{
    qRegisterMetaType<Station::Availability>();
    m_energizer->address = address;
    m_sinceReply.start();
}

void Station::setAddress(int address)
{
    m_address = address;
    m_energizer->address = address;
}

bool Station::send(const QByteArray& frame)
{
    return m_bus.send(*this, frame);
}

bool Station::pollStatus()
{
    return send(statusRequestFrame(m_address));
}

bool Station::requestConfig()
{
    return send(configReadRequestFrame(m_address));
}

void Station::takeReply(const QByteArray& reply)
{
    m_missed = 0;
    m_backoffMs = 0;
    m_lastReplyAt = QDateTime::currentMSecsSinceEpoch();
    setAvailability(Availability::Online);
    switch (static_cast<quint8>(reply.at(2))) {
    case Frame::RespStatus:
        // Only a status counts against staleness: it is what the panel shows.
        m_sinceReply.restart();
        {
            // Views redraw after the reply's follow-up request is on the wire.
            const QSignalBlocker quiet(m_energizer);
            if (!decodeStatus(*m_energizer, reply)) {
                emit polled(PollOutcome::NoReply);
                break;
            }
        }
        emit statusReceived(reply);
        emit polled(PollOutcome::Replied);
        emit m_energizer->paramChanged();
        break;
    case Frame::RespConfig:
        qCDebug(lcLink) << "Response to configuration reading = 0x82";
        emit configReceived(reply);
        break;
    default:
        break;
    }
}

void Station::missedReply(quint8 command)
{
    if (command == Frame::CmdStatus) {
        ++m_missed;
        if (m_availability == Availability::Offline && m_bus.backsOff()) {
            // From the poll interval, or the round's length on a long bus.
            const int interval = int(qMax<qint64>(m_bus.pollIntervalMs() > 0 ? m_bus.pollIntervalMs() : 1000, m_bus.lastCycleMs()));
            m_backoffMs = qMin(MaxBackoffMs, m_backoffMs > 0 ? m_backoffMs * 2 : interval * 2);
        }
    }
    checkStale();
    emit requestTimedOut(command);
    if (command == Frame::CmdStatus)
        emit polled(PollOutcome::NoReply);
}

void Station::checkStale()
{
    if (m_sinceReply.elapsed() <= StaleReplyMs)
        return;
    // On a long bus a round may take longer than the 3 s; one energizer alone
    // keeps the plain time rule.
    if (m_missed < MissedPollsOffline && m_bus.stations().size() > 1)
        return;
    const bool wasOnline = m_energizer->online;
    m_energizer->reset();
    m_energizer->address = m_address;
    if (wasOnline)
        emit wentOffline();
    setAvailability(Availability::Offline);
}

void Station::lineClosed()
{
    m_energizer->online = false;
    emit m_energizer->paramChanged();
    emit wentOffline();
    if (m_availability == Availability::Online)
        setAvailability(Availability::Offline);
}

void Station::lineOpened()
{
    m_energizer->online = true;
    emit m_energizer->paramChanged();
}

void Station::terminalNotReady()
{
    m_energizer->online = false;
    emit m_energizer->paramChanged();
}

void Station::setAvailability(Availability availability)
{
    if (m_availability == availability)
        return;
    m_availability = availability;
    emit availabilityChanged(availability);
}

int Station::pollIntervalMs(int intervalMs) const
{
    return m_backoffMs > 0 ? qMax(m_backoffMs, intervalMs) : intervalMs;
}
