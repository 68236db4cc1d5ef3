#include "link/energizerbus.h"

#include "protocol/energizer.h"
#include "protocol/frames.h"
#include "link/linktransport.h"
#include "link/station.h"

#include "link/linklog.h"

#include <QDateTime>
#include <QDebug>

namespace {

quint8 expectedReply(const QByteArray& frame)
{
    if (frame.size() < 3)
        return 0;
    switch (static_cast<quint8>(frame.at(2))) {
    case Frame::CmdStatus: return Frame::RespStatus;
    case Frame::CmdConfigRead: return Frame::RespConfig;
    default: return 0;
    }
}

bool isPoll(const QByteArray& frame)
{
    return frame.size() > 2 && static_cast<quint8>(frame.at(2)) == Frame::CmdStatus;
}

QString hex(quint8 code)
{
    return QStringLiteral("0x%1").arg(code, 2, 16, QLatin1Char('0'));
}

} // namespace

EnergizerBus::EnergizerBus(QObject* parent)
    : QObject(parent)
{
    m_clock.start();
    m_replyTimer.setSingleShot(true);
    m_guard.setSingleShot(true);
    // A coarse timer may end a pause up to 5 % early.
    m_guard.setTimerType(Qt::PreciseTimer);
    m_pollTimer.setSingleShot(true);
    connect(&m_replyTimer, &QTimer::timeout, this, &EnergizerBus::timedOut);
    connect(&m_guard, &QTimer::timeout, this, &EnergizerBus::pump);
    connect(&m_pollTimer, &QTimer::timeout, this, &EnergizerBus::pump);
    setLink(LinkSpec());
}

EnergizerBus::~EnergizerBus() = default;

void EnergizerBus::setLink(const LinkSpec& lineSpec)
{
    LinkTransport*& t = m_transports[int(lineSpec.kind)];
    if (t) {
        t->setSpec(lineSpec);
    } else {
        t = LinkTransport::create(lineSpec, this);
    }
    if (t != m_transport)
        use(t);
}

const LinkSpec& EnergizerBus::link() const
{
    return m_transport->lineSpec();
}

void EnergizerBus::use(LinkTransport* transport)
{
    if (m_transport) {
        // Only one line at a time: the old one would still deliver replies.
        m_transport->disconnect(this);
        m_transport->close();
    }
    m_transport = transport;
    connect(m_transport, &LinkTransport::statusChanged, this, &EnergizerBus::statusChanged);
    connect(m_transport, &LinkTransport::opened, this, &EnergizerBus::opened);
    connect(m_transport, &LinkTransport::usable, this, &EnergizerBus::usable);
    connect(m_transport, &LinkTransport::unknownResponse, this, &EnergizerBus::unknownResponse);
    connect(m_transport, &LinkTransport::frameSent, this, &EnergizerBus::frameSent);
    connect(m_transport, &LinkTransport::replyTaken, this, &EnergizerBus::replyTaken);
    connect(m_transport, &LinkTransport::replyReady, this, &EnergizerBus::takeReply);
    connect(m_transport, &LinkTransport::usable, this, [this] {
        m_pausedUntil = 0;
        // Some modules lose what comes right after a connect: the line is held
        // as after a frame without reply, and whatever waits goes out after.
        if (m_timing.pauseAfterConnectMs > 0)
            m_guard.start(m_timing.pauseAfterConnectMs);
        else if (m_pollIntervalMs > 0)
            QTimer::singleShot(0, this, &EnergizerBus::pump);
    });
    connect(m_transport, &LinkTransport::closed, this, [this] {
        m_replyTimer.stop();
        m_guard.stop();
        const Request cut = m_outstanding;
        m_outstanding = {};
        dropQueued();
        for (Station* s : qAsConst(m_stations))
            s->lineClosed();
        if (cut.station && isPoll(cut.frame))
            emit cut.station->polled(Station::PollOutcome::NoReply);
    });
    connect(m_transport, &LinkTransport::serialOpened, this, [this] {
        // The one energizer of a serial line is taken as there once the port opens.
        if (m_stations.size() == 1)
            m_stations.first()->lineOpened();
    });
    connect(m_transport, &LinkTransport::terminalNotReady, this, [this] {
        for (Station* s : qAsConst(m_stations))
            s->terminalNotReady();
    });
}

Station* EnergizerBus::addStation(int address, Energizer* energizer)
{
    auto* s = new Station(*this, address, energizer, this);
    m_stations << s;
    if (m_pollIntervalMs > 0)
        QTimer::singleShot(0, this, &EnergizerBus::pump);
    return s;
}

Station* EnergizerBus::station(int address) const
{
    for (Station* s : m_stations) {
        if (s->address() == address)
            return s;
    }
    return nullptr;
}

void EnergizerBus::open()
{
    m_pausedUntil = 0;
    m_transport->open();
}

void EnergizerBus::close()
{
    m_pollTimer.stop();
    m_transport->close();
}

void EnergizerBus::setPollInterval(int ms)
{
    m_pollIntervalMs = qMax(0, ms);
    if (m_pollIntervalMs == 0)
        m_pollTimer.stop();
    else
        QTimer::singleShot(0, this, &EnergizerBus::pump);
}

int EnergizerBus::replyTimeoutMs(int requestLength, int replyLength) const
{
    if (m_timing.replyTimeoutMs > 0)
        return m_timing.replyTimeoutMs;
    const int wireMs = m_transport->wireMs(requestLength + replyLength);
    return wireMs < 0 ? m_timing.networkTimeoutMs : wireMs + m_timing.serialMarginMs;
}

bool EnergizerBus::send(const QByteArray& frame)
{
    Station* s = nullptr;
    if (m_stations.size() == 1)
        s = m_stations.first();
    else if (!frame.isEmpty())
        s = station(static_cast<quint8>(frame.at(0)));
    if (!s) {
        qCDebug(lcBus).noquote() << QStringLiteral("No energizer with address %1 on this line; frame dropped")
                                  .arg(frame.isEmpty() ? -1 : int(static_cast<quint8>(frame.at(0))));
        return false;
    }
    return send(*s, frame);
}

bool EnergizerBus::send(Station& station, const QByteArray& frame)
{
    // As before any frame goes out: stale status is cleared first.
    station.checkStale();
    const Request request{&station, frame, expectedReply(frame)};
    const bool poll = isPoll(frame);
    if (isIdle() && !m_pumping && m_commands.isEmpty() && m_polls.isEmpty()) {
        if (poll)
            notePoll(station, now());
        return transmit(request);
    }
    if (!poll) {
        m_commands.enqueue(request);
        return true;
    }
    // One poll waiting per station is enough; it reads the latest status anyway.
    for (const Request& r : qAsConst(m_polls)) {
        if (r.station == &station)
            return true;
    }
    if (m_outstanding.station == &station && isPoll(m_outstanding.frame))
        return true;
    m_polls.enqueue(request);
    return true;
}

bool EnergizerBus::transmit(const Request& request)
{
    if (!m_transport->write(request.frame)) {
        // The line is down and reopening; what waits would only fail the same way.
        dropQueued();
        notSent(request);
        m_pausedUntil = now() + ReconnectPauseMs;
        if (m_pollIntervalMs > 0)
            m_pollTimer.start(ReconnectPauseMs);
        return false;
    }
    ++m_requests;
    if (request.expect) {
        m_outstanding = request;
        m_replyTimer.start(replyTimeoutMs(request.frame.size(), replyLength(request.expect)));
    } else {
        // Nobody answers this one; give the line a moment before the next frame.
        m_guard.start(qMax(0, m_transport->wireMs(request.frame.size())) + m_timing.guardGapMs);
    }
    return true;
}

void EnergizerBus::takeReply(const QByteArray& reply)
{
    Station* s = m_outstanding.station;
    const quint8 code = static_cast<quint8>(reply.at(2));
    const int from = static_cast<quint8>(reply.at(0));
    // Energizers that leave the address byte unfilled still work alone on a line.
    const QString dropped = !s ? QStringLiteral("no request outstanding")
        : code != m_outstanding.expect ? QStringLiteral("response %1 while %2 is awaited").arg(hex(code), hex(m_outstanding.expect))
        : m_stations.size() > 1 && from != s->address() ? QStringLiteral("from address %1 while %2 was asked").arg(from).arg(s->address())
                                                        : QString();
    if (!dropped.isEmpty()) {
        qCDebug(lcBus).noquote() << QStringLiteral("Reply dropped (%1): %2").arg(dropped, QString::fromLatin1(reply.toHex(' ')));
        emit replyDropped(reply, dropped);
        return;
    }
    m_replyTimer.stop();
    m_outstanding = {};
    s->takeReply(reply);
    pump();
}

void EnergizerBus::timedOut()
{
    const Request request = m_outstanding;
    m_outstanding = {};
    ++m_timeouts;
    if (request.station)
        request.station->missedReply(static_cast<quint8>(request.frame.at(2)));
    pump();
}

Station* EnergizerBus::duePoll(qint64 now, qint64* wait) const
{
    *wait = -1;
    if (m_stations.isEmpty())
        return nullptr;
    Station* best = nullptr;
    qint64 bestDue = 0;
    for (Station* s : m_stations) {
        const qint64 due = s->m_lastPollAt < 0 ? 0 : s->m_lastPollAt + s->pollIntervalMs(m_pollIntervalMs);
        // Equal due times: the one polled longest ago goes first.
        if (!best || due < bestDue || (due == bestDue && s->m_pollOrder < best->m_pollOrder)) {
            best = s;
            bestDue = due;
        }
    }
    if (bestDue <= now)
        return best;
    *wait = bestDue - now;
    return nullptr;
}

// An off-line station asked between rounds: only when its wait for the reply
// ends before the next poll is due, so the live ones keep their rate, and at
// most once an interval; the one asked longest ago first.
Station* EnergizerBus::spareTimePoll(qint64 now, qint64* wait) const
{
    if (!m_askInSpareTime || now < m_pausedUntil)
        return nullptr;
    Station* best = nullptr;
    qint64 bestAt = 0;
    for (Station* s : m_stations) {
        if (s->m_backoffMs == 0)
            continue;
        const qint64 at = s->m_lastPollAt + m_pollIntervalMs;
        if (!best || at < bestAt || (at == bestAt && s->m_pollOrder < best->m_pollOrder)) {
            best = s;
            bestAt = at;
        }
    }
    if (!best)
        return nullptr;
    const qint64 askMs = replyTimeoutMs(Frame::StatusRequestLength, Frame::StatusReplyLength);
    const qint64 from = qMax(now, bestAt);
    if (*wait >= 0 && now + *wait - from <= askMs)
        return nullptr;
    if (bestAt <= now)
        return best;
    *wait = bestAt - now;
    return nullptr;
}

void EnergizerBus::notePoll(Station& station, qint64 now)
{
    if (station.m_lastPollAt >= 0 && station.m_backoffMs == 0)
        m_lastCycleMs = now - station.m_lastPollAt;
    station.m_lastPollAt = now;
    station.m_lastPollTime = QDateTime::currentMSecsSinceEpoch();
    station.m_pollOrder = ++m_pollSequence;
}

void EnergizerBus::pump()
{
    if (m_pumping)
        return;
    m_pumping = true;
    while (isIdle()) {
        Request request;
        if (!m_commands.isEmpty()) {
            request = m_commands.dequeue();
        } else if (!m_polls.isEmpty()) {
            request = m_polls.dequeue();
            if (request.station)
                notePoll(*request.station, now());
        } else if (m_pollIntervalMs > 0) {
            qint64 wait = -1;
            Station* s = duePoll(now(), &wait);
            if (!s)
                s = spareTimePoll(now(), &wait);
            if (!s) {
                if (wait >= 0)
                    m_pollTimer.start(int(qMin<qint64>(wait, 60000)));
                break;
            }
            s->checkStale();
            notePoll(*s, now());
            request = Request{s, statusRequestFrame(s->address()), Frame::RespStatus};
            if (now() < m_pausedUntil) {
                // The line is reopening: the poll is due all the same, and not sent.
                notSent(request);
                continue;
            }
        } else {
            break;
        }
        if (request.station)
            transmit(request);
    }
    m_pumping = false;
    if (isIdle() && m_commands.isEmpty() && m_polls.isEmpty())
        emit drained();
}

void EnergizerBus::dropQueued()
{
    m_commands.clear();
    const QQueue<Request> polls = m_polls;
    m_polls.clear();
    for (const Request& r : polls)
        notSent(r);
}

void EnergizerBus::notSent(const Request& request)
{
    if (request.station && isPoll(request.frame))
        emit request.station->polled(Station::PollOutcome::NotSent);
}
