#include "services/configpush.h"

#include "services/historykeeper.h"
#include "services/configtransfer.h"
#include "link/station.h"

ConfigPush::ConfigPush(ConfigTransfer& transfer, Station& station, HistoryKeeper& keeper, QObject* parent)
    : QObject(parent)
    , m_transfer(transfer)
    , m_keeper(keeper)
{
    connect(&transfer, &ConfigTransfer::readFinished, this,
            [this](ConfigTransfer::Outcome outcome, const QByteArray& reply) { takeRead(int(outcome), reply); });
    connect(&transfer, &ConfigTransfer::writeFinished, this,
            [this](ConfigTransfer::Outcome outcome, const QStringList& differing) {
                takeWrite(int(outcome), differing);
            });
    // writeFinished carries no block; the verified one is the read-back reply.
    connect(&station, &Station::configReceived, this, [this](const QByteArray& reply) {
        if (m_step == Step::Writing)
            m_readBack = reply;
    });
}

bool ConfigPush::start(const ConfigBlock& block, HistoryKind kind)
{
    return start([block](const ConfigBlock&) { return block; }, kind);
}

bool ConfigPush::start(const MakeTarget& makeTarget, HistoryKind kind)
{
    if (busy() || m_transfer.busy())
        return false;
    m_makeTarget = makeTarget;
    m_kind = kind;
    m_backupId = 0;
    m_readBack.clear();
    m_step = Step::Backup;
    m_transfer.read();
    return true;
}

void ConfigPush::takeRead(int outcome, const QByteArray& reply)
{
    if (m_step != Step::Backup)
        return;
    ConfigBlock current{};
    if (ConfigTransfer::Outcome(outcome) != ConfigTransfer::Outcome::Done || !blockFromReply(reply, &current)) {
        if (ConfigTransfer::Outcome(outcome) == ConfigTransfer::Outcome::NotSent)
            finish(Result::NoReply, ConfigTransfer::writeText(ConfigTransfer::Outcome::NotSent, {}));
        else
            finish(Result::NoReply, tr("Configuration not written: the energizer did not answer the read before writing "
                             "within %1 s")
                              .arg(ConfigTransfer::AnswerTimeoutMs / 1000));
        return;
    }
    m_current = current;
    m_target = m_makeTarget(current);
    m_backupId = m_keeper.keep(HistoryKind::Backup, current);
    m_step = Step::Preview;
    emit previewReady(configChanges(current, m_target), m_backupId);
}

void ConfigPush::confirm()
{
    if (m_step != Step::Preview)
        return;
    m_step = Step::Writing;
    // Kept before it goes out: a write cut off before its read-back is on
    // record. A block the transfer refuses never goes out.
    if (pinsNotDigits(m_target).isEmpty())
        m_keeper.keep(HistoryKind::Sent, m_target);
    m_transfer.write(m_target);
}

void ConfigPush::cancel()
{
    if (m_step != Step::Preview)
        return;
    finish(Result::Cancelled, tr("Write cancelled: nothing was written to the energizer"));
}

void ConfigPush::takeWrite(int outcome, const QStringList& differing)
{
    if (m_step != Step::Writing)
        return;
    const auto result = ConfigTransfer::Outcome(outcome);
    QString text = ConfigTransfer::writeText(result, differing);
    if (result == ConfigTransfer::Outcome::Done) {
        // The read-back reply that confirmed the write may reach this object
        // only after the transfer's verdict; its emission is over next turn.
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                ConfigBlock verified = m_target;
                blockFromReply(m_readBack, &verified);
                m_keeper.keep(m_kind, verified);
                finish(Result::Written, text);
            },
            Qt::QueuedConnection);
        return;
    }
    if (result == ConfigTransfer::Outcome::NotSent || result == ConfigTransfer::Outcome::Refused) {
        finish(result == ConfigTransfer::Outcome::NotSent ? Result::NoReply : Result::Refused, text);
        return;
    }
    // Something may have reached the energizer: say where the old block is.
    const QString reason = text;
    if (m_backupId > 0)
        text += QLatin1Char(' ')
            + tr("Backup #%1 can be restored from Configuration → History.").arg(m_backupId);
    finish(Result::NotConfirmed, reason, text);
}

void ConfigPush::finish(Result result, const QString& reason, const QString& text)
{
    m_step = Step::Idle;
    m_result = result;
    m_reason = reason;
    emit finished(result == Result::Written, text.isEmpty() ? reason : text);
}

#include "moc_configpush.cpp"
