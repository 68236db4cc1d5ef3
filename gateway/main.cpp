// energizer-gateway: every energizer of a site on MQTT and Prometheus.
#include "services/brokersettings.h"
#include "services/gateway.h"
#include "services/gatewaymqtt.h"
#include "link/hostport.h"
#include "services/servicenotifier.h"
#include "services/sitebuses.h"
#include "services/sitefile.h"
#include "link/quitsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QProcessEnvironment>
#include <QStringList>

#include <cstdio>

namespace {

enum Exit { Ok = 0, Usage = 1, BadSite = 2, CannotStart = 3 };

// One line per message on stderr, named by its area ("energizer.mqtt: ...");
// under systemd the journal adds the time.
void logLine(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const char* level = type == QtWarningMsg ? " warning" : type == QtCriticalMsg || type == QtFatalMsg ? " error" : "";
    std::fprintf(stderr, "%s%s: %s\n", context.category ? context.category : "default", level, qUtf8Printable(message));
}

QString addressText(const QVector<int>& addresses)
{
    QStringList parts;
    for (int i = 0; i < addresses.size();) {
        int j = i;
        while (j + 1 < addresses.size() && addresses[j + 1] == addresses[j] + 1)
            ++j;
        parts << (j > i ? QStringLiteral("%1-%2").arg(addresses[i]).arg(addresses[j]) : QString::number(addresses[i]));
        i = j + 1;
    }
    return parts.join(QLatin1Char(','));
}

// What a link's section sets apart from the usual pace, ", timeout 0.5 s".
QString paceText(const SiteLink& link, double intervalSeconds)
{
    QString text;
    const auto add = [&text](const char* what, int ms) { text += QStringLiteral(", %1 %2 s").arg(QLatin1String(what)).arg(ms / 1000.0); };
    const BusTiming usual;
    if (link.intervalMs != qRound(intervalSeconds * 1000))
        add("every", link.intervalMs);
    if (link.timing.replyTimeoutMs != usual.replyTimeoutMs)
        add("timeout", link.timing.replyTimeoutMs);
    if (link.timing.guardGapMs != usual.guardGapMs)
        add("guard", link.timing.guardGapMs);
    if (link.timing.pauseAfterConnectMs != usual.pauseAfterConnectMs)
        add("pause after connect", link.timing.pauseAfterConnectMs);
    return text;
}

void printSite(const Site& site)
{
    const GatewayOptions& g = site.gateway;
    int energizers = 0;
    for (const SiteLink& link : site.links)
        energizers += link.addresses.size();
    std::printf("%d links, %d energizers, polled every %g s\n", site.links.size(), energizers, g.intervalSeconds);
    if (g.hasMqtt()) {
        QString tls;
        if (g.mqttTls) {
            tls = QStringLiteral("mqtts://");
            tls += QStringLiteral("%1 (CA %2%3)").arg(hostPortText(g.mqttHost, g.mqttPort),
                                                     g.mqttCa.isEmpty() ? QStringLiteral("the system's") : g.mqttCa,
                                                     g.mqttCert.isEmpty() ? QString() : QStringLiteral(", client certificate ") + g.mqttCert);
        }
        std::printf("mqtt %s%s, client id %s\n", qUtf8Printable(g.mqttTls ? tls : hostPortText(g.mqttHost, g.mqttPort)),
                    g.username.isEmpty() ? "" : qUtf8Printable(QStringLiteral(" as ") + g.username),
                    qUtf8Printable(GatewayMqtt::clientId(site.path, g.topicPrefix)));
        std::printf("  %s/bridge/state\n", qUtf8Printable(g.topicPrefix));
        if (g.discovery)
            std::printf("  discovery under %s/, again when %s/status says online\n", qUtf8Printable(g.discoveryPrefix),
                        qUtf8Printable(g.discoveryPrefix));
        if (g.allowZoneCommands)
            std::printf("  zone commands on %s/+/+/zone/+/set\n", qUtf8Printable(g.topicPrefix));
    } else {
        std::printf("no mqtt\n");
    }
    if (g.hasMetrics()) {
        std::printf("metrics %s://%s/metrics%s\n", g.web.hasTls() ? "https" : "http",
                    qUtf8Printable(hostPortText(g.metricsHost, g.metricsPort)), g.web.users.isEmpty() ? "" : " with login");
        const QString warning = g.metricsWarning();
        if (!warning.isEmpty())
            std::fprintf(stderr, "warning: %s\n", qUtf8Printable(warning));
    } else
        std::printf("no metrics\n");
    for (const SiteLink& link : site.links) {
        std::printf("link %s: %s, energizers %s%s\n", qUtf8Printable(link.name), qUtf8Printable(link.lineSpec.text()),
                    qUtf8Printable(addressText(link.addresses)), qUtf8Printable(paceText(link, g.intervalSeconds)));
        if (!g.hasMqtt())
            continue;
        for (int address : link.addresses) {
            const QString topic = QStringLiteral("%1/%2/%3").arg(g.topicPrefix, link.name).arg(address);
            const QString name = link.displayNames.value(address);
            std::printf("  %s/state %s/availability%s\n", qUtf8Printable(topic), qUtf8Printable(topic),
                        name.isEmpty() ? "" : qUtf8Printable(QStringLiteral(" (\"%1\")").arg(name)));
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("energizer-gateway"));
    QCoreApplication::setApplicationVersion(QStringLiteral(EC_VERSION));
    qInstallMessageHandler(logLine);
    // Info and up by default; QT_LOGGING_RULES comes later and wins.
    QLoggingCategory::setFilterRules(QStringLiteral("energizer.*.debug=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Serves every energizer of a site on MQTT and Prometheus."));
    const QCommandLineOption siteOption(QStringLiteral("site"), QStringLiteral("The site file."), QStringLiteral("FILE"));
    const QCommandLineOption checkOption(QStringLiteral("check"), QStringLiteral("Check the site file, print what would be served, and exit."));
    const QCommandLineOption verboseOption({QStringLiteral("v"), QStringLiteral("verbose")},
                                           QStringLiteral("Print every frame in hex on standard error."));
    // addVersionOption() would take -v as well.
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Print the version and exit."));
    parser.addOptions({siteOption, checkOption, verboseOption, versionOption});
    parser.addHelpOption();
    if (!parser.parse(app.arguments())) {
        std::fprintf(stderr, "energizer-gateway: %s\n", qUtf8Printable(parser.errorText()));
        return Usage;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(Ok);
    if (parser.isSet(versionOption)) {
        std::printf("energizer-gateway %s\n", EC_VERSION);
        return Ok;
    }
    if (!parser.isSet(siteOption) || !parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "energizer-gateway: usage: energizer-gateway --site FILE [--check] [-v]\n");
        return Usage;
    }

    const SiteFile::Result read = SiteFile::read(parser.value(siteOption));
    if (!read.ok()) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(read.error));
        return BadSite;
    }
    for (const QString& warning : {exposedSecretWarning(QStringLiteral("password-file"), read.site.gateway.passwordFile),
                                   exposedSecretWarning(QStringLiteral("mqtt-key"), read.site.gateway.mqttKey)}) {
        if (!warning.isEmpty())
            std::fprintf(stderr, "energizer-gateway: warning: %s\n", qUtf8Printable(warning));
    }
    if (parser.isSet(checkOption)) {
        printSite(read.site);
        return Ok;
    }

    Gateway gateway(read.site, QStringLiteral(EC_VERSION));
    if (parser.isSet(verboseOption))
        gateway.buses().traceFrames();
    ServiceNotifier systemd(QProcessEnvironment::systemEnvironment());
    systemd.setStatusSource([&gateway] { return gateway.statusText(); });
    QObject::connect(&gateway, &Gateway::ready, &systemd, &ServiceNotifier::ready);
    QuitSignals quit;
    quit.catchHangup();
    QObject::connect(&quit, &QuitSignals::quitRequested, &gateway, [&] {
        systemd.stopping();
        gateway.stop();
    });
    // systemctl reload: the file again; a bad one changes nothing.
    QObject::connect(&quit, &QuitSignals::reloadRequested, &gateway, [&, path = parser.value(siteOption)] {
        systemd.reloading();
        const SiteFile::Result again = SiteFile::read(path);
        QString why = again.error;
        if (again.ok())
            gateway.reload(again.site, &why);
        if (!why.isEmpty())
            qCWarning(lcGateway, "reload refused, serving the site as before: %s", qUtf8Printable(why));
        systemd.ready();
    });
    QObject::connect(&gateway, &Gateway::stopped, &app, [] { QCoreApplication::exit(Ok); });
    QString error;
    if (!gateway.start(&error)) {
        std::fprintf(stderr, "energizer-gateway: %s\n", qUtf8Printable(error));
        return CannotStart;
    }
    return app.exec();
}
