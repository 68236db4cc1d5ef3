#include "services/sitefile.h"

#include "services/brokersettings.h"
#include "protocol/addresslist.h"
#include "link/pollinterval.h"
#include "link/hostport.h"
#include "link/linkspec.h"
#include "protocol/refuse.h"

#include <QDir>
#include <QUrl>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// Far above any real site; keeps a wrong path (a disk image, /dev/zero) from being read whole.
constexpr qint64 MaxSiteFileBytes = 1 << 20;
constexpr qint64 MaxPasswordFileBytes = 4096;
// A topic may hold 65535 bytes; a name far below that leaves room for the prefix and the rest.
constexpr int MaxNameBytes = 1024;
const char GatewaySection[] = "gateway";

QString quoted(const QString& text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

// Names end up as MQTT topic levels: the wildcards and the separator would change
// what a topic means, and a control character would garble logs and labels.
bool forbiddenChar(QChar c)
{
    return c == QLatin1Char('+') || c == QLatin1Char('#') || c == QLatin1Char('/')
           || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format;
}

QString nameProblem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("is empty");
    if (name.toUtf8().size() > MaxNameBytes)
        return QStringLiteral("is longer than %1 bytes").arg(MaxNameBytes);
    // Brokers drop a topic with a non-character (U+FFFE, U+FDD0 ...) as malformed.
    for (const uint c : name.toUcs4()) {
        if (QChar::isNonCharacter(c))
            return QStringLiteral("contains the non-character U+%1").arg(QString::number(c, 16).toUpper().rightJustified(4, QLatin1Char('0')));
    }
    for (const QChar c : name) {
        if (forbiddenChar(c)) {
            if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
                return QStringLiteral("contains a control character");
            return QStringLiteral("contains '%1'").arg(c);
        }
    }
    return {};
}

// A topic prefix may have several levels ("site/farm") but no wildcard, no empty level
// and no '$', which brokers keep for themselves.
QString prefixProblem(const QString& prefix)
{
    if (prefix.isEmpty())
        return QStringLiteral("is empty");
    if (prefix.startsWith(QLatin1Char('$')))
        return QStringLiteral("starts with '$', which brokers reserve");
    for (const QString& level : prefix.split(QLatin1Char('/'))) {
        if (level.isEmpty())
            return QStringLiteral("has an empty level (a '/' at either end or '//')");
        const QString problem = nameProblem(level);
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}

// A link's pace: in [gateway] for every link, in a link's section for that one.
struct TimingKey
{
    const char* name;
    double minSeconds;
    double maxSeconds;
};
const TimingKey TimingKeys[] = {
    {"interval", MinPollIntervalSeconds, MaxPollIntervalSeconds},
    {"timeout", 0.01, 60.0},
    {"guard", 0.0, 10.0},
    {"pause-after-connect", 0.0, 60.0},
};

const TimingKey* timingKey(const QString& key)
{
    for (const TimingKey& t : TimingKeys) {
        if (key == QLatin1String(t.name))
            return &t;
    }
    return nullptr;
}

void applyTiming(const QString& key, int ms, int* intervalMs, BusTiming* timing)
{
    if (key == QLatin1String("interval"))
        *intervalMs = ms;
    else if (key == QLatin1String("timeout"))
        timing->replyTimeoutMs = ms;
    else if (key == QLatin1String("guard"))
        timing->guardGapMs = ms;
    else
        timing->pauseAfterConnectMs = ms;
}

bool toBool(const QString& text, bool* value)
{
    const QString t = text.toLower();
    const bool yes = QStringList{"true", "yes", "on", "1"}.contains(t);
    if (!yes && !QStringList{"false", "no", "off", "0"}.contains(t))
        return false;
    *value = yes;
    return true;
}

bool toDigits(const QString& text, int maxDigits, int* value)
{
    if (text.isEmpty() || text.size() > maxDigits
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return false;
    *value = text.toInt();
    return true;
}

class Parser
{
public:
    explicit Parser(const QString& baseDir) : m_baseDir(baseDir) {}

    bool run(const QByteArray& text);

    Site site;
    int errorLine = 0;
    QString reason;

private:
    struct Section
    {
        QString name;
        int line = 0;
        bool gateway = false;
        QHash<QString, int> keys; // key -> line
        QHash<int, int> nameLines; // address -> line of its name.N
        SiteLink link;
        QVector<QPair<QString, int>> timing; // its own pace: key, ms
    };

    bool fail(int line, const QString& why)
    {
        errorLine = line;
        reason = why;
        return false;
    }
    bool line(int number, const QString& text);
    bool openSection(int number, const QString& name);
    bool closeSection();
    bool gatewayKey(int number, const QString& key, const QString& value);
    bool linkKey(int number, const QString& key, const QString& value);
    bool parseLink(int number, const QString& value, SiteLink* link);
    bool claim(int number, const QString& key, const QString& what);
    bool readPassword(int number, const QString& file);
    bool timingValue(int number, const TimingKey& key, const QString& value, double* seconds);
    bool tlsFile(int number, const QString& key, const QString& file);
    bool closeGateway();

    const QString m_baseDir;
    QString m_mqtt; // the mqtt key's value
    bool m_inSection = false;
    Section m_section;
    QHash<QString, int> m_sections; // name -> header line
    QHash<QString, QString> m_endpoints; // socket or device -> section that uses it
    QVector<QPair<QString, int>> m_gatewayTiming; // key, ms; but the interval
    QVector<QVector<QPair<QString, int>>> m_linkTimings; // of site.links, by index
};

bool Parser::run(const QByteArray& text)
{
    const QList<QByteArray> lines = text.split('\n');
    int number = 0;
    for (QByteArray raw : lines) {
        ++number;
        if (number == 1 && raw.startsWith("\xEF\xBB\xBF"))
            raw.remove(0, 3);
        if (raw.endsWith('\r'))
            raw.chop(1);
        const QString decoded = QString::fromUtf8(raw);
        if (decoded.contains(QChar::ReplacementCharacter) || raw.contains('\0'))
            return fail(number, QStringLiteral("not UTF-8 text"));
        if (!line(number, decoded.trimmed()))
            return false;
    }
    if (m_inSection && !closeSection())
        return false;
    // A trailing newline leaves one empty last piece; point at the last real line.
    const int lastLine = qMax(1, text.endsWith('\n') ? number - 1 : number);
    if (site.links.isEmpty())
        return fail(lastLine, QStringLiteral("no link section: nothing to serve"));
    // [gateway] may come last: its pace is known only now.
    for (int i = 0; i < site.links.size(); ++i) {
        SiteLink& link = site.links[i];
        link.intervalMs = static_cast<int>(std::lround(site.gateway.intervalSeconds * 1000));
        for (const auto& pace : m_gatewayTiming + m_linkTimings.at(i))
            applyTiming(pace.first, pace.second, &link.intervalMs, &link.timing);
    }
    return true;
}

bool Parser::line(int number, const QString& text)
{
    if (text.isEmpty() || text.startsWith(QLatin1Char('#')) || text.startsWith(QLatin1Char(';')))
        return true;
    if (text.startsWith(QLatin1Char('['))) {
        if (!text.endsWith(QLatin1Char(']')))
            return fail(number, QStringLiteral("section header without ']'"));
        return openSection(number, text.mid(1, text.size() - 2).trimmed());
    }
    const int equals = text.indexOf(QLatin1Char('='));
    if (equals < 0)
        return fail(number, QStringLiteral("expected 'key = value', '[section]' or a comment"));
    const QString key = text.left(equals).trimmed();
    const QString value = text.mid(equals + 1).trimmed();
    if (key.isEmpty())
        return fail(number, QStringLiteral("'=' without a key"));
    if (!m_inSection)
        return fail(number, QStringLiteral("key %1 before any section; start with [gateway] or [LINK]").arg(quoted(key)));
    if (key == QLatin1String("password"))
        return fail(number, QStringLiteral("no passwords in the site file: put it in a file of its own and name that with password-file"));
    const auto seen = m_section.keys.constFind(key);
    if (seen != m_section.keys.constEnd())
        return fail(number, QStringLiteral("%1 given twice in [%2] (first on line %3)").arg(quoted(key), m_section.name).arg(*seen));
    m_section.keys.insert(key, number);
    if (value.isEmpty())
        return fail(number, QStringLiteral("%1 has no value").arg(quoted(key)));
    return m_section.gateway ? gatewayKey(number, key, value) : linkKey(number, key, value);
}

bool Parser::openSection(int number, const QString& name)
{
    if (m_inSection && !closeSection())
        return false;
    const QString problem = nameProblem(name);
    if (!problem.isEmpty())
        return fail(number, QStringLiteral("section name [%1] %2 (no '+', '#', '/' or control characters)").arg(name, problem));
    const auto seen = m_sections.constFind(name);
    if (seen != m_sections.constEnd())
        return fail(number, QStringLiteral("section [%1] given twice (first on line %2)").arg(name).arg(*seen));
    m_sections.insert(name, number);
    m_section = Section{};
    m_section.name = name;
    m_section.line = number;
    m_section.gateway = name == QLatin1String(GatewaySection);
    m_section.link.name = name;
    m_section.link.line = number;
    m_inSection = true;
    return true;
}

bool Parser::closeSection()
{
    m_inSection = false;
    const Section& s = m_section;
    if (s.gateway)
        return closeGateway();
    if (!s.keys.contains(QStringLiteral("link")))
        return fail(s.line, QStringLiteral("link section [%1] has no 'link' key (e.g. link = serial:/dev/ttyUSB0)").arg(s.name));
    if (!s.keys.contains(QStringLiteral("energizers")))
        return fail(s.line, QStringLiteral("link section [%1] has no 'energizers' key (e.g. energizers = 1-12,15)").arg(s.name));
    for (auto it = s.nameLines.constBegin(); it != s.nameLines.constEnd(); ++it) {
        if (!s.link.addresses.contains(it.key()))
            return fail(it.value(), QStringLiteral("name.%1: address %1 is not in this link's energizers").arg(it.key()));
    }
    site.links.append(s.link);
    m_linkTimings.append(s.timing);
    return true;
}

bool Parser::closeGateway()
{
    const Section& s = m_section;
    GatewayOptions& g = site.gateway;
    const auto webLine = s.keys.constFind(QStringLiteral("web-config"));
    if (webLine != s.keys.constEnd() && !g.hasMetrics())
        return fail(*webLine, QStringLiteral("web-config needs metrics"));
    const auto operatorsLine = s.keys.constFind(QStringLiteral("operators"));
    for (const QString& name : qAsConst(g.operators)) {
        if (operatorsLine != s.keys.constEnd() && !g.web.users.contains(name))
            return fail(*operatorsLine, QStringLiteral("operators: %1 is no user of web-config").arg(quoted(name)));
    }
    const auto passwordLine = s.keys.constFind(QStringLiteral("password-file"));
    if (passwordLine != s.keys.constEnd() && g.username.isEmpty())
        return fail(*passwordLine, QStringLiteral("password-file needs username"));
    const int tlsLine = s.keys.value(QStringLiteral("mqtt-tls"));
    const QStringList files{QStringLiteral("mqtt-ca"), QStringLiteral("mqtt-cert"), QStringLiteral("mqtt-key")};
    for (const QString& key : files) {
        if (!s.keys.contains(key))
            continue;
        if (tlsLine > 0 && !g.mqttTls)
            return fail(tlsLine, QStringLiteral("mqtt-tls = false, but %1 asks for TLS").arg(key));
        g.mqttTls = true;
    }
    const QString certProblem = clientCertificateProblem(g.mqttCert, g.mqttKey);
    if (!certProblem.isEmpty())
        return fail(s.keys.value(g.mqttCert.isEmpty() ? QStringLiteral("mqtt-key") : QStringLiteral("mqtt-cert")),
                    QStringLiteral("%1 (mqtt-cert and mqtt-key go together)").arg(certProblem));
    const int mqttLine = s.keys.value(QStringLiteral("mqtt"));
    if (mqttLine == 0) {
        for (const QString& key : files + QStringList{QStringLiteral("mqtt-tls")}) {
            if (s.keys.contains(key))
                return fail(s.keys.value(key), QStringLiteral("%1 needs mqtt").arg(key));
        }
        return true;
    }
    BrokerAddress broker;
    QString error;
    if (!parseBrokerAddress(m_mqtt, g.mqttTls, &broker, &error))
        return fail(mqttLine, QStringLiteral("mqtt: %1").arg(error));
    if (broker.tls && tlsLine > 0 && !g.mqttTls)
        return fail(tlsLine, QStringLiteral("mqtt-tls = false, but mqtt is mqtts://"));
    g.mqttHost = broker.host;
    g.mqttPort = broker.port;
    g.mqttTls = broker.tls;
    return true;
}

bool Parser::gatewayKey(int number, const QString& key, const QString& value)
{
    GatewayOptions& g = site.gateway;
    QString error;
    if (key == QLatin1String("mqtt")) {
        // Its default port waits for the TLS keys, which may follow.
        m_mqtt = value;
    } else if (key == QLatin1String("mqtt-tls")) {
        if (!toBool(value, &g.mqttTls))
            return fail(number, QStringLiteral("%1 must be true or false, not %2").arg(key, quoted(value)));
    } else if (key == QLatin1String("mqtt-ca") || key == QLatin1String("mqtt-cert") || key == QLatin1String("mqtt-key")) {
        return tlsFile(number, key, value);
    } else if (key == QLatin1String("metrics")) {
        QString host;
        if (!parseHostPort(value, 0, &host, &g.metricsPort, &error))
            return fail(number, QStringLiteral("metrics: %1").arg(error));
        // The endpoint binds exactly there; a name could resolve to every interface.
        if (QHostAddress(host).isNull())
            return fail(number, QStringLiteral("metrics: %1 is no IP address (e.g. 127.0.0.1:9817)").arg(quoted(host)));
        g.metricsHost = host;
    } else if (key == QLatin1String("web-config")) {
        if (!WebConfig::read(QDir(m_baseDir).absoluteFilePath(value), &g.web, &error))
            return fail(number, QStringLiteral("web-config: %1").arg(error));
    } else if (key == QLatin1String("support-url")) {
        // Home Assistant refuses the whole device for a link it cannot open.
        const QUrl url(value, QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")) || url.host().isEmpty())
            return fail(number, QStringLiteral("support-url must be an http:// or https:// address, not %1").arg(quoted(value)));
        g.supportUrl = value;
    } else if (key == QLatin1String("topic") || key == QLatin1String("discovery-prefix")) {
        const QString problem = prefixProblem(value);
        if (!problem.isEmpty())
            return fail(number, QStringLiteral("%1 %2 %3 (no '+', '#', '$' at the start or control characters)")
                                    .arg(key, quoted(value), problem));
        (key == QLatin1String("topic") ? g.topicPrefix : g.discoveryPrefix) = value;
    } else if (key == QLatin1String("discovery") || key == QLatin1String("allow-zone-commands")) {
        if (!toBool(value, key == QLatin1String("discovery") ? &g.discovery : &g.allowZoneCommands))
            return fail(number, QStringLiteral("%1 must be true or false, not %2").arg(key, quoted(value)));
    } else if (key == QLatin1String("operators")) {
        for (const QString& name : value.split(QLatin1Char(','))) {
            if (!name.trimmed().isEmpty())
                g.operators << name.trimmed();
        }
    } else if (key == QLatin1String("username")) {
        g.username = value;
    } else if (key == QLatin1String("password-file")) {
        return readPassword(number, value);
    } else if (const TimingKey* t = timingKey(key)) {
        double seconds = 0;
        if (!timingValue(number, *t, value, &seconds))
            return false;
        if (key == QLatin1String("interval"))
            g.intervalSeconds = seconds;
        else
            m_gatewayTiming.append({key, static_cast<int>(std::lround(seconds * 1000))});
    } else if (key == QLatin1String("timeline")) {
        if (value.isEmpty())
            return fail(number, QStringLiteral("timeline needs a file name"));
        g.timelineKept = value != QLatin1String("none");
        g.timelineFile = g.timelineKept ? QDir(m_baseDir).absoluteFilePath(value) : QString();
    } else if (key == QLatin1String("timeline-events-days") || key == QLatin1String("timeline-readings-days")) {
        bool ok = false;
        const int days = value.toInt(&ok);
        if (!ok || days < 1 || days > 36500)
            return fail(number, QStringLiteral("%1 must be 1..36500 days, not %2").arg(key, quoted(value)));
        (key == QLatin1String("timeline-events-days") ? g.timelineEventDays : g.timelineReadingDays) = days;
    } else {
        return fail(number, QStringLiteral("unknown key %1 (known in [gateway]: mqtt, topic, discovery, discovery-prefix, "
                                           "allow-zone-commands, support-url, username, password-file, mqtt-tls, mqtt-ca, mqtt-cert, mqtt-key, "
                                           "metrics, web-config, interval, timeout, guard, pause-after-connect, timeline, "
                                           "timeline-events-days, timeline-readings-days, operators)")
                                .arg(quoted(key)));
    }
    return true;
}

bool Parser::timingValue(int number, const TimingKey& key, const QString& value, double* seconds)
{
    bool ok = false;
    *seconds = value.toDouble(&ok);
    if (!ok || !(*seconds >= key.minSeconds && *seconds <= key.maxSeconds))
        return fail(number, QStringLiteral("%1 must be %2..%3 seconds, not %4")
                                .arg(QLatin1String(key.name)).arg(key.minSeconds).arg(key.maxSeconds).arg(quoted(value)));
    return true;
}

bool Parser::readPassword(int number, const QString& file)
{
    const QString path = QDir(m_baseDir).absoluteFilePath(file);
    QString reason;
    if (!readPasswordFile(path, &site.gateway.password, &reason))
        return fail(number, QStringLiteral("password-file %1").arg(reason));
    site.gateway.passwordFile = path;
    return true;
}

bool Parser::tlsFile(int number, const QString& key, const QString& file)
{
    const QString path = QDir(m_baseDir).absoluteFilePath(file);
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return fail(number, QStringLiteral("%1 %2 is no readable file").arg(key, path));
    GatewayOptions& g = site.gateway;
    (key == QLatin1String("mqtt-ca") ? g.mqttCa : key == QLatin1String("mqtt-cert") ? g.mqttCert : g.mqttKey) = path;
    return true;
}

bool Parser::linkKey(int number, const QString& key, const QString& value)
{
    SiteLink& link = m_section.link;
    if (key == QLatin1String("link"))
        return parseLink(number, value, &link);
    if (key == QLatin1String("energizers")) {
        QString error;
        if (!parseAddressList(value, &link.addresses, &error, false))
            return fail(number, QStringLiteral("energizers: %1").arg(error));
        return true;
    }
    if (key.startsWith(QLatin1String("name."))) {
        int address = 0;
        if (!toDigits(key.mid(5), 2, &address) || address > MaxEnergizerAddress)
            return fail(number, QStringLiteral("%1: the address must be 0..%2").arg(quoted(key)).arg(MaxEnergizerAddress));
        const QString problem = nameProblem(value);
        if (!problem.isEmpty())
            return fail(number, QStringLiteral("display name %1 %2 (no '+', '#', '/' or control characters)").arg(quoted(value), problem));
        link.displayNames.insert(address, value);
        m_section.nameLines.insert(address, number);
        return true;
    }
    if (const TimingKey* t = timingKey(key)) {
        double seconds = 0;
        if (!timingValue(number, *t, value, &seconds))
            return false;
        m_section.timing.append({key, static_cast<int>(std::lround(seconds * 1000))});
        return true;
    }
    return fail(number, QStringLiteral("unknown key %1 in link section [%2] (known: link, energizers, name.N, interval, "
                                       "timeout, guard, pause-after-connect)")
                            .arg(quoted(key), m_section.name));
}

bool Parser::parseLink(int number, const QString& value, SiteLink* link)
{
    QString error;
    if (!LinkSpec::parse(value, &link->lineSpec, &error))
        return fail(number, error);
    // Two spellings of one device or socket (a symlink, a host name) are still one.
    const LinkSpec& lineSpec = link->lineSpec;
    QString what = hostPortText(lineSpec.host, lineSpec.port);
    if (lineSpec.isSerial()) {
        what = QStringLiteral("serial port ") + lineSpec.portName;
        if (lineSpec.devicePath() != lineSpec.portName)
            what += QStringLiteral(" (%1)").arg(lineSpec.devicePath());
    }
    if (!claim(number, lineSpec.endpointKey(), what))
        return false;
    // The client role binds BIND:PORT here; two such links would fight over that socket.
    if (!lineSpec.bindKey().isEmpty())
        return claim(number, lineSpec.bindKey(), QStringLiteral("local address ") + hostPortText(lineSpec.bindAddress, lineSpec.port));
    return true;
}

bool Parser::claim(int number, const QString& key, const QString& what)
{
    const auto owner = m_endpoints.constFind(key);
    if (owner != m_endpoints.constEnd())
        return fail(number, QStringLiteral("%1 is already used by [%2] (line %3)").arg(what, *owner).arg(m_sections.value(*owner)));
    m_endpoints.insert(key, m_section.name);
    return true;
}

} // namespace

SiteFile::Result SiteFile::read(const QString& path)
{
    Result result;
    auto refuse = [&](const QString& why) {
        result.line = 1;
        result.error = QStringLiteral("%1:1: %2").arg(path, why);
        return result;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return refuse(QStringLiteral("no such file"));
    if (!info.isFile())
        return refuse(QStringLiteral("not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("cannot be read: %1").arg(file.errorString()));
    result = parse(file.read(MaxSiteFileBytes + 1), path, info.absolutePath());
    if (result.ok())
        result.site.path = info.absoluteFilePath();
    return result;
}

SiteFile::Result SiteFile::parse(const QByteArray& text, const QString& fileName, const QString& baseDir)
{
    Result result;
    if (text.size() > MaxSiteFileBytes) {
        result.line = 1;
        result.error = QStringLiteral("%1:1: larger than %2 bytes; is this the site file?").arg(fileName).arg(MaxSiteFileBytes);
        return result;
    }
    Parser parser(baseDir);
    if (parser.run(text)) {
        result.site = parser.site;
        return result;
    }
    result.line = parser.errorLine;
    result.error = QStringLiteral("%1:%2: %3").arg(fileName).arg(parser.errorLine).arg(parser.reason);
    return result;
}

QString GatewayOptions::metricsWarning() const
{
    if (!hasMetrics() || QHostAddress(metricsHost).isLoopback() || web.hasLogin())
        return {};
    return QStringLiteral("metrics on %1 without a login (web-config with basic_auth_users): "
                          "anyone on the network can read it")
        .arg(hostPortText(metricsHost, metricsPort));
}

bool readPasswordFile(const QString& path, QString* password, QString* error)
{
    const auto refuse = [error, &path](const QString& why) {
        return ::refuse(error, path + QLatin1Char(' ') + why);
    };
    const QFileInfo info(path);
    // A FIFO would block the read until some writer came.
    if (!info.exists())
        return refuse(QStringLiteral("does not exist"));
    if (!info.isFile())
        return refuse(QStringLiteral("is not a regular file"));
    if (info.size() > MaxPasswordFileBytes)
        return refuse(QStringLiteral("is larger than %1 bytes").arg(MaxPasswordFileBytes));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("cannot be read: %1").arg(f.errorString()));
    QByteArray line = f.readLine(MaxPasswordFileBytes + 1);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        return refuse(QStringLiteral("has no password on its first line"));
    *password = QString::fromUtf8(line);
    return true;
}
