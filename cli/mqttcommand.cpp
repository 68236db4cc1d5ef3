#include "cli/mqttcommand.h"

#include "cli/exitstatus.h"
#include "services/brokersettings.h"
#include "services/gatewaymqtt.h"
#include "services/mqttdiscovery.h"
#include "services/servicenotifier.h"
#include "link/energizerbus.h"
#include "link/energizerlink.h"
#include "link/station.h"
#include "link/pollinterval.h"
#include "link/quitsignals.h"
#include "protocol/settingsfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSysInfo>

#include <cstdio>
#include <utility>

namespace {

const char UsageText[] =
    "usage: energizer-cli [CONNECTION] mqtt --broker [mqtts://]HOST[:PORT] [--topic PREFIX] [--interval S]\n"
    "         [--username U --password-file FILE] [--tls] [--cafile FILE] [--cert FILE --key FILE]\n"
    "         [--client-id ID]\n"
    "         [--discovery [--discovery-prefix homeassistant]] [--allow-zone-commands]\n"
    "Default PREFIX: energizer/HOST/LINK/ADDRESS (LINK: serial port name, or udp-IP-PORT, tcp-IP-PORT).\n";

int usageError(const QString& message)
{
    std::fprintf(stderr, "energizer-cli mqtt: %s\n%s", qUtf8Printable(message), UsageText);
    return Usage;
}

// One topic level from free text: no separators or wildcards.
QString topicLevel(QString text)
{
    for (QChar& c : text) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') || c.isSpace() || !c.isPrint())
            c = QLatin1Char('_');
    }
    return text.isEmpty() ? QStringLiteral("_") : text;
}

// Tells energizers apart across hosts and links: energizer/HOST/LINK/ADDRESS.
QString defaultPrefix(const EnergizerLink& link)
{
    return QStringLiteral("energizer/%1/%2/%3")
        .arg(topicLevel(QSysInfo::machineHostName()), topicLevel(link.link().name()))
        .arg(link.station().address());
}

// Differs per host, link and energizer, so two bridges never knock each other off the broker.
QString defaultClientId(const EnergizerLink& link, const QString& prefix)
{
    const QString key = QStringLiteral("%1\n%2\n%3").arg(prefix, link.link().name()).arg(link.station().address());
    return hostClientId(QStringLiteral("energizer-cli"), key);
}

} // namespace

int runMqttCommand(EnergizerLink& link, const QStringList& args, int timeoutMs)
{
    QCommandLineParser parser;
    const QCommandLineOption broker(QStringLiteral("broker"), QString(), QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption topic(QStringLiteral("topic"), QString(), QStringLiteral("PREFIX"));
    const QCommandLineOption interval(QStringLiteral("interval"), QString(), QStringLiteral("S"));
    const QCommandLineOption username(QStringLiteral("username"), QString(), QStringLiteral("U"));
    const QCommandLineOption passwordFile(QStringLiteral("password-file"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption tls(QStringLiteral("tls"));
    const QCommandLineOption caFile(QStringLiteral("cafile"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption certFile(QStringLiteral("cert"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption keyFile(QStringLiteral("key"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption clientId(QStringLiteral("client-id"), QString(), QStringLiteral("ID"));
    const QCommandLineOption discovery(QStringLiteral("discovery"));
    const QCommandLineOption discoveryPrefix(QStringLiteral("discovery-prefix"), QString(), QStringLiteral("PREFIX"));
    const QCommandLineOption allowZone(QStringLiteral("allow-zone-commands"));
    parser.addOptions({broker, topic, interval, username, passwordFile, tls, caFile, certFile, keyFile, clientId, discovery, discoveryPrefix, allowZone});
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringLiteral("help"));
    parser.addOption(help);
    if (!parser.parse(QStringList{QStringLiteral("mqtt")} + args))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(UsageText, stdout);
        return Done;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    GatewayMqtt::Options options;
    options.oneEnergizer = true;
    MqttClient::Options& b = options.broker;
    b.caFile = parser.value(caFile);
    b.certFile = parser.value(certFile);
    b.keyFile = parser.value(keyFile);
    if (!parser.isSet(broker))
        return usageError(QStringLiteral("--broker is required"));
    const QString certProblem = clientCertificateProblem(b.certFile, b.keyFile);
    if (!certProblem.isEmpty())
        return usageError(QStringLiteral("%1 (--cert and --key go together)").arg(certProblem));
    BrokerAddress address;
    QString reason;
    if (!parseBrokerAddress(parser.value(broker), parser.isSet(tls) || !b.caFile.isEmpty() || !b.certFile.isEmpty(), &address, &reason))
        return usageError(QStringLiteral("bad --broker %1 ([mqtts://]HOST or HOST:PORT)").arg(parser.value(broker)));
    b.host = address.host;
    b.port = address.port;
    b.tls = address.tls;

    options.prefix = parser.isSet(topic) ? parser.value(topic) : defaultPrefix(link);
    if (options.prefix.isEmpty() || options.prefix.contains(QLatin1Char('+')) || options.prefix.contains(QLatin1Char('#'))
        || options.prefix.endsWith(QLatin1Char('/')) || options.prefix.startsWith(QLatin1Char('$')))
        return usageError(QStringLiteral("bad --topic %1 (no wildcards, no trailing /)").arg(options.prefix));

    int intervalMs = 1000;
    if (parser.isSet(interval)) {
        bool ok = false;
        const double seconds = parser.value(interval).toDouble(&ok);
        if (!ok || !(seconds >= MinPollIntervalSeconds && seconds <= MaxPollIntervalSeconds))
            return usageError(QStringLiteral("bad --interval %1 (%2 to %3 seconds)")
                                  .arg(parser.value(interval)).arg(MinPollIntervalSeconds).arg(MaxPollIntervalSeconds));
        intervalMs = qRound(seconds * 1000);
    }

    if (parser.isSet(passwordFile) && !parser.isSet(username))
        return usageError(QStringLiteral("--password-file needs --username"));
    if (parser.isSet(discoveryPrefix) && !parser.isSet(discovery))
        return usageError(QStringLiteral("--discovery-prefix needs --discovery"));
    b.username = parser.value(username);
    if (parser.isSet(passwordFile) && !readPasswordFile(parser.value(passwordFile), &b.password, &reason)) {
        std::fprintf(stderr, "energizer-cli mqtt: bad password file: %s\n", qUtf8Printable(reason));
        return BadFile;
    }
    for (const auto& file : {qMakePair(QStringLiteral("CA file"), b.caFile), qMakePair(QStringLiteral("certificate"), b.certFile),
                             qMakePair(QStringLiteral("key"), b.keyFile)}) {
        if (!file.second.isEmpty() && !QFileInfo(file.second).isReadable()) {
            std::fprintf(stderr, "energizer-cli mqtt: cannot read %s %s\n", qUtf8Printable(file.first), qUtf8Printable(file.second));
            return BadFile;
        }
    }
    for (const QString& warning : {exposedSecretWarning(QStringLiteral("password file"), parser.value(passwordFile)),
                                   exposedSecretWarning(QStringLiteral("key file"), b.keyFile)}) {
        if (!warning.isEmpty())
            std::fprintf(stderr, "energizer-cli mqtt: warning: %s\n", qUtf8Printable(warning));
    }
    b.clientId = parser.isSet(clientId) ? parser.value(clientId) : defaultClientId(link, options.prefix);
    options.discovery = parser.isSet(discovery);
    options.discoveryPrefix = parser.isSet(discoveryPrefix) ? parser.value(discoveryPrefix) : QStringLiteral("homeassistant");
    options.allowZoneCommands = parser.isSet(allowZone);
    options.zoneTimeoutMs = timeoutMs;
    options.version = QCoreApplication::applicationVersion();

    // A site of one link and one energizer; its bus polls it.
    GatewayMqtt publisher(options, {{link.link().name(), &link.bus(), {}}});
    if (!publisher.setup(&reason))
        return usageError(reason);
    std::fprintf(stderr, "energizer-cli mqtt: publishing %s/state and %s/availability\n",
                 qUtf8Printable(options.prefix), qUtf8Printable(options.prefix));
    QObject::connect(&link.station(), &Station::availabilityChanged, &publisher, [](Station::Availability a) {
        qCInfo(lcMqtt, a == Station::Availability::Online ? "energizer answers" : "energizer does not answer");
    });

    // Under systemd (energizer-mqtt@.service): ready once the broker was tried, and a watchdog.
    ServiceNotifier systemd(QProcessEnvironment::systemEnvironment());
    QObject::connect(&publisher, &GatewayMqtt::connectionTried, &systemd, [&systemd, once = true]() mutable {
        if (std::exchange(once, false))
            systemd.ready();
    });
    // SIGINT and SIGTERM end it through the event loop.
    QuitSignals quit;
    QObject::connect(&quit, &QuitSignals::quitRequested, &publisher, [&] {
        systemd.stopping();
        publisher.stop();
    });
    QObject::connect(&publisher, &GatewayMqtt::stopped, QCoreApplication::instance(), [] { QCoreApplication::exit(Done); });

    link.open();
    link.bus().setPollInterval(intervalMs);
    publisher.start();
    const int status = QCoreApplication::exec();
    link.bus().setPollInterval(0);
    return status;
}
