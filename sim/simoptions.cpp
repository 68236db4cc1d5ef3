#include "sim/simoptions.h"

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
    const QCommandLineOption config(QStringLiteral("config"), QStringLiteral("Start from this XML configuration file."), QStringLiteral("FILE"));
    const QCommandLineOption split(QStringLiteral("split"), QStringLiteral("Send replies in chunks of BYTES, MS ms apart."), QStringLiteral("BYTES:MS"));
    const QCommandLineOption trailing(QStringLiteral("trailing"), QStringLiteral("Append N extra bytes to each reply."), QStringLiteral("N"));
    const QCommandLineOption noise(QStringLiteral("noise"), QStringLiteral("Send N noise bytes before each reply."), QStringLiteral("N"));
    const QCommandLineOption merge(QStringLiteral("merge"), QStringLiteral("Send each reply together with the next one."));
    const QCommandLineOption drop(QStringLiteral("drop"), QStringLiteral("Drop this fraction (0..1) of replies."), QStringLiteral("FRACTION"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Wait MS ms before answering."), QStringLiteral("MS"));
    const QCommandLineOption silent(QStringLiteral("silent-after"), QStringLiteral("Stop answering after N replies."), QStringLiteral("N"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed (default 1)."), QStringLiteral("N"));
    const QCommandLineOption set(QStringLiteral("set"), QStringLiteral("Set an alarm or input bit at start (repeatable; NAME means NAME=1)."), QStringLiteral("NAME[=0|1]"));
    const QCommandLineOption zonesOn(QStringLiteral("on"), QStringLiteral("Start with both zones on in high voltage."));
    const QCommandLineOption ignoreWrites(QStringLiteral("ignore-writes"), QStringLiteral("Take configuration writes without storing them."));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Print every frame in hex."));
    parser.addOptions({helpOpt, udp, tcp, pty, address, config, split, trailing, noise, merge, drop,
                       delay, silent, seed, set, zonesOn, ignoreWrites, verbose});

    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(helpOpt)) {
        *help = true;
        *error = parser.helpText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return false;
    }
    const int transports = int(parser.isSet(udp)) + int(parser.isSet(tcp)) + int(parser.isSet(pty));
    if (transports != 1) {
        *error = QStringLiteral("give exactly one of --udp PORT, --tcp PORT, --pty PATH");
        return false;
    }
    int port = 0;
    if (parser.isSet(pty)) {
        options.transport = Transport::Pty;
        options.ptyPath = parser.value(pty);
        if (options.ptyPath.isEmpty()) {
            *error = QStringLiteral("--pty needs a path");
            return false;
        }
    } else {
        options.transport = parser.isSet(udp) ? Transport::Udp : Transport::Tcp;
        if (!toInt(parser.value(parser.isSet(udp) ? udp : tcp), 0, 65535, port)) {
            *error = QStringLiteral("port must be 0..65535");
            return false;
        }
        options.port = static_cast<quint16>(port);
    }

    struct IntOption { const QCommandLineOption& option; int min; int max; int& target; const char* what; };
    FaultOptions& f = options.faults;
    const IntOption ints[] = {
        {address, 0, 255, options.address, "--address must be 0..255"},
        {trailing, 0, 4096, f.trailing, "--trailing must be 0..4096"},
        {noise, 0, 4096, f.noise, "--noise must be 0..4096"},
        {delay, 0, 600000, f.delayMs, "--delay must be 0..600000"},
        {silent, 0, 2147483647, f.silentAfter, "--silent-after must be 0 or more"},
    };
    for (const IntOption& o : ints) {
        if (parser.isSet(o.option) && !toInt(parser.value(o.option), o.min, o.max, o.target)) {
            *error = QString::fromLatin1(o.what);
            return false;
        }
    }
    if (parser.isSet(split)) {
        const QStringList parts = parser.value(split).split(QLatin1Char(':'));
        if (parts.size() != 2 || !toInt(parts[0], 1, 4096, f.splitBytes) || !toInt(parts[1], 0, 600000, f.splitMs)) {
            *error = QStringLiteral("--split must be BYTES:MS with BYTES >= 1 and MS >= 0");
            return false;
        }
    }
    if (parser.isSet(drop)) {
        bool ok = false;
        f.drop = parser.value(drop).toDouble(&ok);
        if (!ok || !(f.drop >= 0.0 && f.drop <= 1.0)) {
            *error = QStringLiteral("--drop must be a fraction 0..1");
            return false;
        }
    }
    if (parser.isSet(seed)) {
        bool ok = false;
        options.seed = parser.value(seed).toUInt(&ok);
        if (!ok) {
            *error = QStringLiteral("--seed must be an unsigned integer");
            return false;
        }
    }
    f.merge = parser.isSet(merge);
    options.configFile = parser.value(config);
    options.setBits = parser.values(set);
    options.verbose = parser.isSet(verbose);
    options.zonesOn = parser.isSet(zonesOn);
    options.ignoreWrites = parser.isSet(ignoreWrites);
    return true;
}
