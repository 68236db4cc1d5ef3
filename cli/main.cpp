#include "cli/clioptions.h"
#include "cli/commands.h"
#include "cli/exitstatus.h"
#include "cli/output.h"
#include "cli/watchcommand.h"
#include "device/energizer.h"
#include "link/energizerlink.h"
#include "sim/quitsignals.h"

#ifdef EC_HAVE_MQTT
#include "cli/mqttcommand.h"
#endif

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// The link's debug chatter is for the window's console; stderr here carries
// failure reasons and, with -v, frames.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "energizer-cli: %s\n", message.toLocal8Bit().constData());
        std::abort();
    }
}

void printLine(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

std::unique_ptr<CliCommand> makeCommand(EnergizerLink& link, const CliRequest& request)
{
    if (request.command == QLatin1String("status"))
        return std::make_unique<StatusCommand>(link, request);
    if (request.command == QLatin1String("watch"))
        return std::make_unique<WatchCommand>(link, request);
    if (request.command == QLatin1String("config"))
        return std::make_unique<ConfigCommand>(link, request);
    return std::make_unique<ZoneCommand>(link, request);
}

} // namespace

int main(int argc, char* argv[])
{
    qInstallMessageHandler(quietMessages);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("energizer-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(EC_VERSION));

    CliRequest request;
    const ParseOutcome parsed = parseCommandLine(QCoreApplication::arguments(), request);
    switch (parsed.kind) {
    case ParseOutcome::Help:
        std::fputs(usageText().toLocal8Bit().constData(), stdout);
        return ExitStatus::Done;
    case ParseOutcome::Version:
        printLine(stdout, QStringLiteral("energizer-cli " EC_VERSION));
        return ExitStatus::Done;
    case ParseOutcome::Error:
        printLine(stderr, QStringLiteral("energizer-cli: ") + parsed.message);
        if (parsed.status == ExitStatus::Usage)
            printLine(stderr, QStringLiteral("Try 'energizer-cli --help'."));
        return parsed.status;
    case ParseOutcome::Run:
        break;
    }

    Energizer energizer;
    EnergizerLink link(energizer);
    link.setSettings(request.settings);
    if (request.verbose) {
        QObject::connect(&link, &EnergizerLink::frameSent, [](const QByteArray& f) { printLine(stderr, traceLine("TX", f)); });
        QObject::connect(&link, &EnergizerLink::replyTaken, [](const QByteArray& f) { printLine(stderr, traceLine("RX", f)); });
    }

    if (request.command == QLatin1String("mqtt")) {
#ifdef EC_HAVE_MQTT
        link.open();
        return runMqttCommand(link, request.rest, request.timeoutMs);
#else
        printLine(stderr, QStringLiteral("mqtt: not built"));
        return ExitStatus::Usage;
#endif
    }

    std::unique_ptr<CliCommand> command = makeCommand(link, request);
    QuitSignals quit;
    QObject::connect(&quit, &QuitSignals::quitRequested, command.get(), &CliCommand::interrupt);
    QObject::connect(command.get(), &CliCommand::finished, &app, [](int status) { QCoreApplication::exit(status); });
    QTimer::singleShot(0, command.get(), &CliCommand::start);
    const int status = app.exec();
    if (command->lookupPending()) {
        // A name lookup still blocked in its thread would hold up the exit.
        std::fflush(stdout);
        ::_exit(status);
    }
    link.close();
    return status;
}
