#include "cli/clicommand.h"

#include "cli/exitstatus.h"
#include "cli/linkstarter.h"
#include "services/historykeeper.h"

#include "protocol/configxml.h"

#include <cstdio>

CliCommand::CliCommand(EnergizerLink& link, const CliRequest& request, QObject* parent)
    : QObject(parent)
    , m_link(link)
    , m_request(request)
    , m_starter(new LinkStarter(link, request.timeoutMs, this))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { fail(m_deadlineStatus, m_deadlineReason); });
    connect(m_starter, &LinkStarter::ready, this, &CliCommand::run);
    connect(m_starter, &LinkStarter::failed, this, [this](const QString& reason) { fail(ExitStatus::NoLink, reason); });
}

void CliCommand::start()
{
    QString reason;
    const int status = prepare(&reason);
    if (status != ExitStatus::Done) {
        fail(status, reason);
        return;
    }
    if (!usesLink()) {
        run();
        return;
    }
    m_starter->setTolerant(tolerantStart());
    m_starter->start();
}

int CliCommand::prepare(QString*)
{
    return ExitStatus::Done;
}

void CliCommand::interrupt()
{
    fail(130, QStringLiteral("interrupted"));
}

bool CliCommand::lookupPending() const
{
    return m_starter->lookupPending();
}

int CliCommand::remainingMs() const
{
    return m_starter->remainingMs();
}

void CliCommand::armDeadline(int ms, int status, const QString& reason)
{
    m_deadlineStatus = status;
    m_deadlineReason = reason;
    m_deadline.start(qMax(0, ms));
}

void CliCommand::succeed(const QByteArray& data, int status)
{
    if (m_finished)
        return;
    std::fwrite(data.constData(), 1, static_cast<std::size_t>(data.size()), stdout);
    std::fflush(stdout);
    finish(status);
}

void CliCommand::fail(int status, const QString& reason)
{
    if (m_finished)
        return;
    std::fprintf(stderr, "energizer-cli: %s\n", reason.toLocal8Bit().constData());
    finish(status);
}

void CliCommand::finish(int status)
{
    m_finished = true;
    m_deadline.stop();
    emit finished(status);
}

bool writeOutput(const QByteArray& data, const QString& file, QString* error)
{
    if (file.isEmpty() || file == QLatin1String("-")) {
        std::fwrite(data.constData(), 1, static_cast<std::size_t>(data.size()), stdout);
        return std::fflush(stdout) == 0;
    }
    return saveConfigFile(file, data, error);
}

bool CliCommand::takeRead(ConfigTransfer& transfer, HistoryKeeper& keeper, ConfigTransfer::Outcome outcome,
                          const QByteArray& reply, ConfigBlock* block)
{
    using O = ConfigTransfer::Outcome;
    if (outcome == O::NotSent) {
        fail(ExitStatus::NoLink, QStringLiteral("the link to the energizer is down"));
        return false;
    }
    if (outcome == O::NoAnswer) {
        // The transfer's own wait can be shorter than --timeout; ask again.
        transfer.read();
        return false;
    }
    blockFromReply(reply, block); // a read is Done with a whole block only
    keeper.keep(HistoryKind::Read, *block);
    return true;
}

#include "moc_clicommand.cpp"
