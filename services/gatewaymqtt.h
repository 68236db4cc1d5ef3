#pragma once

#include "services/mqttclient.h"
#include "services/sitebuses.h"

#include <QByteArray>
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
class GatewayMqtt : public QObject
{
    Q_OBJECT
public:
    static constexpr int BatchSize = 200;     // messages per pass
    static constexpr int BatchPauseMs = 10;   // between passes while more wait
    static constexpr int StopTimeoutMs = 3000;

    struct Options
    {
        MqttClient::Options broker; // the will is the publisher's own
        QString prefix;
        bool oneEnergizer = false;
        bool discovery = false;
        QString discoveryPrefix = QStringLiteral("homeassistant");
        bool allowZoneCommands = false;
        int zoneTimeoutMs = 5000;
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
    void queueAvailability(const Served& served);
    void queueDiscovery();
    void queueDiscovery(const Served& served, bool clear);
    void queue(const QString& topic, const QByteArray& payload, int qos);
    void drain();
    void disconnectNow();

    Options m_options;
    MqttClient m_mqtt;
    QVector<Served> m_served;
    QHash<QString, int> m_byTopic; // PREFIX/LINK/ADDRESS -> index
    QHash<QString, Outgoing> m_pending;
    QQueue<QString> m_order;
    QTimer m_drainTimer;
    QTimer m_stopTimeout;
    QString m_lastProblem;
    QSet<QString> m_otherGateways; // their client ids
    bool m_stopping = false;
};
