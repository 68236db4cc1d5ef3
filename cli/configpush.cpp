#include "cli/configpush.h"

#include "cli/historykeeper.h"
#include "cli/output.h"
#include "link/station.h"

ConfigPush::ConfigPush(Station& station, HistoryKeeper& history, HistoryKind kept, const QString& pin, int timeoutMs,
                       QObject* parent)
    : QObject(parent)
    , m_station(station)
    , m_history(history)
    , m_kept(kept)
    , m_pin(pin)
    , m_timeoutMs(timeoutMs)
{
    // Connected before the transfer is made, so the read-back reply is here
    // by the time the transfer reports it equal: that reply is what gets kept.
    connect(&station, &Station::configReceived, this, [this](const QByteArray& reply) { m_lastReply = reply; });
    m_transfer = new ConfigTransfer(station, this);
    connect(m_transfer, &ConfigTransfer::readFinished, this, &ConfigPush::blockRead);
    connect(m_transfer, &ConfigTransfer::writeFinished, this, &ConfigPush::blockWritten);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_step == Step::Reading)
            finish(Result::NoReply, QStringLiteral("no reply from the energizer within %1 ms").arg(m_timeoutMs));
        else
            finish(Result::NotConfirmed,
                   QStringLiteral("configuration write not confirmed: no read-back within %1 ms").arg(m_timeoutMs));
    });
}

void ConfigPush::start(const Target& target, bool dryRun)
{
    m_target = target;
    m_dryRun = dryRun;
    m_step = Step::Reading;
    m_deadline.start(m_timeoutMs);
    m_transfer->read();
}

void ConfigPush::blockRead(ConfigTransfer::Outcome outcome, const QByteArray& reply)
{
    using O = ConfigTransfer::Outcome;
    if (m_step == Step::Done)
        return;
    if (outcome == O::NotSent) {
        finish(m_step == Step::Reading ? Result::LinkDown : Result::NotConfirmed,
               QStringLiteral("the link to the energizer is down"));
        return;
    }
    if (outcome == O::NoAnswer) {
        // The transfer's own wait can be shorter than --timeout; ask again.
        m_transfer->read();
        return;
    }
    if (m_step == Step::Verifying)
        verified(toConfigBlock(reply));
    else
        current(toConfigBlock(reply));
}

void ConfigPush::current(const ConfigBlock& block)
{
    m_deadline.stop();
    const ConfigBlock wanted = m_target(block);
    m_outcome.changes = configChanges(block, wanted);
    if (m_dryRun) {
        m_history.keep(m_station.address(), HistoryKind::Read, block);
    } else {
        // Kept before anything is written, so that a failed write can be undone.
        m_outcome.backupId = m_history.keep(m_station.address(), HistoryKind::Backup, block);
    }
    // The window's rule: the installer PIN of the block, as text, exactly.
    if (getParam(block, 20).toString() != m_pin) {
        finish(Result::PinMismatch,
               QStringLiteral("installer PIN mismatch: the energizer's installer PIN is not %1; nothing written")
                   .arg(m_pin == QLatin1String(DefaultInstallerPin) ? QStringLiteral("the default")
                                                                     : QStringLiteral("the one given with --pin")));
        return;
    }
    if (m_dryRun) {
        finish(Result::DryRun);
        return;
    }
    m_sent = wanted;
    m_step = Step::Writing;
    m_deadline.start(ConfigTransfer::SettleMs + m_timeoutMs);
    m_lastReply.clear();
    m_transfer->write(m_sent);
}

void ConfigPush::blockWritten(ConfigTransfer::Outcome outcome, const QStringList& differing)
{
    using O = ConfigTransfer::Outcome;
    if (m_step == Step::Done)
        return;
    switch (outcome) {
    case O::Done:
        verified(m_lastReply.size() >= ConfigBlockSize ? toConfigBlock(m_lastReply) : m_sent);
        break;
    case O::NotSent:
        finish(Result::LinkDown, ConfigTransfer::writeText(outcome, differing));
        break;
    case O::NoAnswer:
        m_step = Step::Verifying;
        m_transfer->read();
        break;
    case O::Differs:
        finish(Result::NotConfirmed, ConfigTransfer::writeText(outcome, differing));
        break;
    }
}

void ConfigPush::verified(const ConfigBlock& back)
{
    bool same = true;
    for (int i = 3; i <= 50; ++i)
        same = same && back[static_cast<std::size_t>(i)] == m_sent[static_cast<std::size_t>(i)];
    if (!same) {
        finish(Result::NotConfirmed, ConfigTransfer::writeText(ConfigTransfer::Outcome::Differs, differingParams(m_sent, back)));
        return;
    }
    m_history.keep(m_station.address(), m_kept, back);
    finish(Result::Written);
}

void ConfigPush::finish(Result result, const QString& reason)
{
    if (m_step == Step::Done)
        return;
    m_step = Step::Done;
    m_deadline.stop();
    m_outcome.result = result;
    m_outcome.reason = reason;
    emit finished(m_outcome);
}
