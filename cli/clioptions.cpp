#include "cli/clioptions.h"

#include "cli/commands.h"
#include "cli/exitstatus.h"
#include "cli/historycommand.h"
#include "cli/pushcommand.h"
#include "cli/timelinecommand.h"
#include "cli/watchcommand.h"
#include "protocol/configrecord.h"
#include "services/historystore.h"
#include "services/sitefile.h"
#include "services/timelinestore.h"
#include "protocol/addresslist.h"
#include "link/hostport.h"
#include "link/pollinterval.h"
#include "protocol/settingsfile.h"
#include "protocol/refuse.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSerialPort>

#include <algorithm>
#include <climits>
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

// The PIN on the first line of a regular file, by the password file's rule,
// or of standard input for an empty path.
bool readPinLine(const QString& path, QString* pin, QString* error)
{
    QString reason;
    if (!path.isEmpty()) {
        if (readPasswordFile(path, pin, &reason))
            return true;
    } else {
        QFile in;
        if (in.open(stdin, QIODevice::ReadOnly))
            *pin = QString::fromUtf8(in.readLine(64)).trimmed();
        if (!pin->isEmpty())
            return true;
        reason = QStringLiteral("standard input has no PIN on its first line");
    }
    return refuse(error, QStringLiteral("cannot read the PIN: %1").arg(reason));
}

ParseOutcome usageError(const QString& message)
{
    return {ParseOutcome::Error, ExitStatus::Usage, message};
}

// The connection: options taken before the command and also after it.
struct ConnectionOptions
{
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

    QList<QCommandLineOption> all() const
    {
        return {serial, baud, dataBits, parity, stopBits, flow, udp, udpClient, bind, tcp, settings};
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

ParseOutcome parseConnection(const Given& given, const ConnectionOptions& g, CliRequest& request)
{
    LinkSpec& lineSpec = request.link;
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

    if (given.isSet(g.serial)) {
        lineSpec.portName = given.value(g.serial);
        if (lineSpec.portName.isEmpty())
            return usageError(QStringLiteral("--serial needs a port"));
        if (given.isSet(g.baud) && !toInt(given.value(g.baud), 50, 4000000, &lineSpec.baudRate))
            return usageError(QStringLiteral("--baud must be 50..4000000"));
        if (given.isSet(g.dataBits) && !choose(dataBits, given.value(g.dataBits), &lineSpec.dataBits))
            return usageError(QStringLiteral("--data-bits must be %1").arg(words(dataBits)));
        if (given.isSet(g.parity) && !choose(parities, given.value(g.parity), &lineSpec.parity))
            return usageError(QStringLiteral("--parity must be %1").arg(words(parities)));
        if (given.isSet(g.stopBits) && !choose(stopBits, given.value(g.stopBits), &lineSpec.stopBits))
            return usageError(QStringLiteral("--stop-bits must be %1").arg(words(stopBits)));
        if (given.isSet(g.flow) && !choose(flows, given.value(g.flow), &lineSpec.flowControl))
            return usageError(QStringLiteral("--flow must be %1").arg(words(flows)));
        return {};
    }

    const struct { const QCommandLineOption& option; LinkSpec::Kind kind; } kinds[] = {
        {g.udp, LinkSpec::Kind::Udp}, {g.udpClient, LinkSpec::Kind::UdpClient}, {g.tcp, LinkSpec::Kind::Tcp}};
    for (const auto& k : kinds) {
        if (!given.isSet(k.option))
            continue;
        lineSpec.kind = k.kind;
        QString error;
        if (!parseHostPort(given.value(k.option), 0, &lineSpec.host, &lineSpec.port, &error))
            return usageError(QStringLiteral("--%1 must be HOST:PORT with PORT 1..65535").arg(k.option.names().constFirst()));
        if (given.isSet(g.bind)) {
            lineSpec.bindAddress = given.value(g.bind);
            if (QHostAddress(lineSpec.bindAddress).isNull())
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
    Settings settings;
    loadSettingsFile(path, settings);
    // setting.ini names no serial port (the window takes the first it finds); guessing could open the wrong one.
    if (settings.linkKind() == LinkKind::Serial)
        return usageError(QStringLiteral("%1 selects the serial link, which needs --serial PORT").arg(path));
    if (settings.portNumber < 1 || settings.portNumber > 65535)
        return usageError(QStringLiteral("%1 holds no usable port number").arg(path));
    lineSpec = linkSpec(settings);
    return {};
}

// Empty when ok, else the reason.
QString unless(bool ok, const QString& reason)
{
    return ok ? QString() : reason;
}

// Takes a value that needs no check.
template <class T, class V>
QString set(T& field, const V& value)
{
    field = value;
    return {};
}

QString inRange(const QString& text, int min, int max, int* out, const QString& reason)
{
    return unless(toInt(text, min, max, out), reason);
}

QString entryId(const QString& word, qint64* id)
{
    bool ok = false;
    *id = word.toLongLong(&ok);
    return unless(ok && *id > 0, QStringLiteral("a history entry ID is 1 or more, not '%1'").arg(word));
}

QString address(const QString& text, int* out, const char* option)
{
    return inRange(text, MinEnergizerAddress, MaxEnergizerAddress, out,
                   QStringLiteral("--%1 must be an address %2..%3").arg(QLatin1String(option)).arg(MinEnergizerAddress).arg(MaxEnergizerAddress));
}

QString timeOption(const QString& text, qint64* ms, const char* option)
{
    return unless(parseTimeArgument(text, QDateTime::currentMSecsSinceEpoch(), ms),
                  QStringLiteral("--%1 '%2' is no time: ISO 8601 (2026-12-07T22:00:00Z, 2026-12-07) or before now (-30m, -2h, -7d)")
                      .arg(QLatin1String(option), text));
}

// Options other than the connection's. Global ones go before or after the
// command; a command's own ones after it, and only where its row names them.
struct OptionSpec
{
    enum Scope { Global, Command };
    const char* names; // "v verbose": the short name first
    const char* value; // nullptr: a flag
    Scope scope;
    const char* help;  // global options: their lines in --help
    QString (*take)(const QString& value, CliRequest& request); // the reason when value is bad
};

const OptionSpec Options[] = {
    {"address", "LIST", OptionSpec::Global,
     "the energizer's address, 0..63 (default 1); status, watch,\n"
     "config write and config restore also take a list such as 1,3,7-12",
     [](const auto& v, auto& r) {
         QString error;
         r.addressGiven = true;
         const bool ok = parseAddressList(v, &r.addresses, &error);
         return unless(ok, QStringLiteral("--address: %1 (one address or a list such as 1,3,7-12, each %2..%3)")
                                     .arg(error).arg(MinEnergizerAddress).arg(MaxEnergizerAddress));
     }},
    {"history", "FILE", OptionSpec::Global,
     "the configuration history (default\n"
     "$XDG_DATA_HOME/energizer-configurator/history.sqlite, shared\n"
     "with the window); unusable, it is said once and nothing is kept",
     [](const auto& v, auto& r) {
         r.historyFileGiven = true;
         return set(r.historyFile, v) + unless(!v.isEmpty(), QStringLiteral("--history needs a file name"));
     }},
    {"timeline", "FILE", OptionSpec::Global,
     "the timeline events and trend read (default\n"
     "$XDG_DATA_HOME/energizer-configurator/timeline.sqlite); zone,\n"
     "config read, write and restore add their events to it",
     [](const auto& v, auto& r) { return set(r.timelineFile, v) + unless(!v.isEmpty(), QStringLiteral("--timeline needs a file name")); }},
    {"timeout", "MS", OptionSpec::Global, "how long to wait for a reply (default 2000)",
     [](const auto& v, auto& r) { return inRange(v, 1, 3600000, &r.timeoutMs, QStringLiteral("--timeout must be 1..3600000 ms")); }},
    {"v verbose", nullptr, OptionSpec::Global,
     "every frame sent (TX) and received (RX) in hex on stderr, and the\nenergizer.link and energizer.history traces",
     [](const auto&, auto& r) { return set(r.verbose, true); }},
    {"h help", nullptr, OptionSpec::Global, "this text", nullptr},
    {"version", nullptr, OptionSpec::Global, "the version", nullptr},

    {"json", nullptr, OptionSpec::Command, nullptr, [](const auto&, auto& r) { return set(r.json, true); }},
    {"interval", "S", OptionSpec::Command, nullptr,
     [](const auto& v, auto& r) {
         bool ok = false;
         const double seconds = v.toDouble(&ok);
         ok = ok && seconds >= MinPollIntervalSeconds && seconds <= MaxPollIntervalSeconds;
         r.intervalMs = ok ? static_cast<int>(std::lround(seconds * 1000)) : r.intervalMs;
         return unless(ok, QStringLiteral("--interval must be %1..%2 seconds").arg(MinPollIntervalSeconds).arg(MaxPollIntervalSeconds));
     }},
    {"count", "N", OptionSpec::Command, nullptr,
     [](const auto& v, auto& r) { return inRange(v, 1, INT_MAX, &r.count, QStringLiteral("--count must be 1 or more")); }},
    {"format", "csv|jsonl", OptionSpec::Command, nullptr,
     [](const auto& v, auto& r) {
         r.jsonLines = v == QLatin1String("jsonl");
         r.format = v;
         // text only where the row allows it: takeOptions checks that.
         return unless(r.jsonLines || v == QLatin1String("csv") || v == QLatin1String("text"),
                       QStringLiteral("--format must be csv or jsonl"));
     }},
    {"output", "FILE", OptionSpec::Command, nullptr,
     [](const auto& v, auto& r) { return set(r.outputFile, v) + unless(!v.isEmpty(), QStringLiteral("--output needs a file name")); }},
    {"pin", "PIN|-", OptionSpec::Command, nullptr, [](const auto& v, auto& r) { return set(r.pin, v); }},
    {"pin-file", "FILE", OptionSpec::Command, nullptr,
     [](const auto& v, auto& r) { return set(r.pinFile, v) + unless(!v.isEmpty(), QStringLiteral("--pin-file needs a file name")); }},
    {"force", nullptr, OptionSpec::Command, nullptr, [](const auto&, auto& r) { return set(r.force, true); }},
    {"network-address-from-file", nullptr, OptionSpec::Command, nullptr,
     [](const auto&, auto& r) { return set(r.networkAddressFromFile, true); }},
    {"dry-run", nullptr, OptionSpec::Command, nullptr, [](const auto&, auto& r) { return set(r.dryRun, true); }},
    {"link", "L", OptionSpec::Command, nullptr, [](const auto& v, auto& r) { return set(r.linkFilter, v); }},
    {"limit", "K", OptionSpec::Command, nullptr,
     [](const auto& v, auto& r) { return inRange(v, 1, INT_MAX, &r.limit, QStringLiteral("--limit must be 1 or more")); }},
    {"since", "T", OptionSpec::Command, nullptr, [](const auto& v, auto& r) { return timeOption(v, &r.sinceMs, "since"); }},
    {"until", "T", OptionSpec::Command, nullptr, [](const auto& v, auto& r) { return timeOption(v, &r.untilMs, "until"); }},
    {"from", "N", OptionSpec::Command, nullptr, [](const auto& v, auto& r) { return address(v, &r.scanFrom, "from"); }},
    {"to", "M", OptionSpec::Command, nullptr, [](const auto& v, auto& r) { return address(v, &r.scanTo, "to"); }},
};

// The words after a command's name; a word in brackets may be left out.
struct ArgumentSpec
{
    const char* word;
    QString (*take)(const QString& word, CliRequest& request); // the reason when word is bad
};

const ArgumentSpec Arguments[] = {
    {"FILE", [](const auto& w, auto& r) { return set(r.file, w); }},
    {"ID", [](const auto& w, auto& r) { return entryId(w, &r.entryId); }},
    {"[ID2]", [](const auto& w, auto& r) { return entryId(w, &r.secondEntryId); }},
    {"1|2",
     [](const auto& w, auto& r) {
         r.zone = w.toInt();
         return unless(w == QLatin1String("1") || w == QLatin1String("2"), QStringLiteral("zone must be 1 or 2, not '%1'").arg(w));
     }},
    {"on|off|hv|lv",
     [](const auto& w, auto& r) {
         return unless(ZoneSwitch::parseAction(w, &r.action), QStringLiteral("zone action must be on, off, hv or lv, not '%1'").arg(w));
     }},
};

template <class C>
std::unique_ptr<CliCommand> make(EnergizerLink& link, const CliRequest& request, HistoryKeeper& keeper)
{
    if constexpr (std::is_constructible_v<C, EnergizerLink&, const CliRequest&, HistoryKeeper&>)
        return std::make_unique<C>(link, request, keeper);
    else
        return std::make_unique<C>(link, request);
}

using A = CommandSpec::Addresses;

// Every command: what it takes, its --help lines, what runs it.
const CommandSpec Commands[] = {
    {"status", "", "json", A::List, 0,
     "one status reading, every field as name=value; with a\n"
     "list one block per address (--json: an array), exit 3\n"
     "when any of them gave no reply",
     make<StatusCommand>},
    {"watch", "", "interval count format output", A::List, 0,
     "a status line every S seconds (default 1, at least 0.2),\n"
     "csv with a header by default; a poll with no reply gives\n"
     "the address, online false and empty fields; Ctrl-C ends\n"
     "it. A FILE with the same header is appended to, another\n"
     "is refused",
     make<WatchCommand>},
    {"config read", "", "output", A::One, CommandSpec::KeepsHistory, "the configuration as the window saves it (XML)",
     make<ConfigCommand>},
    {"config show", "", "json", A::One, CommandSpec::KeepsHistory, "all 74 parameters as Group/Name=value", make<ConfigCommand>},
    {"config diff", "FILE", "", A::One, CommandSpec::KeepsHistory,
     "parameters whose values differ from FILE's:\n"
     "Group/Name energizer-value file-value\n"
     "(read, show and diff keep the block in the history)",
     make<ConfigCommand>},
    {"config write", "FILE", "pin pin-file dry-run network-address-from-file", A::List, CommandSpec::KeepsHistory,
     "reads the configuration and keeps it as backup, then\n"
     "writes FILE's values onto it, reads it back and keeps\n"
     "the verified block as written; the energizer's installer\n"
     "PIN must be PIN (default 407318). Not confirmed, it names\n"
     "the backup and the restore command. With a list: each\n"
     "address in turn, one line each (\"address N: ...\"), exit\n"
     "with the highest status (5, then 4, then 3). --dry-run:\n"
     "the parameters that would change, nothing written.\n"
     "--pin - reads the PIN from standard input, --pin-file\n"
     "from a file's first line (not shown by ps). Each\n"
     "energizer keeps its own Network/BigNetworkAddress unless\n"
     "--network-address-from-file is given",
     make<PushCommand>},
    {"config restore", "ID", "pin pin-file dry-run network-address-from-file force", A::List, CommandSpec::KeepsHistory,
     "writes history entry ID back, as config write does a file;\n"
     "an entry recorded from another link or address needs\n"
     "--force (exit 2 without)",
     make<PushCommand>},
    {"history list", "", "link address limit", A::One, CommandSpec::KeepsHistory | CommandSpec::NoLink | CommandSpec::Default,
     "entries newest first, tab-separated: id, time, link,\n"
     "address, kind, user, parameters changed against the\n"
     "entry before (- for the first); needs no connection",
     make<HistoryCommand>},
    {"history show", "ID", "output", A::One, CommandSpec::KeepsHistory | CommandSpec::NoLink,
     "the entry as the window's XML; needs no connection", make<HistoryCommand>},
    {"history diff", "ID [ID2]", "", A::One, CommandSpec::KeepsHistory,
     "parameters that differ, as config diff prints them:\n"
     "between ID and ID2 (no connection needed), or between\n"
     "the energizer now (--address, default the entry's) and ID",
     make<HistoryCommand>},
    {"zone", "1|2 on|off|hv|lv", "", A::One, 0,
     "switches one zone, keeps the rest, waits for a status\nthat shows the change", make<ZoneCommand>},
    {"scan", "", "from to", A::Range, 0,
     "asks every address N..M (default 0..63) in turn and\nlists those that answer; exit 3 when none does",
     make<ScanCommand>},
    {"events", "", "link since until format", A::List, CommandSpec::NoLink | CommandSpec::TextFormat,
     "the timeline's events oldest first: on and off line,\n"
     "alarms and faults raised and cleared, zones switched and\n"
     "by whom, configurations read, backed up, written and\n"
     "restored (with their history id); text by default, csv or\n"
     "jsonl. T is ISO 8601 or before now: -30m, -2h, -7d. Needs\n"
     "no connection",
     make<TimelineCommand>},
    {"trend", "", "link since until format", A::One, CommandSpec::NoLink,
     "the energizer's (--address N) minute readings: min, mean\n"
     "and max of each zone's output and return voltage and of\n"
     "the battery voltage, csv or jsonl; needs no connection",
     make<TimelineCommand>},
    {"mqtt", "...", "", A::One, 0, "publishes the status to an MQTT broker (mqtt --help)", nullptr},
};

QStringList split(const char* words)
{
    return QString::fromLatin1(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString longName(const OptionSpec& o)
{
    return split(o.names).constLast();
}

QCommandLineOption toOption(const OptionSpec& o)
{
    return o.value ? QCommandLineOption(split(o.names), {}, QLatin1String(o.value)) : QCommandLineOption(split(o.names));
}

const OptionSpec* findOption(const QString& name)
{
    for (const OptionSpec& o : Options) {
        if (longName(o) == name)
            return &o;
    }
    return nullptr;
}

// "history" for the group's default, else the name.
QString displayName(const CommandSpec& c)
{
    const QString name = QLatin1String(c.name);
    return c.flags & CommandSpec::Default ? name.section(QLatin1Char(' '), 0, 0) : name;
}

QString synopsis(const CommandSpec& c)
{
    QString text = displayName(c);
    if (*c.arguments)
        text += QLatin1Char(' ') + QLatin1String(c.arguments);
    for (const QString& name : split(c.options)) {
        const OptionSpec* o = findOption(name);
        text += QStringLiteral(" [--") + name + (o->value ? QLatin1Char(' ') + QLatin1String(o->value) : QString()) + QLatin1Char(']');
    }
    return text;
}

// The row of group, or of group and the first of positional (taken from it): "status", "config read".
ParseOutcome findCommand(const QString& group, QStringList& positional, CliRequest& request)
{
    const QString word = positional.value(0);
    QStringList subs;
    for (const CommandSpec& c : Commands) {
        const QString name = QLatin1String(c.name);
        if (name == group) {
            request.command = &c;
            return {};
        }
        if (!name.startsWith(group + QLatin1Char(' ')))
            continue;
        const QString sub = name.section(QLatin1Char(' '), 1);
        subs << (sub + QLatin1Char(' ') + QLatin1String(c.arguments)).trimmed();
        if (!request.command && (sub == word || (word.isEmpty() && c.flags & CommandSpec::Default))) {
            request.command = &c;
            request.subcommand = sub;
        }
    }
    if (request.command) {
        if (!positional.isEmpty())
            positional.removeFirst();
        return {};
    }
    if (subs.isEmpty())
        return usageError(QStringLiteral("unknown command '%1'").arg(group));
    if (word.isEmpty())
        return usageError(QStringLiteral("%1 needs %2 or %3").arg(group, subs.mid(0, subs.size() - 1).join(QStringLiteral(", ")), subs.constLast()));
    return usageError(QStringLiteral("unknown %1 command '%2' (%3)").arg(group, word, subs.join(QStringLiteral(", "))));
}

// The command's words after its name: its arguments, nothing more.
ParseOutcome takeArguments(QStringList positional, CliRequest& request)
{
    const CommandSpec& c = *request.command;
    for (const QString& word : split(c.arguments)) {
        if (positional.isEmpty()) {
            if (word.startsWith(QLatin1Char('[')))
                break;
            return usageError(QStringLiteral("%1 needs %2").arg(displayName(c), QLatin1String(c.arguments)));
        }
        for (const ArgumentSpec& a : Arguments) {
            const QString reason = word == QLatin1String(a.word) ? a.take(positional.constFirst(), request) : QString();
            if (!reason.isEmpty())
                return usageError(reason);
        }
        positional.removeFirst();
    }
    if (!positional.isEmpty())
        return usageError(QStringLiteral("unexpected argument '%1'").arg(positional.constFirst()));
    return {};
}

// The options given: each a command's own, each value good.
ParseOutcome takeOptions(const Given& given, CliRequest& request)
{
    const CommandSpec& c = *request.command;
    const QStringList own = split(c.options);
    for (const OptionSpec& o : Options) {
        const QCommandLineOption option = toOption(o);
        if (!o.take || !given.isSet(option))
            continue;
        if (o.scope == OptionSpec::Command && !own.contains(longName(o)))
            return usageError(QStringLiteral("--%1 is not an option of %2").arg(longName(o), displayName(c)));
        const QString reason = o.take(given.value(option), request);
        if (!reason.isEmpty())
            return usageError(reason);
    }
    if (request.format == QLatin1String("text") && !(c.flags & CommandSpec::TextFormat))
        return usageError(QStringLiteral("--format must be csv or jsonl"));
    if (request.scanFrom > request.scanTo)
        return usageError(QStringLiteral("--from %1 is above --to %2").arg(request.scanFrom).arg(request.scanTo));
    if (!request.pinFile.isEmpty() && given.isSet(QCommandLineOption(QStringLiteral("pin"), {}, QStringLiteral("PIN"))))
        return usageError(QStringLiteral("give --pin or --pin-file, not both"));
    // Not on the command line, where every user's ps shows it.
    if (request.pin == QLatin1String("-") || !request.pinFile.isEmpty()) {
        QString error;
        if (!readPinLine(request.pinFile, &request.pin, &error))
            return {ParseOutcome::Error, ExitStatus::BadFile, error};
    }
    if (c.addresses == A::Range && request.addressGiven)
        return usageError(QStringLiteral("%1 takes --from and --to, not --address").arg(displayName(c)));
    if (c.addresses == A::One && request.addresses.size() > 1)
        return usageError(QStringLiteral("%1 takes one --address, not a list").arg(displayName(c)));
    return {};
}

// One help line per '\n' of text, the first after label in a column of width, the rest under it.
QString helpLines(const QString& label, const char* text, int width)
{
    const QString indent(2 + width, QLatin1Char(' '));
    QString lines = QStringLiteral("  ") + label;
    lines += label.size() < width ? QString(width - label.size(), QLatin1Char(' ')) : QLatin1Char('\n') + indent;
    return lines + QString::fromUtf8(text).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent) + QLatin1Char('\n');
}

} // namespace

ParseOutcome parseCommandLine(const QStringList& arguments, CliRequest& request)
{
    const ConnectionOptions link;
    QList<QCommandLineOption> options = link.all();
    for (const OptionSpec& o : Options) {
        if (o.scope == OptionSpec::Global)
            options << toOption(o);
    }
    QCommandLineParser before;
    before.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    before.addOptions(options);
    if (!before.parse(arguments))
        return usageError(before.errorText());
    if (before.isSet(QStringLiteral("help")))
        return {ParseOutcome::Help};
    if (before.isSet(QStringLiteral("version")))
        return {ParseOutcome::Version};

    QStringList words = before.positionalArguments();
    if (words.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString group = words.takeFirst();
    request.rest = words;

    // The MQTT bridge parses its own words; global options go before "mqtt".
    const bool own = std::any_of(std::begin(Commands), std::end(Commands),
                                 [&group](const CommandSpec& c) { return !c.make && group == QLatin1String(c.name); });
    QCommandLineParser after;
    if (!own) {
        for (const OptionSpec& o : Options) {
            if (o.scope == OptionSpec::Command)
                options << toOption(o);
        }
        after.addOptions(options);
        if (!after.parse(QStringList{arguments.constFirst()} + words))
            return usageError(after.errorText());
        if (after.isSet(QStringLiteral("help")))
            return {ParseOutcome::Help};
        if (after.isSet(QStringLiteral("version")))
            return {ParseOutcome::Version};
    }
    const Given given{before, own ? nullptr : &after};
    QStringList positional = own ? QStringList() : after.positionalArguments(); // mqtt: parsed by itself
    request.historyFile = HistoryStore::defaultPath();
    request.timelineFile = TimelineStore::defaultPath();
    ParseOutcome outcome = findCommand(group, positional, request);
    if (outcome.kind == ParseOutcome::Run && !own)
        outcome = takeArguments(positional, request);
    if (outcome.kind == ParseOutcome::Run)
        outcome = takeOptions(given, request);
    if (outcome.kind != ParseOutcome::Run)
        return outcome;
    // A command that parses its own words shows its help without a link.
    if (own && (request.rest.contains(QStringLiteral("--help")) || request.rest.contains(QStringLiteral("-help"))))
        return {};
    if (!needsLink(request))
        return {};
    // The connection last: a bad command is reported before a missing port.
    const ParseOutcome connection = parseConnection(given, link, request);
    if (request.command->addresses == A::Range) {
        request.addresses.clear();
        for (int a = request.scanFrom; a <= request.scanTo; ++a)
            request.addresses << a;
    }
    return connection;
}

bool needsLink(const CliRequest& request)
{
    // A diff between two entries is the only one of its kind that needs none either.
    return !(request.command->flags & CommandSpec::NoLink) && request.secondEntryId == 0;
}

QString connectionArguments(const CliRequest& request)
{
    const LinkSpec& lineSpec = request.link;
    QStringList words;
    if (lineSpec.isSerial()) {
        words << QStringLiteral("--serial") << lineSpec.portName;
        if (lineSpec.baudRate != LinkSpec::DefaultBaudRate)
            words << QStringLiteral("--baud") << QString::number(lineSpec.baudRate);
    } else {
        // The option is the text form's kind word; udp-client's @BIND is the --bind option.
        const QString text = lineSpec.text();
        const int colon = text.indexOf(QLatin1Char(':'));
        words << QStringLiteral("--") + text.left(colon) << hostPortText(lineSpec.host, lineSpec.port);
        if (!lineSpec.bindAddress.isEmpty())
            words << QStringLiteral("--bind") << lineSpec.bindAddress;
    }
    if (request.historyFileGiven)
        words << QStringLiteral("--history") << request.historyFile;
    return words.join(QLatin1Char(' '));
}

QString usageText()
{
    QString options;
    for (const OptionSpec& o : Options) {
        if (o.scope != OptionSpec::Global)
            continue;
        QStringList names;
        for (const QString& name : split(o.names))
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        options += helpLines(names.join(QStringLiteral(", ")) + (o.value ? QLatin1Char(' ') + QLatin1String(o.value) : QString()), o.help, 16);
    }
    QString commands;
    for (const CommandSpec& c : Commands)
        commands += helpLines(synopsis(c), c.help, 32);
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
               "Options:\n%1\n"
               "Commands:\n%2\n"
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
               "  energizer-cli history --address 3 --limit 10\n")
        .arg(options, commands);
}
