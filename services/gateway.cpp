#include "services/gateway.h"

#include "services/gatewaymetrics.h"
#include "services/gatewaymqtt.h"
#include "link/hostport.h"
#include "services/metricsserver.h"
#include "services/sitebuses.h"
#include "services/timelinerecorder.h"

#include <QHostAddress>

Gateway::Gateway(const Site& site, const QString& version, QObject* parent)
    : QObject(parent)
    , m_site(site)
    , m_buses(new SiteBuses(site, this))
{
    if (site.gateway.hasMqtt()) {
        m_mqtt = new GatewayMqtt(GatewayMqtt::siteOptions(site.gateway), m_buses->links(), this);
        connect(m_mqtt, &GatewayMqtt::stopped, this, [this] {
            m_buses->close();
            emit stopped();
        });
    }
    const GatewayOptions& g = site.gateway;
    m_timeline = std::make_unique<TimelineStore>(g.timelineFile.isEmpty() ? TimelineStore::servicePath() : g.timelineFile);
    m_recorder = TimelineRecorder::forSite(*m_buses, m_timeline.get(), g, this);
    if (site.gateway.hasMetrics()) {
        m_metrics = std::make_unique<GatewayMetrics>(*m_buses, version);
        m_metricsServer = new MetricsServer(this);
        m_metricsServer->setBodySource([this] { return m_metrics->body(); });
    }
}

Gateway::~Gateway()
{
    // Before the store goes.
    m_recorder->stop();
}

bool Gateway::start(QString* error)
{
    const GatewayOptions& options = m_site.gateway;
    if (m_metricsServer) {
        if (!m_metricsServer->listen(QHostAddress(options.metricsHost), options.metricsPort)) {
            *error = QStringLiteral("metrics endpoint %1: %2")
                         .arg(hostPortText(options.metricsHost, options.metricsPort), m_metricsServer->errorString());
            return false;
        }
    }
    if (m_mqtt) {
        QString reason;
        if (!m_mqtt->setup(&reason)) {
            *error = QStringLiteral("broker %1: %2").arg(hostPortText(options.mqttHost, options.mqttPort), reason);
            return false;
        }
    }
    m_buses->open();
    if (m_mqtt)
        m_mqtt->start();
    return true;
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

#include "moc_gateway.cpp"
