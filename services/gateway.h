#pragma once

#include "services/sitefile.h"

#include <QObject>
#include <QString>

#include <memory>

class GatewayMetrics;
class GatewayMqtt;
class MetricsServer;
class SiteBuses;
class TimelineRecorder;
class TimelineStore;

// A site served: its buses, and the broker and the metrics endpoint when the
// site file names them.
class Gateway : public QObject
{
    Q_OBJECT
public:
    Gateway(const Site& site, const QString& version, QObject* parent = nullptr);
    ~Gateway() override;

    SiteBuses& buses() const { return *m_buses; }

    // Binds the metrics endpoint, then starts polling and the broker
    // connection. False, with the reason, when it cannot start.
    bool start(QString* error);
    // Publishes offline, closes the links, then emits stopped().
    void stop();

signals:
    void stopped();

private:
    Site m_site;
    SiteBuses* m_buses;
    GatewayMqtt* m_mqtt = nullptr;
    MetricsServer* m_metricsServer = nullptr;
    std::unique_ptr<GatewayMetrics> m_metrics;
    std::unique_ptr<TimelineStore> m_timeline;
    TimelineRecorder* m_recorder = nullptr;
    bool m_stopping = false;
};
