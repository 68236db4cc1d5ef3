#pragma once

#include "services/mqttclient.h"
#include "services/mqttdiscovery.h"
#include "services/sitebuses.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QLoggingCategory>
#include <QObject>
#include <QQueue>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVector>

class Station;
class ZoneCommands;

// Every energizer of the site on one MQTT connection: PREFIX/bridge/state
// for the gateway itself (offline by the will), PREFIX/LINK/ADDRESS/state
// and /availability retained, zone commands and discovery when asked for.
// One energizer alone (energizer-cli mqtt) has its topics directly under
// PREFIX, and its availability is the will.
// Publishing goes through a queue drained in batches, so a start or a
// reconnection with a thousand energizers does not flood the broker; a topic
// that changes again while queued is sent once, with its latest payload.
// Discovery is one retained message per energizer plus one for the publisher
// itself, built in slices of at most SliceMs from the event loop; Home
// Assistant's "online" asks for it again at most once per RepublishMs.
class GatewayMqtt : public QObject
{
    Q_OBJECT
public:
    static constexpr int BatchSize = 200;     // messages per pass
    static constexpr int BatchPauseMs = 10;   // between passes while more wait
    static constexpr int StopTimeoutMs = 3000;
    static constexpr int SliceMs = 4;          // the longest the publisher holds the loop
    static constexpr int RepublishMs = 30000;  // between two discoveries Home Assistant asked for
    static constexpr int HealthMs = 10000;     // PREFIX/bridge/health

    struct Options
    {
        MqttClient::Options broker; // the will is the publisher's own
        QString prefix;
        bool oneEnergizer = false;
        bool discovery = false;
        QString discoveryPrefix = QStringLiteral("homeassistant");
        bool allowZoneCommands = false;
        int zoneTimeoutMs = 5000;
        QString version; // Home Assistant's "origin"
        QString supportUrl;
    };
    static Options siteOptions(const Site& site);

    GatewayMqtt(const Options& options, const QVector<SiteBuses::Link>& links, QObject* parent = nullptr);

    // The energizers served from now on: those already served keep their
    // topics; new ones get discovery, and those gone have their retained
    // messages cleared.
    void setLinks(const QVector<SiteBuses::Link>& links);

    bool setup(QString* error);
    void start();
    // Publishes every energizer and the gateway offline, waits until the
    // broker has them all (StopTimeoutMs at most), disconnects, then emits stopped().
    void stop();

    // Empty for one energizer alone.
    QString bridgeTopic() const;
    // The counts and link counters, as JSON; retained.
    QString healthTopic() const;
    // Retained "device" once the per-entity discovery topics are cleared.
    QString discoveryMarkerTopic() const;
    // Differs per site file, prefix and host.
    static QString clientId(const QString& siteFile, const QString& prefix);
    bool isConnected() const { return m_mqtt.isConnected(); }
    MqttClient::Failure lastFailure() const { return m_mqtt.lastFailure(); }
    // Other gateways seen publishing under the same prefix on this broker.
    int otherGateways() const { return m_otherGateways.size(); }
    // Stable across restarts and distinct for every prefix, link and address.
    static QString nodeId(const QString& prefix, const QString& link, int address);

signals:
    void stopped();
    // A connection to the broker was made or failed; after each try.
    void connectionTried();

private:
    struct Served
    {
        Station* station = nullptr;
        QString link;
        QString topic; // PREFIX/LINK/ADDRESS
        QString displayName;
        QByteArray state; // last state message, empty before the first reply
        ZoneCommands* commands = nullptr;
    };
    struct Outgoing
    {
        QString topic;
        QByteArray payload;
        int qos = 0;
        bool retain = true;
    };

    void brokerConnected();
    void brokerProblem(const QString& reason);
    void messageArrived(const QString& topic, const QByteArray& payload, bool retained);
    QByteArray hello(bool answer) const;
    void helloArrived(const QByteArray& payload, bool retained);
    void zoneCommand(const QString& topic, const QByteArray& payload, bool retained);
    void statusArrived(int index);
    void availabilityChanged(int index);
    void queueAvailability(const Served& served, bool atConnect = false);
    void republishAsked();
    void startDiscovery();
    void discoverySlice();
    DiscoveryDevice discoveryDevice(const Served& served) const;
    DiscoveryOrigin origin() const;
    QString gatewayDeviceId() const;
    void publishHealth();
    void queueDevice(const Served& served);
    // Empties the retained topics of energizers served no more.
    void queueClears();
    qint64 queueGatewayDevice();
    // A topic queued again before it is sent goes once, with its latest payload;
    // a key of its own queues a second message on the same topic.
    void queue(const QString& topic, const QByteArray& payload, int qos, const QString& key = QString());
    void drain();
    void disconnectNow();

    Options m_options;
    MqttClient m_mqtt;
    QVector<Served> m_served;
    QHash<QString, int> m_byTopic; // PREFIX/LINK/ADDRESS -> index
    QHash<QString, QStringList> m_clearAtConnect; // PREFIX/LINK/ADDRESS served no more -> its retained topics
    QHash<QString, Outgoing> m_pending; // by key, usually the topic
    QQueue<QString> m_order;
    QVector<SiteBuses::Link> m_links;
    QTimer m_drainTimer;
    QTimer m_discoveryTimer;
    QTimer m_healthTimer;
    int m_discoveryNext = -1;        // the next energizer of a running discovery; -1: none
    bool m_republishPending = false;
    bool m_migrationChecked = false; // the marker's retained value, if any, has arrived
    bool m_migrated = false;
    QElapsedTimer m_lastRepublish;   // invalid before Home Assistant first asked
    qint64 m_discoveryBytes = 0;
    qint64 m_longestSliceNs = 0;
    qint64 m_longestSliceCpuNs = 0;
    QTimer m_stopTimeout;
    QString m_lastProblem;
    QSet<QString> m_otherGateways; // their client ids
    bool m_stopping = false;
};
