#include "cli/pushcommand.h"

#include "cli/exitstatus.h"
#include "protocol/configdiff.h"
#include "services/configpush.h"
#include "services/configtransfer.h"
#include "protocol/configxml.h"
#include "services/historykeeper.h"
#include "link/energizerbus.h"
#include "link/energizerlink.h"
#include "link/station.h"
#include "protocol/settingsfile.h"


#include <cstdio>

namespace {

QString parameters(int n)
{
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? QStringLiteral("parameter") : QStringLiteral("parameters"));
}

} // namespace

PushCommand::PushCommand(EnergizerLink& link, const CliRequest& request, HistoryKeeper& keeper, QObject* parent)
    : CliCommand(link, request, parent)
    , m_keeper(keeper)
{
}

int PushCommand::prepare(QString* reason)
{
    // A bad file or entry is reported before any frame goes out.
    if (m_request.subcommand == QLatin1String("restore")) {
        HistoryStore* store = m_keeper.store();
        if (!store || !store->isAvailable()) {
            *reason = QStringLiteral("cannot restore entry %1: %2")
                          .arg(m_request.entryId)
                          .arg(store ? store->problem() : QStringLiteral("no history"));
            return ExitStatus::BadFile;
        }
        const HistoryResult<HistoryEntry> entry = store->entry(m_request.entryId);
        if (!entry.ok()) {
            *reason = entry.error;
            return ExitStatus::BadFile;
        }
        const HistoryEntry& e = entry.value;
        if (e.link != m_request.link.name() || m_request.addresses != QVector<int>{e.address}) {
            const QString origin = QStringLiteral("history entry %1 was recorded from %2 address %3").arg(e.id).arg(e.link).arg(e.address);
            if (!m_request.force) {
                *reason = origin + QStringLiteral(", not from the energizer given; --force restores it there");
                return ExitStatus::Usage;
            }
            std::fprintf(stderr, "energizer-cli: %s\n", qPrintable(origin));
        }
        m_values = blockParams(e.block);
    } else {
        QDomDocument file;
        if (!loadConfigFile(m_request.file, file, reason))
            return ExitStatus::BadFile;
        m_values = documentParams(file);
    }
    // Very likely each energizer's own address on a large network.
    if (!m_request.networkAddressFromFile)
        m_networkAddress = m_values.take(BigNetworkAddressParam);
    return ExitStatus::Done;
}

void PushCommand::run()
{
    m_stations = m_link.bus().stations();
    next();
}

ConfigBlock PushCommand::target(const ConfigBlock& current) const
{
    return applyParams(current, m_values);
}

void PushCommand::next()
{
    // Each energizer gets a transfer of its own: a late reply of the one
    // before cannot be taken for this one's.
    if (m_transfer)
        m_transfer->deleteLater();
    if (m_push)
        m_push->deleteLater();
    m_transfer = nullptr;
    m_push = nullptr;
    if (++m_at >= m_stations.size()) {
        finishAll();
        return;
    }
    m_station = m_stations.at(m_at);
    m_pinRefused = false;
    m_keeper.setEnergizer(m_request.link.name(), m_station->address());
    m_transfer = new ConfigTransfer(*m_station, this);
    m_transfer->setAnswerTimeoutMs(m_request.timeoutMs);
    if (m_request.dryRun) {
        connect(m_transfer, &ConfigTransfer::readFinished, this,
                [this](ConfigTransfer::Outcome outcome, const QByteArray& reply) { dryRunRead(int(outcome), reply); });
        m_transfer->read();
        return;
    }
    m_push = new ConfigPush(*m_transfer, *m_station, m_keeper, this);
    connect(m_push, &ConfigPush::previewReady, this, &PushCommand::previewed);
    connect(m_push, &ConfigPush::finished, this, &PushCommand::pushed);
    const HistoryKind kind = m_request.subcommand == QLatin1String("restore") ? HistoryKind::Restored : HistoryKind::Written;
    m_push->start([this](const ConfigBlock& current) { return target(current); }, kind);
}

QString PushCommand::pinMismatch() const
{
    return QStringLiteral("installer PIN mismatch: the energizer's installer PIN is not %1; nothing written")
        .arg(m_request.pin == QLatin1String(DefaultInstallerPin) ? QStringLiteral("the default")
                                                                 : QStringLiteral("the one given with --pin"));
}

QString PushCommand::restoreHint(qint64 backupId) const
{
    if (backupId <= 0)
        return QStringLiteral("; no backup was kept");
    QString command = QStringLiteral("energizer-cli %1 --address %2 config restore %3")
                          .arg(connectionArguments(m_request))
                          .arg(m_station->address())
                          .arg(backupId);
    if (m_request.pin != QLatin1String(DefaultInstallerPin))
        command += QStringLiteral(" --pin PIN");
    return QStringLiteral("; the configuration before it is history entry %1: %2").arg(backupId).arg(command);
}

void PushCommand::dryRunRead(int outcome, const QByteArray& reply)
{
    ConfigBlock current{};
    if (ConfigTransfer::Outcome(outcome) != ConfigTransfer::Outcome::Done || !blockFromReply(reply, &current)) {
        result(ExitStatus::NoLink, QStringLiteral("no reply from the energizer within %1 ms").arg(m_request.timeoutMs));
        return;
    }
    m_keeper.keep(HistoryKind::Read, current);
    if (!installerPinMatches(current, m_request.pin)) {
        result(ExitStatus::PinMismatch, pinMismatch());
        return;
    }
    const ConfigBlock block = target(current);
    const QStringList badPins = pinsNotDigits(block);
    if (!badPins.isEmpty()) {
        result(ExitStatus::BadFile, ConfigTransfer::writeText(ConfigTransfer::Outcome::Refused, badPins));
        return;
    }
    QStringList lines = configChangeLines(configChanges(current, block));
    if (m_networkAddress.isValid() && m_networkAddress.toInt() != getParam(current, BigNetworkAddressParam).toInt())
        lines << QStringLiteral("%1 %2 kept (not %3: --network-address-from-file writes it)")
                     .arg(configParamPath(BigNetworkAddressParam))
                     .arg(getParam(current, BigNetworkAddressParam).toInt())
                     .arg(m_networkAddress.toInt());
    const bool many = m_stations.size() > 1;
    QByteArray out;
    if (many && lines.isEmpty())
        out += QStringLiteral("address %1: nothing would change\n").arg(m_station->address()).toUtf8();
    for (const QString& line : lines)
        out += ((many ? QStringLiteral("address %1: ").arg(m_station->address()) : QString()) + line + QLatin1Char('\n')).toUtf8();
    // No write: the lines are what the installer asked for.
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
    std::fflush(stdout);
    QMetaObject::invokeMethod(this, &PushCommand::next, Qt::QueuedConnection);
}

void PushCommand::previewed()
{
    // The window's rule, on the block the backup read found.
    if (!installerPinMatches(m_push->current(), m_request.pin)) {
        m_pinRefused = true;
        m_push->cancel();
        return;
    }
    m_push->confirm();
}

void PushCommand::pushed()
{
    switch (m_push->result()) {
    case ConfigPush::Result::Written:
        result(ExitStatus::Done, QStringLiteral("Configuration written and verified (%1 changed)")
                                     .arg(parameters(configChanges(m_push->current(), m_push->target()).size())));
        break;
    case ConfigPush::Result::Cancelled:
        result(ExitStatus::PinMismatch, pinMismatch());
        break;
    case ConfigPush::Result::NoReply:
        result(ExitStatus::NoLink, QStringLiteral("no reply from the energizer within %1 ms; nothing written")
                                       .arg(m_request.timeoutMs));
        break;
    case ConfigPush::Result::Refused:
        result(ExitStatus::BadFile, m_push->reason());
        break;
    case ConfigPush::Result::NotConfirmed:
        result(ExitStatus::NotConfirmed, m_push->reason() + restoreHint(m_push->backupId()));
        break;
    }
}

void PushCommand::result(int status, const QString& line)
{
    m_worst = qMax(m_worst, status);
    const QString text = m_stations.size() > 1 ? QStringLiteral("address %1: %2").arg(m_station->address()).arg(line) : line;
    if (status == ExitStatus::Done) {
        std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
        std::fflush(stdout);
    } else if (m_stations.size() > 1) {
        std::fprintf(stderr, "energizer-cli: %s\n", text.toLocal8Bit().constData());
    } else {
        // The only address: its reason is the command's.
        fail(status, text);
        return;
    }
    // The reply to this one's last request is through before the next asks.
    QMetaObject::invokeMethod(this, &PushCommand::next, Qt::QueuedConnection);
}

void PushCommand::finishAll()
{
    succeed({}, m_worst);
}

#include "moc_pushcommand.cpp"
