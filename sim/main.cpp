// energizer-sim: plays an energizer on loopback for the app, its tests and demos.
#include "protocol/configrecord.h"
#include "protocol/configxml.h"
#include "sim/console.h"
#include "sim/faultinjector.h"
#include "sim/output.h"
#include "sim/ptyport.h"
#include "link/quitsignals.h"
#include "sim/simenergizer.h"
#include "sim/simline.h"
#include "sim/simoptions.h"
#include "sim/stationset.h"
#include "sim/tcpserver.h"
#include "sim/udpserver.h"
#include "protocol/refuse.h"

#include <QCoreApplication>
#include <QDomDocument>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "energizer-sim: %s\n", qPrintable(message));
    return 2;
}

bool applySetBits(const QStringList& settings, SimEnergizer& energizer, QString* error)
{
    for (const QString& setting : settings) {
        const QStringList parts = setting.split(QLatin1Char('='));
        const bool valueOk = parts.size() == 1 || (parts.size() == 2 && (parts[1] == QLatin1String("0") || parts[1] == QLatin1String("1")));
        if (!valueOk || !energizer.setBit(parts[0], parts.size() == 1 || parts[1] == QLatin1String("1")))
            return refuse(error, QStringLiteral("--set %1: use NAME or NAME=0|1 with NAME one of: %2")
                                     .arg(setting, SimEnergizer::bitNames().join(QLatin1Char(' '))));
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    std::signal(SIGPIPE, SIG_IGN); // a closed reader must not kill the simulator
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("energizer-sim"));

    SimOptions options;
    QString error;
    bool help = false;
    if (!parseSimOptions(app.arguments(), options, &error, &help)) {
        if (help) {
            std::fputs(qPrintable(error), stdout);
            return 0;
        }
        return fail(error);
    }

    StationSet stations;
    for (const StationOptions& station : qAsConst(options.stations)) {
        ConfigBlock config = defaultConfigBlock();
        QDomDocument file;
        if (!station.configFile.isEmpty()) {
            if (!loadConfigFile(station.configFile, file, &error))
                return fail(error);
            config = applyParams(config, documentParams(file));
        }
        const quint32 seed = StationSet::seedFor(options.seed, station.address);
        auto energizer = std::make_unique<SimEnergizer>(station.address, config, seed);
        energizer->setIgnoreWrites(station.ignoreWrites);
        if (!applySetBits(options.setBits, *energizer, &error))
            return fail(error);
        if (options.zonesOn)
            energizer->setZones(true, true, true, true);
        stations.add(std::move(energizer),
                     std::make_unique<FaultInjector>(station.faults, seed ^ 0x5eed5eedu, options.verbose));
    }
    SimLine line(options.line, options.verbose);

    SessionContext context{stations, line, options.faults, options.verbose};
    std::unique_ptr<SimTransport> transport;
    switch (options.transport) {
    case Transport::Udp:
        transport = std::make_unique<UdpServer>(context, options.port);
        break;
    case Transport::Tcp:
        transport = std::make_unique<TcpServer>(context, options.port);
        break;
    case Transport::Pty:
        transport = std::make_unique<PtyPort>(context, options.ptyPath);
        break;
    }
    if (!transport->start(&error))
        return fail(error);

    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &app, &QCoreApplication::quit);
    Console console(stations, line);
    QObject::connect(&console, &Console::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    printLine(QStringLiteral("READY ") + transport->endpoint());
    const int status = app.exec();
    if (options.line.collide)
        printLine(QStringLiteral("COLLISIONS %1").arg(line.collisions()));
    return status;
}
