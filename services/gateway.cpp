#include "services/gateway.h"

#include "services/gatewaymetrics.h"
#include "services/gatewaymqtt.h"
#include "link/energizerbus.h"
#include "link/hostport.h"
#include "link/station.h"
#include "services/metricsserver.h"
#include "services/sitebuses.h"
#include "services/timelinerecorder.h"
#include "services/webpage.h"
#include "protocol/refuse.h"

#include <QHostAddress>

Q_LOGGING_CATEGORY(lcGateway, "energizer.gateway")

namespace {
// The endpoint's own keys (Options: GatewayOptions, const or not).
template <class Options>
auto metricsFields(Options& g)
{
    return std::tie(g.metricsHost, g.metricsPort, g.web);
}

// The options without what the broker session does not depend on: a key
// not cleared here reconnects to the broker when it changes.
template <class Options>
auto timelineDays(Options& g)
{
    return std::tie(g.timelineEventDays, g.timelineReadingDays);
}

GatewayOptions brokerPart(GatewayOptions g)
{
    const GatewayOptions defaults;
    metricsFields(g) = metricsFields(defaults);
    timelineDays(g) = timelineDays(defaults);
    g.timelineFile = defaults.timelineFile;
    g.timelineKept = defaults.timelineKept;
    g.operators = defaults.operators;
    g.intervalSeconds = defaults.intervalSeconds;
    return g;
}

MetricsServerOptions serverOptions(const GatewayOptions& options)
{
    MetricsServerOptions server;
    server.address = QHostAddress(options.metricsHost);
    server.port = options.metricsPort;
    server.web = options.web;
    return server;
}

QString brokerText(const GatewayOptions& options)
{
    return hostPortText(options.mqttHost, options.mqttPort);
}
}

Gateway::Gateway(const Site& site, const QString& version, QObject* parent)
    : QObject(parent)
    , m_site(site)
    , m_buses(new SiteBuses(site, this))
    , m_metrics(std::make_unique<GatewayMetrics>(*m_buses, version))
    , m_version(version)
{
    if (site.gateway.hasMqtt())
        m_mqtt = makeMqtt(site, m_buses->links());
    m_metrics->setMqtt(m_mqtt);
    connect(m_buses, &SiteBuses::linksChanged, this, [this] {
        if (m_mqtt)
            m_mqtt->setLinks(m_buses->links());
        if (m_timeline)
            m_recorder->watchSite(*m_buses, m_site.gateway.allowZoneCommands);
        m_web->watchSite();
    });
    const GatewayOptions& g = site.gateway;
    // "timeline = none": a recorder that watches nothing, so the web page's zone switches still have one.
    if (g.timelineKept) {
        m_timeline = std::make_unique<TimelineStore>(g.timelineFile.isEmpty() ? TimelineStore::servicePath() : g.timelineFile);
        m_recorder = TimelineRecorder::forSite(*m_buses, m_timeline.get(), g, this);
    } else {
        m_recorder = new TimelineRecorder(nullptr, this);
    }
    m_web = new WebPage(*m_buses, *m_recorder, this);
    m_web->setOptions(g);
    m_web->setStore(m_timeline.get());
}

Gateway::~Gateway()
{
    // Before the store goes.
    m_recorder->stop();
}

GatewayMqtt* Gateway::makeMqtt(const Site& site, const QVector<SiteBuses::Link>& links)
{
    GatewayMqtt::Options options = GatewayMqtt::siteOptions(site);
    options.version = m_version;
    auto* mqtt = new GatewayMqtt(options, links, this);
    connect(mqtt, &GatewayMqtt::connectionTried, this, &Gateway::markReady);
    connect(mqtt, &GatewayMqtt::stopped, this, [this, mqtt] {
        if (mqtt != m_mqtt) {
            // Replaced by a reload: its successor may use the same client id, so it starts only now.
            mqtt->deleteLater();
            if (m_mqtt && !m_stopping)
                m_mqtt->start();
            return;
        }
        m_buses->close();
        emit stopped();
    });
    return mqtt;
}

MetricsServer* Gateway::makeMetricsServer(const GatewayOptions& options, QString* error)
{
    auto* server = new MetricsServer(this);
    server->setBodySource([this] { return m_metrics->body(); });
    if (server->listen(serverOptions(options))) {
        m_web->serveOn(server);
        const QString warning = options.metricsWarning();
        if (!warning.isEmpty())
            qCWarning(lcMetrics).noquote() << warning;
        return server;
    }
    *error = QStringLiteral("metrics endpoint %1: %2").arg(hostPortText(options.metricsHost, options.metricsPort), server->errorString());
    delete server;
    return nullptr;
}

bool Gateway::start(QString* error)
{
    const GatewayOptions& options = m_site.gateway;
    if (options.hasMetrics() && !(m_metricsServer = makeMetricsServer(options, error)))
        return false;
    if (m_mqtt) {
        QString reason;
        if (!m_mqtt->setup(&reason))
            return refuse(error, QStringLiteral("broker %1: %2").arg(brokerText(options), reason));
    }
    m_buses->open();
    if (m_mqtt)
        m_mqtt->start();
    else
        markReady();
    return true;
}

void Gateway::markReady()
{
    if (m_ready)
        return;
    m_ready = true;
    emit ready();
}

void Gateway::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    // Closing the links takes every station off line: that is no event.
    m_recorder->stop();
    if (m_metricsServer)
        m_metricsServer->close();
    if (m_mqtt) {
        m_mqtt->stop();
        return;
    }
    m_buses->close();
    emit stopped();
}

bool Gateway::reload(const Site& site, QString* error)
{
    if (m_stopping)
        return true;
    const GatewayOptions& before = m_site.gateway;
    const GatewayOptions& after = site.gateway;
    const bool brokerChanged = !(brokerPart(before) == brokerPart(after));
    const bool metricsChanged = metricsFields(before) != metricsFields(after);

    // What can fail comes first, so that a refusal leaves everything running as it was.
    GatewayMqtt* nextMqtt = nullptr;
    if (brokerChanged && after.hasMqtt()) {
        nextMqtt = makeMqtt(site, {});
        QString reason;
        if (!nextMqtt->setup(&reason)) {
            *error = QStringLiteral("broker %1: %2").arg(brokerText(after), reason);
            delete nextMqtt;
            return false;
        }
    }
    MetricsServer* nextMetrics = nullptr;
    if (metricsChanged && after.hasMetrics()) {
        // One address cannot be bound twice: the old endpoint goes first when the new one takes its place.
        const bool sameAddress = m_metricsServer && before.metricsHost == after.metricsHost && before.metricsPort == after.metricsPort;
        if (sameAddress)
            m_metricsServer->close();
        if (!(nextMetrics = makeMetricsServer(after, error))) {
            if (sameAddress)
                m_metricsServer->listen(serverOptions(before));
            delete nextMqtt;
            return false;
        }
    }

    QStringList said;
    const SiteBuses::Changes links = m_buses->apply(site);
    for (const QString& name : links.added)
        said << QStringLiteral("link %1 added").arg(name);
    for (const QString& name : links.changed)
        said << QStringLiteral("link %1 changed").arg(name);
    for (const QString& name : links.removed)
        said << QStringLiteral("link %1 removed").arg(name);

    if (brokerChanged) {
        GatewayMqtt* old = m_mqtt;
        m_mqtt = nextMqtt;
        m_metrics->setMqtt(m_mqtt);
        if (m_mqtt)
            m_mqtt->setLinks(m_buses->links());
        if (old) {
            // Its offline messages first; the new session starts once it has stopped.
            old->stop();
            old->setLinks({});
        } else if (m_mqtt) {
            m_mqtt->start();
        }
        said << (m_mqtt ? QStringLiteral("broker %1 (new session)").arg(brokerText(after)) : QStringLiteral("no broker"));
    }
    if (metricsChanged) {
        delete m_metricsServer;
        m_metricsServer = nextMetrics;
        m_web->serveOn(m_metricsServer);
        said << (m_metricsServer ? QStringLiteral("metrics endpoint %1").arg(hostPortText(after.metricsHost, after.metricsPort))
                                 : QStringLiteral("no metrics endpoint"));
    }
    if (before.timelineKept != after.timelineKept) {
        qCWarning(lcGateway, "timeline = none is switched at the next start");
    } else if (m_timeline && before.timelineFile != after.timelineFile) {
        // What waits in memory goes to the new file.
        auto timeline = std::make_unique<TimelineStore>(after.timelineFile.isEmpty() ? TimelineStore::servicePath() : after.timelineFile);
        m_recorder->setStore(timeline.get());
        m_web->setStore(timeline.get());
        m_timeline = std::move(timeline);
        said << QStringLiteral("timeline %1").arg(m_timeline->path());
    }
    if (m_timeline && timelineDays(before) != timelineDays(after))
        m_recorder->setRetention(after.timelineEventDays, after.timelineReadingDays);
    if (before.intervalSeconds != after.intervalSeconds)
        said << QStringLiteral("polled every %1 s").arg(after.intervalSeconds);
    m_web->setOptions(after);
    m_site = site;
    qCInfo(lcGateway, "reloaded: %s", said.isEmpty() ? "nothing changed" : qUtf8Printable(said.join(QStringLiteral(", "))));
    return true;
}

QString Gateway::statusText() const
{
    int energizers = 0;
    int online = 0;
    for (const SiteBuses::Link& link : m_buses->links()) {
        for (const Station* station : link.bus->stations()) {
            ++energizers;
            online += station->isOnline() ? 1 : 0;
        }
    }
    const int count = m_buses->links().size();
    return QStringLiteral("%1 %2, %3 of %4 energizers on line")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("link") : QStringLiteral("links"))
        .arg(online)
        .arg(energizers);
}

#include "moc_gateway.cpp"
