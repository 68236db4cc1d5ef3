#pragma once

#include "services/mqttclient.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class EnergizerLink;
class ZoneCommands;

// Polls one energizer and mirrors it on an MQTT broker: the status as
// retained JSON on PREFIX/state, PREFIX/availability online/offline, and
// optionally zone commands from PREFIX/zone/N/set. The broker and the
// energizer fail independently; each is retried without stopping the other.
class MqttBridge : public QObject
{
    Q_OBJECT
public:
    static constexpr int SilenceMs = 3000; // no status reply this long: offline

    struct Options
    {
        MqttClient::Options broker;
        QString prefix;
        int intervalMs = 1000;
        bool discovery = false;
        QString discoveryPrefix;
        bool allowZoneCommands = false;
        int zoneTimeoutMs = 5000;
    };

    MqttBridge(EnergizerLink& link, QObject* parent = nullptr);

    bool setup(const Options& options, QString* error);
    void start();
    // Publishes offline, disconnects cleanly, then emits stopped().
    void stop();

signals:
    void stopped();

private:
    enum class Availability { Unknown, Online, Offline };

    void poll();
    void silent();
    void statusArrived();
    void setAvailability(Availability availability);
    void publishAvailability();
    void publishState();
    void brokerConnected();
    void brokerProblem(const QString& reason);
    void messageArrived(const QString& topic, const QByteArray& payload, bool retained);
    void say(const QString& line);

    EnergizerLink& m_link;
    Options m_options;
    MqttClient m_mqtt;
    ZoneCommands* m_zoneCommands = nullptr;
    QTimer m_pollTimer;
    QTimer m_silence;
    QTimer m_stopTimeout;
    Availability m_availability = Availability::Unknown;
    QByteArray m_lastState;
    QString m_lastProblem;
    bool m_stopping = false;
};
