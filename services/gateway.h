#pragma once

#include "services/sitebuses.h"
#include "services/sitefile.h"

#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <memory>

class GatewayMetrics;
class GatewayMqtt;
class MetricsServer;
class WebPage;

Q_DECLARE_LOGGING_CATEGORY(lcGateway)
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

    // Serves a re-read site file from now on, changing only what changed:
    // links as they were keep polling, the broker session stays unless its
    // settings changed, the endpoint unless its own did. False, with the
    // reason and nothing changed, when a new broker or endpoint cannot be set up.
    bool reload(const Site& site, QString* error);

    // "3 links, 42 of 45 energizers on line"
    QString statusText() const;

signals:
    void stopped();
    // Once: the links are open and the broker was tried (or there is none).
    void ready();

private:
    GatewayMqtt* makeMqtt(const Site& site, const QVector<SiteBuses::Link>& links);
    MetricsServer* makeMetricsServer(const GatewayOptions& options, QString* error);
    void markReady();

    Site m_site;
    SiteBuses* m_buses;
    GatewayMqtt* m_mqtt = nullptr;
    MetricsServer* m_metricsServer = nullptr;
    std::unique_ptr<GatewayMetrics> m_metrics;
    QString m_version; // Home Assistant's origin
    std::unique_ptr<TimelineStore> m_timeline;
    TimelineRecorder* m_recorder = nullptr;
    WebPage* m_web = nullptr;
    bool m_stopping = false;
    bool m_ready = false;
};
