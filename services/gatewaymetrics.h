#pragma once

#include <QByteArray>
#include <QString>

class GatewayMqtt;
class SiteBuses;

// The metrics body from what the buses last polled; never waits for a poll.
class GatewayMetrics
{
public:
    // mqtt: none without a broker.
    GatewayMetrics(const SiteBuses& buses, const GatewayMqtt* mqtt, const QString& version);

    QByteArray body() const;

private:
    const SiteBuses& m_buses;
    const GatewayMqtt* m_mqtt;
    QString m_version;
};
