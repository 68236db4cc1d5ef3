#include "cli/historycommand.h"

#include "cli/exitstatus.h"
#include "cli/output.h"
#include "protocol/configdiff.h"
#include "protocol/configxml.h"
#include "services/historychanges.h"
#include "services/historykeeper.h"
#include "link/energizerlink.h"
#include "link/station.h"
#include "protocol/settingsfile.h"

HistoryCommand::HistoryCommand(EnergizerLink& link, const CliRequest& request, HistoryKeeper& keeper, QObject* parent)
    : CliCommand(link, request, parent)
    , m_keeper(keeper)
{
}

bool HistoryCommand::usesLink() const
{
    return needsLink(m_request);
}

int HistoryCommand::prepare(QString* reason)
{
    HistoryStore* store = m_keeper.store();
    if (!store || !store->isAvailable()) {
        *reason = store ? store->problem() : QStringLiteral("no history file");
        return ExitStatus::BadFile;
    }
    if (m_request.subcommand == QLatin1String("list"))
        return ExitStatus::Done;
    const qint64 ids[] = {m_request.entryId, m_request.secondEntryId};
    HistoryEntry* into[] = {&m_entry, &m_second};
    for (int i = 0; i < 2; ++i) {
        if (ids[i] == 0)
            continue;
        const HistoryResult<HistoryEntry> entry = store->entry(ids[i]);
        if (!entry.ok()) {
            *reason = entry.error;
            return ExitStatus::BadFile;
        }
        *into[i] = entry.value;
    }
    if (usesLink()) {
        // Without --address the entry's own energizer is the one compared.
        if (!m_request.addressGiven)
            m_link.station().setAddress(m_entry.address);
        m_keeper.setEnergizer(m_request.link.name(), m_link.station().address());
        m_transfer = new ConfigTransfer(m_link.station(), this);
        connect(m_transfer, &ConfigTransfer::readFinished, this, &HistoryCommand::blockRead);
    }
    return ExitStatus::Done;
}

void HistoryCommand::run()
{
    const QString& sub = m_request.subcommand;
    if (sub == QLatin1String("list")) {
        list();
    } else if (sub == QLatin1String("show")) {
        QString error;
        if (writeOutput(configToXml(m_entry.block), m_request.outputFile, &error))
            succeed({});
        else
            fail(ExitStatus::BadFile, error);
    } else if (m_transfer) {
        m_transfer->read();
        armDeadline(remainingMs(), ExitStatus::NoLink,
                    QStringLiteral("no reply from the energizer within %1 ms").arg(m_request.timeoutMs));
    } else {
        diff(m_entry.block, m_second.block);
    }
}

void HistoryCommand::list()
{
    HistoryFilter filter;
    filter.link = m_request.linkFilter;
    filter.address = m_request.addressGiven ? m_request.addresses.constFirst() : -1;
    filter.limit = m_request.limit;
    const HistoryResult<QVector<HistoryEntry>> listed = m_keeper.store()->list(filter);
    if (!listed.ok()) {
        fail(ExitStatus::BadFile, listed.error);
        return;
    }
    succeed(historyListText(listed.value));
}

void HistoryCommand::blockRead(ConfigTransfer::Outcome outcome, const QByteArray& reply)
{
    ConfigBlock now{};
    // As config diff: the energizer's value first.
    if (takeRead(*m_transfer, m_keeper, outcome, reply, &now))
        diff(now, m_entry.block);
}

void HistoryCommand::diff(const ConfigBlock& before, const ConfigBlock& after)
{
    const QByteArray text = configDiffText(before, after, paramsInFileOrder());
    succeed(text, text.isEmpty() ? ExitStatus::Done : ExitStatus::Differences);
}

QByteArray historyListText(const QVector<HistoryEntry>& entries)
{
    QByteArray text("id\ttime\tlink\taddress\tkind\tuser\tchanged\n");
    for (const HistoryEntry& e : entries) {
        const int changed = e.problem.isEmpty() ? historyChanges(e) : -1;
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\n")
                    .arg(e.id)
                    .arg(e.time.toUTC().toString(Qt::ISODateWithMs), e.link)
                    .arg(e.address)
                    .arg(historyKindName(e.kind), e.user, changed < 0 ? QStringLiteral("-") : QString::number(changed))
                    .toUtf8();
    }
    return text;
}

#include "moc_historycommand.cpp"
