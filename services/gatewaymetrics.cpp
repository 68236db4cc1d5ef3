#include "services/gatewaymetrics.h"

#include "services/energizerreading.h"
#include "services/gatewaymqtt.h"
#include "services/metricstext.h"
#include "services/sitebuses.h"
#include "link/energizerbus.h"
#include "link/station.h"

GatewayMetrics::GatewayMetrics(const SiteBuses& buses, const QString& version)
    : m_buses(buses)
    , m_version(version)
{
}

QByteArray GatewayMetrics::body() const
{
    QVector<EnergizerReading> energizers;
    QVector<LinkReading> links;
    for (const SiteBuses::Link& link : m_buses.links()) {
        for (const Station* station : link.bus->stations())
            energizers.append(energizerReading(link.name, *station));
        links.append({link.name, link.bus->requestsTotal(), link.bus->timeoutsTotal(), link.bus->lastCycleMs() / 1000.0});
    }
    BrokerReading broker;
    if (m_mqtt) {
        broker.connected = m_mqtt->isConnected();
        broker.failure = MqttClient::failureName(m_mqtt->lastFailure());
        broker.otherGateways = m_mqtt->otherGateways();
    }
    return metricsText(energizers, links, m_version, m_mqtt ? &broker : nullptr);
}
