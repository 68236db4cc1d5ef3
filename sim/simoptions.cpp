#include "sim/simoptions.h"

#include "protocol/addresslist.h"
#include "protocol/refuse.h"

#include <QCommandLineParser>

namespace {

bool toInt(const QString& text, int min, int max, int& out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        return false;
    out = value;
    return true;
}

// With --line-rate and no --turnaround: the energizer starts answering this long after a request.
constexpr int DefaultTurnaroundMs = 1;

// Applies the "OPTION=VALUE" of one --fault (named by text in messages) to its address.
bool applyAddressFault(const QString& text, const QString& setting, StationOptions& station, QString* error)
{
    const int eq = setting.indexOf(QLatin1Char('='));
    const QString name = setting.left(eq);
    const QString value = eq < 0 ? QString() : setting.mid(eq + 1);
    FaultOptions& f = station.faults;
    struct IntFault { const char* name; int min; int max; int& target; };
    const IntFault ints[] = {
        {"trailing", 0, 4096, f.trailing},
        {"noise", 0, 4096, f.noise},
        {"delay", 0, 600000, f.delayMs},
        {"silent-after", 0, 2147483647, f.silentAfter},
    };
    for (const IntFault& o : ints) {
        if (name != QLatin1String(o.name))
            continue;
        if (!toInt(value, o.min, o.max, o.target))
            return refuse(error, QStringLiteral("--fault %1: %2 must be %3..%4").arg(text, name).arg(o.min).arg(o.max));
        return true;
    }
    if (name == QLatin1String("drop")) {
        bool ok = false;
        const double fraction = value.toDouble(&ok);
        if (!ok || !(fraction >= 0.0 && fraction <= 1.0))
            return refuse(error, QStringLiteral("--fault %1: drop must be a fraction 0..1").arg(text));
        f.drop = fraction;
        return true;
    }
    if (name == QLatin1String("ignore-writes")) {
        if (value != QLatin1String("0") && value != QLatin1String("1"))
            return refuse(error, QStringLiteral("--fault %1: ignore-writes must be 0 or 1").arg(text));
        station.ignoreWrites = value == QLatin1String("1");
        return true;
    }
    if (name == QLatin1String("split") || name == QLatin1String("merge"))
        return refuse(error, QStringLiteral("--fault %1: %2 acts on the whole line; give --%2 for all addresses").arg(text, name));
    return refuse(error, QStringLiteral("--fault %1: OPTION must be one of drop, delay, noise, trailing, silent-after, ignore-writes")
                           .arg(text));
}

// "ADDRESS:REST" for a served address; *rest gets REST.
StationOptions* stationFor(const QString& option, const QString& text, QVector<StationOptions>& stations,
                           QString* rest, QString* error)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    int address = -1;
    if (colon < 0 || !toInt(text.left(colon), MinEnergizerAddress, MaxEnergizerAddress, address)) {
        *error = QStringLiteral("%1 %2: use ADDRESS:%3").arg(option, text,
                                                            option == QLatin1String("--fault") ? QStringLiteral("OPTION=VALUE") : QStringLiteral("FILE"));
        return nullptr;
    }
    for (StationOptions& s : stations) {
        if (s.address == address) {
            *rest = text.mid(colon + 1);
            return &s;
        }
    }
    *error = QStringLiteral("%1 %2: address %3 is not served").arg(option, text).arg(address);
    return nullptr;
}

} // namespace

bool parseSimOptions(const QStringList& arguments, SimOptions& options, QString* error, bool* help)
{
    *help = false;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays an energizer on 127.0.0.1 (UDP server, TCP server or pseudo-terminal)."));
    const QCommandLineOption helpOpt(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                     QStringLiteral("Show this help."));
    const QCommandLineOption udp(QStringLiteral("udp"), QStringLiteral("UDP server on PORT (0: any free port)."), QStringLiteral("PORT"));
    const QCommandLineOption tcp(QStringLiteral("tcp"), QStringLiteral("TCP server on PORT (0: any free port)."), QStringLiteral("PORT"));
    const QCommandLineOption pty(QStringLiteral("pty"), QStringLiteral("Pseudo-terminal linked at PATH."), QStringLiteral("PATH"));
    const QCommandLineOption address(QStringLiteral("address"), QStringLiteral("Energizer address (default 1)."), QStringLiteral("N"));
    const QCommandLineOption addresses(QStringLiteral("addresses"), QStringLiteral("Serve an energizer at each address (0..63), e.g. 1,3,7-12."), QStringLiteral("LIST"));
    const QCommandLineOption config(QStringLiteral("config"), QStringLiteral("Start from this XML configuration file."), QStringLiteral("FILE"));
    const QCommandLineOption configFor(QStringLiteral("config-for"), QStringLiteral("Start this address from its own XML configuration file (repeatable)."), QStringLiteral("ADDRESS:FILE"));
    const QCommandLineOption fault(QStringLiteral("fault"), QStringLiteral("A fault for one address: drop, delay, noise, trailing, silent-after or ignore-writes (repeatable)."), QStringLiteral("ADDRESS:OPTION=VALUE"));
    const QCommandLineOption lineRate(QStringLiteral("line-rate"), QStringLiteral("Hold each reply for the request's and its own time on a line of BAUD."), QStringLiteral("BAUD"));
    const QCommandLineOption turnaround(QStringLiteral("turnaround"), QStringLiteral("With --line-rate: answer MS ms after a request (default 1)."), QStringLiteral("MS"));
    const QCommandLineOption collide(QStringLiteral("collide"), QStringLiteral("Answer neither of two requests that overlap on the line; print COLLISIONS n."));
    const QCommandLineOption split(QStringLiteral("split"), QStringLiteral("Send replies in chunks of BYTES, MS ms apart."), QStringLiteral("BYTES:MS"));
    const QCommandLineOption trailing(QStringLiteral("trailing"), QStringLiteral("Append N extra bytes to each reply."), QStringLiteral("N"));
    const QCommandLineOption noise(QStringLiteral("noise"), QStringLiteral("Send N noise bytes before each reply."), QStringLiteral("N"));
    const QCommandLineOption merge(QStringLiteral("merge"), QStringLiteral("Send each reply together with the next one."));
    const QCommandLineOption drop(QStringLiteral("drop"), QStringLiteral("Drop this fraction (0..1) of replies."), QStringLiteral("FRACTION"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Wait MS ms before answering."), QStringLiteral("MS"));
    const QCommandLineOption silent(QStringLiteral("silent-after"), QStringLiteral("Stop answering after N replies (each address its own)."), QStringLiteral("N"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed (default 1)."), QStringLiteral("N"));
    const QCommandLineOption set(QStringLiteral("set"), QStringLiteral("Set an alarm or input bit at start (repeatable; NAME means NAME=1)."), QStringLiteral("NAME[=0|1]"));
    const QCommandLineOption zonesOn(QStringLiteral("on"), QStringLiteral("Start with both zones on in high voltage."));
    const QCommandLineOption ignoreWrites(QStringLiteral("ignore-writes"), QStringLiteral("Take configuration writes without storing them."));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Print every frame in hex."));
    parser.addOptions({helpOpt, udp, tcp, pty, address, addresses, config, configFor, split, trailing, noise, merge,
                       drop, delay, silent, fault, lineRate, turnaround, collide, seed, set, zonesOn, ignoreWrites,
                       verbose});

    if (!parser.parse(arguments))
        return refuse(error, parser.errorText());
    if (parser.isSet(helpOpt)) {
        *help = true;
        return refuse(error, parser.helpText());
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(error, QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));
    const int transports = int(parser.isSet(udp)) + int(parser.isSet(tcp)) + int(parser.isSet(pty));
    if (transports != 1)
        return refuse(error, QStringLiteral("give exactly one of --udp PORT, --tcp PORT, --pty PATH"));
    int port = 0;
    if (parser.isSet(pty)) {
        options.transport = Transport::Pty;
        options.ptyPath = parser.value(pty);
        if (options.ptyPath.isEmpty())
            return refuse(error, QStringLiteral("--pty needs a path"));
    } else {
        options.transport = parser.isSet(udp) ? Transport::Udp : Transport::Tcp;
        if (!toInt(parser.value(parser.isSet(udp) ? udp : tcp), 0, 65535, port))
            return refuse(error, QStringLiteral("port must be 0..65535"));
        options.port = static_cast<quint16>(port);
    }

    struct IntOption { const QCommandLineOption& option; int min; int max; int& target; const char* what; };
    FaultOptions& f = options.faults;
    int singleAddress = 1;
    const IntOption ints[] = {
        {address, MinEnergizerAddress, MaxEnergizerAddress, singleAddress, "--address must be 0..63"},
        {lineRate, 50, 4000000, options.line.lineRate, "--line-rate must be 50..4000000 baud"},
        {turnaround, 0, 60000, options.line.turnaroundMs, "--turnaround must be 0..60000"},
        {trailing, 0, 4096, f.trailing, "--trailing must be 0..4096"},
        {noise, 0, 4096, f.noise, "--noise must be 0..4096"},
        {delay, 0, 600000, f.delayMs, "--delay must be 0..600000"},
        {silent, 0, 2147483647, f.silentAfter, "--silent-after must be 0 or more"},
    };
    for (const IntOption& o : ints) {
        if (parser.isSet(o.option) && !toInt(parser.value(o.option), o.min, o.max, o.target))
            return refuse(error, QString::fromLatin1(o.what));
    }
    if (parser.isSet(split)) {
        const QStringList parts = parser.value(split).split(QLatin1Char(':'));
        if (parts.size() != 2 || !toInt(parts[0], 1, 4096, f.splitBytes) || !toInt(parts[1], 0, 600000, f.splitMs))
            return refuse(error, QStringLiteral("--split must be BYTES:MS with BYTES >= 1 and MS >= 0"));
    }
    if (parser.isSet(drop)) {
        bool ok = false;
        f.drop = parser.value(drop).toDouble(&ok);
        if (!ok || !(f.drop >= 0.0 && f.drop <= 1.0))
            return refuse(error, QStringLiteral("--drop must be a fraction 0..1"));
    }
    if (parser.isSet(seed)) {
        bool ok = false;
        options.seed = parser.value(seed).toUInt(&ok);
        if (!ok)
            return refuse(error, QStringLiteral("--seed must be an unsigned integer"));
    }
    f.merge = parser.isSet(merge);
    options.setBits = parser.values(set);
    options.verbose = parser.isSet(verbose);
    options.zonesOn = parser.isSet(zonesOn);
    if (parser.isSet(turnaround) && !parser.isSet(lineRate))
        return refuse(error, QStringLiteral("--turnaround needs --line-rate"));
    if (parser.isSet(lineRate) && !parser.isSet(turnaround))
        options.line.turnaroundMs = DefaultTurnaroundMs;
    options.line.collide = parser.isSet(collide);

    QVector<int> served{singleAddress};
    if (parser.isSet(addresses)) {
        if (parser.isSet(address))
            return refuse(error, QStringLiteral("give --address or --addresses, not both"));
        QString reason;
        if (!parseAddressList(parser.value(addresses), &served, &reason, false))
            return refuse(error, QStringLiteral("--addresses %1: %2").arg(parser.value(addresses), reason));
    }
    options.stations.clear();
    for (int a : qAsConst(served))
        options.stations.append({a, parser.value(config), f, parser.isSet(ignoreWrites)});
    QString rest;
    for (const QString& text : parser.values(configFor)) {
        StationOptions* station = stationFor(QStringLiteral("--config-for"), text, options.stations, &rest, error);
        if (!station)
            return false;
        if (rest.isEmpty())
            return refuse(error, QStringLiteral("--config-for %1: the file name is missing").arg(text));
        station->configFile = rest;
    }
    for (const QString& text : parser.values(fault)) {
        StationOptions* station = stationFor(QStringLiteral("--fault"), text, options.stations, &rest, error);
        if (!station || !applyAddressFault(text, rest, *station, error))
            return false;
    }
    return true;
}
