#pragma once

#include <QByteArray>
#include <QString>

class GatewayMqtt;
class SiteBuses;

// The metrics body from what the buses last polled; never waits for a poll.
class GatewayMetrics
{
public:
    GatewayMetrics(const SiteBuses& buses, const QString& version);
    // The broker session reported on; none without a broker. A reload may replace it.
    void setMqtt(const GatewayMqtt* mqtt) { m_mqtt = mqtt; }

    QByteArray body() const;

private:
    const SiteBuses& m_buses;
    const GatewayMqtt* m_mqtt = nullptr;
    QString m_version;
};
