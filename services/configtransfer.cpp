#include "services/configtransfer.h"

#include "protocol/frames.h"
#include "link/linklog.h"
#include "link/station.h"

#include <QDateTime>

ConfigTransfer::ConfigTransfer(Station& station, QObject* parent)
    : QObject(parent)
    , m_station(station)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ConfigTransfer::timedOut);
    qRegisterMetaType<ConfigTransfer::Outcome>();
    connect(&m_station, &Station::configReceived, this, &ConfigTransfer::takeReply);
    connect(&m_station, &Station::requestTimedOut, this, &ConfigTransfer::requestTimedOut);
}

void ConfigTransfer::read()
{
    m_writing = false;
    sendReadRequest();
}

void ConfigTransfer::write(const ConfigBlock& block)
{
    m_writing = true;
    m_sent = block;
    // An energizer given a PIN it cannot show locks its installer out.
    const QStringList badPins = pinsNotDigits(block);
    if (!badPins.isEmpty()) {
        finish(Outcome::Refused, {}, badPins);
        return;
    }
    if (!m_station.send(configWriteFrame(m_station.address(), block))) {
        finish(Outcome::NotSent, {});
        return;
    }
    // Replies come in the order of the reads; those still owed answer reads
    // sent before the write and cannot confirm it.
    // A reply later than twice the answer time is not waited for.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    while (!m_readsSentAt.isEmpty() && m_readsSentAt.head() < now - 2 * m_answerMs)
        m_readsSentAt.dequeue();
    m_staleReads = m_readsSentAt.size();
    m_lastBack.clear();
    m_mode = Mode::Settling;
    m_timer.start(SettleMs);
}

bool ConfigTransfer::requestConfig()
{
    if (!m_station.requestConfig())
        return false;
    m_readsSentAt.enqueue(QDateTime::currentMSecsSinceEpoch());
    return true;
}

void ConfigTransfer::sendReadRequest()
{
    if (!requestConfig()) {
        finish(Outcome::NotSent, {});
        return;
    }
    m_mode = m_writing ? Mode::Verifying : Mode::Reading;
    m_timer.start(m_answerMs);
}

void ConfigTransfer::timedOut()
{
    ConfigBlock back{};
    if (m_mode == Mode::Settling)
        sendReadRequest();
    else if (m_mode == Mode::Verifying && blockFromReply(m_lastBack, &back))
        finish(Outcome::Differs, m_lastBack, differingParams(m_sent, back));
    else if (m_mode != Mode::Idle)
        finish(Outcome::NoAnswer, {});
}

void ConfigTransfer::requestTimedOut(quint8 command)
{
    // A reply lost on the bus: ask again while the answer time lasts.
    if (command != Frame::CmdConfigRead || (m_mode != Mode::Reading && m_mode != Mode::Verifying))
        return;
    if (m_timer.remainingTime() > 0)
        requestConfig();
}

void ConfigTransfer::takeReply(const QByteArray& reply)
{
    const bool stale = m_staleReads > 0;
    if (!m_readsSentAt.isEmpty())
        m_readsSentAt.dequeue();
    m_staleReads = qMax(0, m_staleReads - 1);
    if (m_mode != Mode::Reading && m_mode != Mode::Verifying)
        return;
    ConfigBlock back{};
    if (!blockFromReply(reply, &back))
        return;
    if (m_mode == Mode::Reading) {
        finish(Outcome::Done, reply);
        return;
    }
    const bool same = readBackMatches(m_sent, back);
    if (!same && stale) {
        // The reply the bus took for this read's may be an older read's: ask again.
        m_lastBack = reply;
        requestConfig();
        return;
    }
    finish(same ? Outcome::Done : Outcome::Differs, reply, same ? QStringList() : differingParams(m_sent, back));
}

void ConfigTransfer::finish(Outcome outcome, const QByteArray& reply, const QStringList& differing)
{
    m_timer.stop();
    m_mode = Mode::Idle;
    qCDebug(lcTransfer) << "Address" << m_station.address() << (m_writing ? "write" : "read") << outcome;
    if (m_writing)
        emit writeFinished(outcome, differing);
    else
        emit readFinished(outcome, reply);
}

QString ConfigTransfer::readText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done:
        return tr("Configuration read from energizer");
    case Outcome::NotSent:
        return tr("Configuration not read: the link to the energizer is not connected");
    default:
        return tr("Configuration not read: no answer from the energizer within %1 s").arg(AnswerTimeoutMs / 1000);
    }
}

QString ConfigTransfer::writeText(Outcome outcome, const QStringList& differing)
{
    switch (outcome) {
    case Outcome::Done:
        return tr("Configuration written and verified");
    case Outcome::NotSent:
        return tr("Configuration not written: the link to the energizer is not connected");
    case Outcome::NoAnswer:
        return tr("Configuration write not confirmed: no answer from the energizer within %1 s")
            .arg(AnswerTimeoutMs / 1000);
    case Outcome::Refused:
        return tr("Configuration not written: %1 is not all decimal digits").arg(differing.join(QStringLiteral(", ")));
    case Outcome::Differs:
        if (differing.isEmpty())
            return tr("Configuration write not confirmed: the energizer holds other bytes than were sent");
        return tr("Configuration write not confirmed: the energizer holds other values for %1")
            .arg(differing.join(QStringLiteral(", ")));
    }
    return {};
}

QStringList differingParams(const ConfigBlock& a, const ConfigBlock& b)
{
    QStringList names;
    for (int i = 0; i < ParamCount; ++i) {
        if (getParam(a, i) != getParam(b, i))
            names << configParamPath(i);
    }
    return names;
}

#include "moc_configtransfer.cpp"
