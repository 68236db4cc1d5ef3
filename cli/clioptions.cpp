#include "cli/clioptions.h"

#include "cli/exitstatus.h"
#include "protocol/configrecord.h"
#include "services/historystore.h"
#include "protocol/addresslist.h"
#include "link/hostport.h"
#include "link/pollinterval.h"
#include "protocol/settingsfile.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSerialPort>

#include <cmath>

namespace {

struct Choice
{
    const char* word;
    int value;
};

// Serial choices as QSerialPort numbers them; setting.ini and the window use the same.
const Choice parities[] = {{"none", QSerialPort::NoParity}, {"even", QSerialPort::EvenParity},
                           {"odd", QSerialPort::OddParity}, {"mark", QSerialPort::MarkParity},
                           {"space", QSerialPort::SpaceParity}};
const Choice stopBits[] = {{"1", QSerialPort::OneStop}, {"1.5", QSerialPort::OneAndHalfStop},
                           {"2", QSerialPort::TwoStop}};
const Choice flows[] = {{"none", QSerialPort::NoFlowControl}, {"rtscts", QSerialPort::HardwareControl},
                        {"xonxoff", QSerialPort::SoftwareControl}};
const Choice dataBits[] = {{"5", QSerialPort::Data5}, {"6", QSerialPort::Data6},
                           {"7", QSerialPort::Data7}, {"8", QSerialPort::Data8}};

template <std::size_t N>
bool choose(const Choice (&choices)[N], const QString& word, int* value)
{
    for (const Choice& c : choices) {
        if (word == QLatin1String(c.word)) {
            *value = c.value;
            return true;
        }
    }
    return false;
}

template <std::size_t N>
QString words(const Choice (&choices)[N])
{
    QStringList list;
    for (const Choice& c : choices)
        list << QLatin1String(c.word);
    return list.join(QLatin1Char('|'));
}

bool toInt(const QString& text, int min, int max, int* out)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < min || value > max)
        return false;
    *out = static_cast<int>(value);
    return true;
}

bool splitHostPort(const QString& text, QString* host, int* port)
{
    quint16 p = 0;
    QString error;
    if (!parseHostPort(text, 0, host, &p, &error))
        return false;
    *port = p;
    return true;
}

// The PIN on the first line of a regular file, or of standard input for an
// empty path; a FIFO or device could hold the tool for ever.
bool readPinLine(const QString& path, QString* pin, QString* error)
{
    QFile file(path);
    const bool regular = path.isEmpty() || QFileInfo(path).isFile();
    const bool opened = regular && (path.isEmpty() ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly));
    if (opened)
        *pin = QString::fromUtf8(file.readLine(64)).trimmed();
    if (!opened || pin->isEmpty()) {
        *error = QStringLiteral("cannot read the PIN from %1: %2")
                     .arg(path.isEmpty() ? QStringLiteral("standard input") : path,
                          !regular ? QStringLiteral("not a regular file")
                          : opened ? QStringLiteral("no PIN on its first line")
                                   : file.errorString());
        return false;
    }
    return true;
}

ParseOutcome usageError(const QString& message)
{
    return {ParseOutcome::Error, ExitStatus::Usage, message};
}

bool takeEntryId(QStringList& positional, qint64* id)
{
    if (positional.isEmpty())
        return false;
    bool ok = false;
    *id = positional.takeFirst().toLongLong(&ok);
    return ok && *id > 0;
}

// Options taken before the command and also after it.
struct GlobalOptions
{
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption verbose{{QStringLiteral("v"), QStringLiteral("verbose")}};
    QCommandLineOption serial{QStringLiteral("serial"), {}, QStringLiteral("PORT")};
    QCommandLineOption baud{QStringLiteral("baud"), {}, QStringLiteral("N")};
    QCommandLineOption dataBits{QStringLiteral("data-bits"), {}, QStringLiteral("N")};
    QCommandLineOption parity{QStringLiteral("parity"), {}, QStringLiteral("P")};
    QCommandLineOption stopBits{QStringLiteral("stop-bits"), {}, QStringLiteral("N")};
    QCommandLineOption flow{QStringLiteral("flow"), {}, QStringLiteral("F")};
    QCommandLineOption udp{QStringLiteral("udp"), {}, QStringLiteral("HOST:PORT")};
    QCommandLineOption udpClient{QStringLiteral("udp-client"), {}, QStringLiteral("HOST:PORT")};
    QCommandLineOption bind{QStringLiteral("bind"), {}, QStringLiteral("IP")};
    QCommandLineOption tcp{QStringLiteral("tcp"), {}, QStringLiteral("HOST:PORT")};
    QCommandLineOption settings{QStringLiteral("settings"), {}, QStringLiteral("FILE")};
    QCommandLineOption address{QStringLiteral("address"), {}, QStringLiteral("LIST")};
    QCommandLineOption timeout{QStringLiteral("timeout"), {}, QStringLiteral("MS")};
    QCommandLineOption history{QStringLiteral("history"), {}, QStringLiteral("FILE")};

    QList<QCommandLineOption> all() const
    {
        return {help, version, verbose, serial, baud, dataBits, parity, stopBits, flow,
                udp, udpClient, bind, tcp, settings, address, timeout, history};
    }
};

struct CommandOptions
{
    QCommandLineOption json{QStringLiteral("json")};
    QCommandLineOption interval{QStringLiteral("interval"), {}, QStringLiteral("S")};
    QCommandLineOption count{QStringLiteral("count"), {}, QStringLiteral("N")};
    QCommandLineOption format{QStringLiteral("format"), {}, QStringLiteral("F")};
    QCommandLineOption output{QStringLiteral("output"), {}, QStringLiteral("FILE")};
    QCommandLineOption pin{QStringLiteral("pin"), {}, QStringLiteral("PIN")};
    QCommandLineOption from{QStringLiteral("from"), {}, QStringLiteral("N")};
    QCommandLineOption to{QStringLiteral("to"), {}, QStringLiteral("N")};
    QCommandLineOption dryRun{QStringLiteral("dry-run")};
    QCommandLineOption link{QStringLiteral("link"), {}, QStringLiteral("L")};
    QCommandLineOption limit{QStringLiteral("limit"), {}, QStringLiteral("K")};
    QCommandLineOption force{QStringLiteral("force")};
    QCommandLineOption pinFile{QStringLiteral("pin-file"), {}, QStringLiteral("FILE")};
    QCommandLineOption networkAddress{QStringLiteral("network-address-from-file")};

    QList<QCommandLineOption> all() const
    {
        return {json, interval, count, format, output, pin, from, to, dryRun, link, limit, force, pinFile, networkAddress};
    }
    QList<const QCommandLineOption*> each() const
    {
        return {&json, &interval, &count, &format, &output, &pin, &from, &to, &dryRun, &link, &limit, &force, &pinFile, &networkAddress};
    }
};

// An option given either before or after the command word.
struct Given
{
    const QCommandLineParser& before;
    const QCommandLineParser* after;
    // Command options are unknown to before: asking it about them would warn.
    static bool found(const QCommandLineParser& parser, const QCommandLineOption& o)
    {
        const QStringList names = parser.optionNames();
        for (const QString& name : o.names()) {
            if (names.contains(name))
                return true;
        }
        return false;
    }
    bool isSet(const QCommandLineOption& o) const { return (after && found(*after, o)) || found(before, o); }
    QString value(const QCommandLineOption& o) const
    {
        if (after && found(*after, o))
            return after->value(o);
        return found(before, o) ? before.value(o) : o.defaultValues().value(0);
    }
};

ParseOutcome parseConnection(const Given& given, const GlobalOptions& g, CliRequest& request)
{
    Settings& s = request.settings;
    const int links = int(given.isSet(g.serial)) + int(given.isSet(g.udp)) + int(given.isSet(g.udpClient))
                      + int(given.isSet(g.tcp)) + int(given.isSet(g.settings));
    if (links > 1)
        return usageError(QStringLiteral("give one connection: --serial, --udp, --udp-client, --tcp or --settings"));
    if (given.isSet(g.bind) != given.isSet(g.udpClient))
        return usageError(QStringLiteral("--udp-client HOST:PORT and --bind IP go together"));
    const QCommandLineOption* serialOnly[] = {&g.baud, &g.dataBits, &g.parity, &g.stopBits, &g.flow};
    for (const QCommandLineOption* o : serialOnly) {
        if (given.isSet(*o) && !given.isSet(g.serial))
            return usageError(QStringLiteral("--%1 applies to --serial only").arg(o->names().constFirst()));
    }

    // The window's serial defaults: 19200 8N1, no flow control.
    s.baudRate = 19200;
    s.dataBits = QSerialPort::Data8;
    s.parity = QSerialPort::NoParity;
    s.stopBits = QSerialPort::OneStop;
    s.flowControl = QSerialPort::NoFlowControl;

    if (given.isSet(g.serial)) {
        s.comMode = int(LinkKind::Serial);
        s.portName = given.value(g.serial);
        if (s.portName.isEmpty())
            return usageError(QStringLiteral("--serial needs a port"));
        if (given.isSet(g.baud) && !toInt(given.value(g.baud), 50, 4000000, &s.baudRate))
            return usageError(QStringLiteral("--baud must be 50..4000000"));
        if (given.isSet(g.dataBits) && !choose(dataBits, given.value(g.dataBits), &s.dataBits))
            return usageError(QStringLiteral("--data-bits must be %1").arg(words(dataBits)));
        if (given.isSet(g.parity) && !choose(parities, given.value(g.parity), &s.parity))
            return usageError(QStringLiteral("--parity must be %1").arg(words(parities)));
        if (given.isSet(g.stopBits) && !choose(stopBits, given.value(g.stopBits), &s.stopBits))
            return usageError(QStringLiteral("--stop-bits must be %1").arg(words(stopBits)));
        if (given.isSet(g.flow) && !choose(flows, given.value(g.flow), &s.flowControl))
            return usageError(QStringLiteral("--flow must be %1").arg(words(flows)));
        return {};
    }

    const struct { const QCommandLineOption& option; ModuleRole role; } roles[] = {
        {g.udp, ModuleRole::UdpServer}, {g.udpClient, ModuleRole::UdpClient}, {g.tcp, ModuleRole::TcpServer}};
    for (const auto& r : roles) {
        if (!given.isSet(r.option))
            continue;
        s.comMode = int(LinkKind::Network);
        s.netMode = int(r.role);
        if (!splitHostPort(given.value(r.option), &s.ipAddress, &s.portNumber))
            return usageError(QStringLiteral("--%1 must be HOST:PORT with PORT 1..65535").arg(r.option.names().constFirst()));
        if (r.role == ModuleRole::UdpClient) {
            s.ownIpAddress = given.value(g.bind);
            if (QHostAddress(s.ownIpAddress).isNull())
                return usageError(QStringLiteral("--bind must be an IP address of this machine"));
        }
        return {};
    }

    // Neither: the window's setting.ini, or the one named.
    QString path = settingsFilePath();
    if (given.isSet(g.settings)) {
        path = given.value(g.settings);
        const QFileInfo info(path);
        if (!info.isFile() || !info.isReadable())
            return {ParseOutcome::Error, ExitStatus::BadFile, QStringLiteral("cannot read settings file %1").arg(path)};
    }
    const int baud = s.baudRate;
    loadSettingsFile(path, s);
    s.baudRate = baud;
    // setting.ini names no serial port (the window takes the first it finds); guessing could open the wrong one.
    if (s.linkKind() == LinkKind::Serial)
        return usageError(QStringLiteral("%1 selects the serial link, which needs --serial PORT").arg(path));
    if (s.portNumber < 1 || s.portNumber > 65535)
        return usageError(QStringLiteral("%1 holds no usable port number").arg(path));
    return {};
}

ParseOutcome parseCommand(const Given& given, const CommandOptions& c, const QStringList& words, CliRequest& request)
{
    const QString& command = request.command;
    QStringList positional = words;
    QList<const QCommandLineOption*> allowed;
    if (command == QLatin1String("status")) {
        allowed = {&c.json};
    } else if (command == QLatin1String("watch")) {
        allowed = {&c.interval, &c.count, &c.format, &c.output};
    } else if (command == QLatin1String("config")) {
        if (positional.isEmpty())
            return usageError(QStringLiteral("config needs read, show, diff FILE, write FILE or restore ID"));
        request.subcommand = positional.takeFirst();
        const QString& sub = request.subcommand;
        if (sub == QLatin1String("read")) {
            allowed = {&c.output};
        } else if (sub == QLatin1String("show")) {
            allowed = {&c.json};
        } else if (sub == QLatin1String("diff") || sub == QLatin1String("write")) {
            if (positional.isEmpty())
                return usageError(QStringLiteral("config %1 needs a FILE").arg(sub));
            request.file = positional.takeFirst();
            if (sub == QLatin1String("write"))
                allowed = {&c.pin, &c.pinFile, &c.dryRun, &c.networkAddress};
        } else if (sub == QLatin1String("restore")) {
            if (!takeEntryId(positional, &request.entryId))
                return usageError(QStringLiteral("config restore needs a history entry ID (1 or more)"));
            allowed = {&c.pin, &c.pinFile, &c.dryRun, &c.networkAddress, &c.force};
        } else {
            return usageError(QStringLiteral("unknown config command '%1' (read, show, diff, write, restore)").arg(sub));
        }
    } else if (command == QLatin1String("zone")) {
        if (positional.size() < 2)
            return usageError(QStringLiteral("zone needs 1|2 and on|off|hv|lv"));
        const QString zone = positional.takeFirst();
        if (zone != QLatin1String("1") && zone != QLatin1String("2"))
            return usageError(QStringLiteral("zone must be 1 or 2, not '%1'").arg(zone));
        request.zone = zone.toInt();
        const QString action = positional.takeFirst();
        if (!ZoneSwitch::parseAction(action, &request.action))
            return usageError(QStringLiteral("zone action must be on, off, hv or lv, not '%1'").arg(action));
    } else if (command == QLatin1String("scan")) {
        allowed = {&c.from, &c.to};
    } else if (command == QLatin1String("history")) {
        request.subcommand = positional.isEmpty() ? QStringLiteral("list") : positional.takeFirst();
        const QString& sub = request.subcommand;
        if (sub == QLatin1String("list")) {
            allowed = {&c.link, &c.limit};
        } else if (sub == QLatin1String("show") || sub == QLatin1String("diff")) {
            if (!takeEntryId(positional, &request.entryId))
                return usageError(QStringLiteral("history %1 needs an entry ID (1 or more)").arg(sub));
            if (sub == QLatin1String("show"))
                allowed = {&c.output};
            else if (!positional.isEmpty() && !takeEntryId(positional, &request.secondEntryId))
                return usageError(QStringLiteral("history diff takes entry IDs (1 or more)"));
        } else {
            return usageError(QStringLiteral("unknown history command '%1' (show ID, diff ID [ID2], or none to list)").arg(sub));
        }
    } else {
        return usageError(QStringLiteral("unknown command '%1'").arg(command));
    }
    if (!positional.isEmpty())
        return usageError(QStringLiteral("unexpected argument '%1'").arg(positional.constFirst()));
    for (const QCommandLineOption* o : c.each()) {
        if (given.isSet(*o) && !allowed.contains(o)) {
            const QString what = request.subcommand.isEmpty() ? command : command + QLatin1Char(' ') + request.subcommand;
            return usageError(QStringLiteral("--%1 is not an option of %2").arg(o->names().constFirst(), what));
        }
    }

    request.json = given.isSet(c.json);
    request.outputFile = given.value(c.output);
    if (given.isSet(c.output) && request.outputFile.isEmpty())
        return usageError(QStringLiteral("--output needs a file name"));
    if (given.isSet(c.pin) && given.isSet(c.pinFile))
        return usageError(QStringLiteral("give --pin or --pin-file, not both"));
    if (given.isSet(c.pin))
        request.pin = given.value(c.pin);
    // Not on the command line, where every user's ps shows it.
    if (given.value(c.pin) == QLatin1String("-") || given.isSet(c.pinFile)) {
        QString error;
        if (!readPinLine(given.isSet(c.pinFile) ? given.value(c.pinFile) : QString(), &request.pin, &error))
            return {ParseOutcome::Error, ExitStatus::BadFile, error};
    }
    request.force = given.isSet(c.force);
    request.networkAddressFromFile = given.isSet(c.networkAddress);
    if (given.isSet(c.interval)) {
        bool ok = false;
        const double seconds = given.value(c.interval).toDouble(&ok);
        if (!ok || !(seconds >= MinPollIntervalSeconds && seconds <= MaxPollIntervalSeconds))
            return usageError(QStringLiteral("--interval must be %1..%2 seconds").arg(MinPollIntervalSeconds).arg(MaxPollIntervalSeconds));
        request.intervalMs = static_cast<int>(std::lround(seconds * 1000));
    }
    request.dryRun = given.isSet(c.dryRun);
    request.linkFilter = given.value(c.link);
    if (given.isSet(c.limit) && !toInt(given.value(c.limit), 1, 2147483647, &request.limit))
        return usageError(QStringLiteral("--limit must be 1 or more"));
    if (given.isSet(c.count) && !toInt(given.value(c.count), 1, 2147483647, &request.count))
        return usageError(QStringLiteral("--count must be 1 or more"));
    const struct { const QCommandLineOption& option; int* value; } bounds[] = {{c.from, &request.scanFrom}, {c.to, &request.scanTo}};
    for (const auto& b : bounds) {
        if (given.isSet(b.option) && !toInt(given.value(b.option), MinEnergizerAddress, MaxEnergizerAddress, b.value))
            return usageError(QStringLiteral("--%1 must be an address %2..%3").arg(b.option.names().constFirst()).arg(MinEnergizerAddress).arg(MaxEnergizerAddress));
    }
    if (request.scanFrom > request.scanTo)
        return usageError(QStringLiteral("--from %1 is above --to %2").arg(request.scanFrom).arg(request.scanTo));
    if (given.isSet(c.format)) {
        const QString format = given.value(c.format);
        if (format != QLatin1String("csv") && format != QLatin1String("jsonl"))
            return usageError(QStringLiteral("--format must be csv or jsonl"));
        request.jsonLines = format == QLatin1String("jsonl");
    }
    return {};
}

} // namespace

ParseOutcome parseCommandLine(const QStringList& arguments, CliRequest& request)
{
    const GlobalOptions g;
    QCommandLineParser before;
    before.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    before.addOptions(g.all());
    if (!before.parse(arguments))
        return usageError(before.errorText());
    if (before.isSet(g.help))
        return {ParseOutcome::Help};
    if (before.isSet(g.version))
        return {ParseOutcome::Version};

    QStringList words = before.positionalArguments();
    if (words.isEmpty())
        return usageError(QStringLiteral("no command given"));
    request.command = words.takeFirst();
    request.rest = words;

    // The MQTT bridge parses its own words; global options go before "mqtt".
    const bool mqtt = request.command == QLatin1String("mqtt");
    const CommandOptions c;
    QCommandLineParser after;
    if (!mqtt) {
        after.addOptions(g.all());
        after.addOptions(c.all());
        if (!after.parse(QStringList{arguments.constFirst()} + words))
            return usageError(after.errorText());
        if (after.isSet(g.help))
            return {ParseOutcome::Help};
        if (after.isSet(g.version))
            return {ParseOutcome::Version};
    }
    const Given given{before, mqtt ? nullptr : &after};

    request.verbose = given.isSet(g.verbose);
    if (given.isSet(g.address)) {
        QString error;
        if (!parseAddressList(given.value(g.address), &request.addresses, &error))
            return usageError(QStringLiteral("--address: %1 (one address or a list such as 1,3,7-12, each %2..%3)")
                                  .arg(error).arg(MinEnergizerAddress).arg(MaxEnergizerAddress));
    }
    request.addressGiven = given.isSet(g.address);
    request.historyFileGiven = given.isSet(g.history);
    request.historyFile = request.historyFileGiven ? given.value(g.history) : HistoryStore::defaultPath();
    if (request.historyFileGiven && request.historyFile.isEmpty())
        return usageError(QStringLiteral("--history needs a file name"));

    if (request.command == QLatin1String("scan") && given.isSet(g.address))
        return usageError(QStringLiteral("scan takes --from and --to, not --address"));
    if (given.isSet(g.timeout) && !toInt(given.value(g.timeout), 1, 3600000, &request.timeoutMs))
        return usageError(QStringLiteral("--timeout must be 1..3600000 ms"));

    if (!mqtt) {
        const ParseOutcome command = parseCommand(given, c, after.positionalArguments(), request);
        if (command.kind != ParseOutcome::Run)
            return command;
    }
    // Writing goes to each listed energizer in turn; the rest speak for one.
    const bool listed = request.command == QLatin1String("config")
                        && (request.subcommand == QLatin1String("write") || request.subcommand == QLatin1String("restore"));
    static const char* const single[] = {"config", "zone", "mqtt", "history"};
    for (const char* one : single) {
        if (!listed && request.command == QLatin1String(one) && request.addresses.size() > 1) {
            const QString what = request.subcommand.isEmpty() || request.subcommand == QLatin1String("list")
                                     ? request.command : request.command + QLatin1Char(' ') + request.subcommand;
            return usageError(QStringLiteral("%1 takes one --address, not a list").arg(what));
        }
    }
    if (!needsLink(request)) {
        request.settings.energizerAddress = request.addresses.constFirst();
        return {};
    }
    // The connection last: a bad command is reported before a missing port.
    const ParseOutcome link = parseConnection(given, g, request);
    if (request.command == QLatin1String("scan")) {
        request.addresses.clear();
        for (int a = request.scanFrom; a <= request.scanTo; ++a)
            request.addresses << a;
    }
    request.settings.energizerAddress = request.addresses.constFirst();
    request.settings.installerPin = request.pin;
    return link;
}

bool needsLink(const CliRequest& request)
{
    return request.command != QLatin1String("history")
           || (request.subcommand == QLatin1String("diff") && request.secondEntryId == 0);
}

QString connectionArguments(const CliRequest& request)
{
    const Settings& s = request.settings;
    QStringList words;
    if (s.linkKind() == LinkKind::Serial) {
        words << QStringLiteral("--serial") << s.portName;
        if (s.baudRate != 19200)
            words << QStringLiteral("--baud") << QString::number(s.baudRate);
    } else {
        const QString host = s.ipAddress.contains(QLatin1Char(':')) ? QLatin1Char('[') + s.ipAddress + QLatin1Char(']') : s.ipAddress;
        const QString target = host + QLatin1Char(':') + QString::number(s.portNumber);
        switch (s.moduleRole()) {
        case ModuleRole::UdpClient:
            words << QStringLiteral("--udp-client") << target << QStringLiteral("--bind") << s.ownIpAddress;
            break;
        case ModuleRole::TcpServer:
            words << QStringLiteral("--tcp") << target;
            break;
        default:
            words << QStringLiteral("--udp") << target;
            break;
        }
    }
    if (request.historyFileGiven)
        words << QStringLiteral("--history") << request.historyFile;
    return words.join(QLatin1Char(' '));
}

QString usageText()
{
    return QStringLiteral(
        "Usage: energizer-cli [CONNECTION] [--address LIST] [--history FILE] [--timeout MS] [-v] COMMAND ...\n"
        "\n"
        "Talks to electric-fence energizers, as the Energizer Configurator window does;\n"
        "several on one line are asked one at a time.\n"
        "\n"
        "Connection (default: the window's setting.ini beside the executable):\n"
        "  --serial PORT [--baud N] [--data-bits 5|6|7|8] [--parity none|even|odd|mark|space]\n"
        "                [--stop-bits 1|1.5|2] [--flow none|rtscts|xonxoff]\n"
        "                                   serial port (defaults 19200, 8, none, 1, none)\n"
        "  --udp HOST:PORT                  the module as UDP server\n"
        "  --udp-client HOST:PORT --bind IP the module as UDP client (this tool binds IP:PORT)\n"
        "  --tcp HOST:PORT                  the module as TCP server\n"
        "  --settings FILE                  a setting.ini written by the window\n"
        "\n"
        "Options:\n"
        "  --address LIST  the energizer's address, 0..63 (default 1); status, watch,\n"
        "                  config write and config restore also take a list such as 1,3,7-12\n"
        "  --history FILE  the configuration history (default\n"
        "                  $XDG_DATA_HOME/energizer-configurator/history.sqlite, shared\n"
        "                  with the window); unusable, it is said once and nothing is kept\n"
        "  --timeout MS    how long to wait for a reply (default 2000)\n"
        "  -v, --verbose   every frame sent (TX) and received (RX) in hex on stderr, and the\n"
        "                  energizer.link and energizer.history traces\n"
        "  -h, --help      this text;  --version  the version\n"
        "\n"
        "Commands:\n"
        "  status [--json]                 one status reading, every field as name=value; with a\n"
        "                                  list one block per address (--json: an array), exit 3\n"
        "                                  when any of them gave no reply\n"
        "  watch [--interval S] [--count N] [--format csv|jsonl] [--output FILE]\n"
        "                                  a status line every S seconds (default 1, at least 0.2),\n"
        "                                  csv with a header by default; a poll with no reply gives\n"
        "                                  online false and empty fields; Ctrl-C ends it\n"
        "  config read [--output FILE]     the configuration as the window saves it (XML)\n"
        "  config show [--json]            all 74 parameters as Group/Name=value\n"
        "  config diff FILE                parameters whose values differ from FILE's:\n"
        "                                  Group/Name energizer-value file-value\n"
        "                                  (read, show and diff keep the block in the history)\n"
        "  config write FILE [--pin PIN|-] [--pin-file FILE] [--dry-run] [--network-address-from-file]\n"
        "                                  reads the configuration and keeps it as backup, then\n"
        "                                  writes FILE's values onto it, reads it back and keeps\n"
        "                                  the verified block as written; the energizer's installer\n"
        "                                  PIN must be PIN (default 407318). Not confirmed, it names\n"
        "                                  the backup and the restore command. With a list: each\n"
        "                                  address in turn, one line each (\"address N: ...\"), exit\n"
        "                                  with the highest status (5, then 4, then 3). --dry-run:\n"
        "                                  the parameters that would change, nothing written.\n"
        "                                  --pin - reads the PIN from standard input, --pin-file\n"
        "                                  from a file's first line (not shown by ps). Each\n"
        "                                  energizer keeps its own Network/BigNetworkAddress unless\n"
        "                                  --network-address-from-file is given\n"
        "  config restore ID [--pin PIN|-] [--pin-file FILE] [--dry-run] [--network-address-from-file] [--force]\n"
        "                                  writes history entry ID back, as config write does a file;\n"
        "                                  an entry recorded from another link or address needs\n"
        "                                  --force (exit 2 without)\n"
        "  history [--link L] [--address N] [--limit K]\n"
        "                                  entries newest first, tab-separated: id, time, link,\n"
        "                                  address, kind, user, parameters changed against the\n"
        "                                  entry before (- for the first); needs no connection\n"
        "  history show ID [--output FILE] the entry as the window's XML; needs no connection\n"
        "  history diff ID [ID2]           parameters that differ, as config diff prints them:\n"
        "                                  between ID and ID2 (no connection needed), or between\n"
        "                                  the energizer now (--address, default the entry's) and ID\n"
        "  zone 1|2 on|off|hv|lv           switches one zone, keeps the rest, waits for a status\n"
        "                                  that shows the change\n"
        "  scan [--from N] [--to M]        asks every address N..M (default 0..63) in turn and\n"
        "                                  lists those that answer; exit 3 when none does\n"
        "  mqtt ...                        publishes the status to an MQTT broker (mqtt --help)\n"
        "\n"
        "Exit status:\n"
        "  0 done                    4 installer PIN mismatch, nothing written\n"
        "  1 config/history diff:    5 write or zone command not confirmed\n"
        "    differences             6 file cannot be read or is no configuration; history\n"
        "  2 usage error               unusable (history, restore) or no such usable entry\n"
        "  3 link could not be opened, or no reply in time\n"
        "\n"
        "Examples:\n"
        "  energizer-cli --udp 192.168.0.1:6128 status\n"
        "  energizer-cli --tcp farm-pc:6128 config write standard.xml --pin 123456\n"
        "  energizer-cli --serial /dev/ttyUSB0 watch --interval 10 --output night.csv\n"
        "  energizer-cli --serial /dev/ttyUSB0 --address 1-5 config write site.xml --dry-run\n"
        "  energizer-cli history --address 3 --limit 10\n");
}
