#include "cli/clicommand.h"
#include "cli/exitstatus.h"
#include "cli/output.h"
#include "services/historykeeper.h"
#include "protocol/energizer.h"
#include "services/historystore.h"
#include "services/timelinerecorder.h"
#include "link/energizerbus.h"
#include "link/energizerlink.h"
#include "link/linklog.h"
#include "link/quitsignals.h"
#include "protocol/settingsfile.h"

#ifdef EC_HAVE_MQTT
#include "cli/mqttcommand.h"
#endif

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

// stderr carries failure reasons, warnings and, with -v, frames and the
// traces of the categories -v turns on; untagged debug output stays quiet.
void cliMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const bool trace = type == QtDebugMsg || type == QtInfoMsg;
    // The MQTT publisher speaks as the command: "mqtt: connected to broker ...".
    if (context.category && std::strcmp(context.category, "energizer.mqtt") == 0) {
        std::fprintf(stderr, "mqtt: %s\n", message.toLocal8Bit().constData());
        return;
    }
    if (trace && (!context.category || std::strcmp(context.category, "default") == 0))
        return;
    if (trace)
        std::fprintf(stderr, "%s: %s\n", context.category, message.toLocal8Bit().constData());
    else
        std::fprintf(stderr, "energizer-cli: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

void setLogging(bool verbose)
{
    // QT_LOGGING_RULES still overrides these.
    QString rules = QStringLiteral("energizer.*.debug=false\nenergizer.*.info=false\nenergizer.mqtt.info=true");
    if (verbose)
        rules += QStringLiteral("\nenergizer.link.debug=true\nenergizer.link.info=true\nenergizer.history.debug=true\nenergizer.mqtt.debug=true");
    QLoggingCategory::setFilterRules(rules);
}

void printLine(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

#ifdef EC_MQTT_HELPER
// Beside this executable (the build tree), or in the package's libexec folder.
int execMqttHelper(char* argv[])
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& path : {dir + QStringLiteral("/" EC_MQTT_HELPER),
                                dir + QStringLiteral("/../libexec/energizer-configurator/" EC_MQTT_HELPER)}) {
        if (QFileInfo(path).isExecutable()) {
            const QByteArray file = QFile::encodeName(path);
            ::execv(file.constData(), argv);
            printLine(stderr, QStringLiteral("mqtt: cannot start %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
            return ExitStatus::Usage;
        }
    }
    printLine(stderr, QStringLiteral("mqtt: not installed (" EC_MQTT_HELPER " is missing)"));
    return ExitStatus::Usage;
}
#endif

} // namespace

int main(int argc, char* argv[])
{
    qInstallMessageHandler(cliMessages);
    QCoreApplication app(argc, argv);
    // The window's names, so that its per-user setting.ini is the one found.
    QCoreApplication::setOrganizationName(QStringLiteral("Ravlin"));
    QCoreApplication::setApplicationName(QStringLiteral("Energizer Configurator"));
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

    setLogging(request.verbose);

    Energizer energizer;
    EnergizerLink link(energizer);
    link.setLink(request.link, request.addresses.constFirst());
    // The link's own station is the first address; the others share its line.
    for (int i = 1; i < request.addresses.size(); ++i)
        link.bus().addStation(request.addresses.at(i));
    if (request.verbose) {
        QObject::connect(&link, &EnergizerLink::frameSent, [](const QByteArray& f) { printLine(stderr, traceLine("TX", f)); });
        QObject::connect(&link, &EnergizerLink::replyTaken, [](const QByteArray& f) { printLine(stderr, traceLine("RX", f)); });
    }

    // The one command without a maker: the MQTT bridge, a program of its own.
    if (!request.command->make) {
#if defined(EC_HAVE_MQTT)
        return runMqttCommand(link, request.rest, request.timeoutMs);
#elif defined(EC_MQTT_HELPER)
        return execMqttHelper(argv);
#else
        printLine(stderr, QStringLiteral("mqtt: not built"));
        return ExitStatus::Usage;
#endif
    }

    // The history is a record, never a condition: unusable, it is said once.
    std::unique_ptr<HistoryStore> store;
    if (request.command->flags & CommandSpec::KeepsHistory)
        store = std::make_unique<HistoryStore>(request.historyFile);
    HistoryKeeper keeper(store.get());
    keeper.setEnergizer(request.link.name(), request.addresses.constFirst());
    QObject::connect(&keeper, &HistoryKeeper::unavailable, [](const QString& reason) {
        printLine(stderr, QStringLiteral("energizer-cli: nothing is kept in the history: ") + reason);
    });

    // Zone commands and kept configurations are events of the timeline,
    // which is opened only when there is one to write.
    TimelineRecorder timeline(nullptr);
    timeline.watchHistory(keeper, QStringLiteral("cli"));
    timeline.watchZoneCommands(link.bus(), request.link.name(), QStringLiteral("cli"));
    QObject::connect(&timeline, &TimelineRecorder::unavailable, [](const QString& reason) {
        printLine(stderr, QStringLiteral("energizer-cli: nothing is kept in the timeline: ") + reason);
    });

    std::unique_ptr<CliCommand> command = request.command->make(link, request, keeper);
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
    if (timeline.hasPending()) {
        TimelineStore store(request.timelineFile);
        timeline.setStore(&store);
        timeline.stop();
    }
    return status;
}
