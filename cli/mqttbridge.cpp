#include "cli/mqttbridge.h"

#include "services/mqttdiscovery.h"
#include "services/mqttstate.h"
#include "services/zonecommands.h"
#include "protocol/energizer.h"
#include "link/energizerlink.h"
#include "link/station.h"

#include <QDateTime>

#include <cstdio>

namespace {
constexpr int StopTimeoutMs = 2000;
}

MqttBridge::MqttBridge(EnergizerLink& link, QObject* parent)
    : QObject(parent)
    , m_link(link)
{
    connect(&m_pollTimer, &QTimer::timeout, this, &MqttBridge::poll);
    m_silence.setSingleShot(true);
    m_silence.setInterval(SilenceMs);
    connect(&m_silence, &QTimer::timeout, this, &MqttBridge::silent);
    m_stopTimeout.setSingleShot(true);
    connect(&m_stopTimeout, &QTimer::timeout, this, &MqttBridge::stopped);

    connect(&m_link, &EnergizerLink::statusReceived, this, &MqttBridge::statusArrived);
    connect(&m_link, &EnergizerLink::wentOffline, this, [this] { setAvailability(Availability::Offline); });
    connect(&m_mqtt, &MqttClient::connected, this, &MqttBridge::brokerConnected);
    connect(&m_mqtt, &MqttClient::problem, this, &MqttBridge::brokerProblem);
    connect(&m_mqtt, &MqttClient::messageReceived, this, &MqttBridge::messageArrived);
    connect(&m_mqtt, &MqttClient::disconnected, this, [this] {
        if (m_stopping) {
            m_stopTimeout.stop();
            emit stopped();
        }
    });
}

bool MqttBridge::setup(const Options& options, QString* error)
{
    m_options = options;
    m_options.broker.willTopic = options.prefix + QStringLiteral("/availability");
    m_options.broker.willPayload = QByteArrayLiteral("offline");
    m_pollTimer.setInterval(options.intervalMs);
    if (options.allowZoneCommands) {
        m_zoneCommands = new ZoneCommands(m_link.station(), options.zoneTimeoutMs, [this](const QString& line) { say(line); }, this);
    }
    return m_mqtt.setup(m_options.broker, error);
}

void MqttBridge::start()
{
    m_silence.start();
    m_pollTimer.start();
    poll();
    m_mqtt.connectToBroker();
}

void MqttBridge::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_pollTimer.stop();
    m_silence.stop();
    if (m_zoneCommands)
        m_zoneCommands->stop();
    if (m_mqtt.isConnected()) {
        // A clean disconnect sends no will, so say it ourselves first.
        m_mqtt.publish(m_options.prefix + QStringLiteral("/availability"), QByteArrayLiteral("offline"), 1, true);
        m_stopTimeout.start(StopTimeoutMs);
    }
    m_mqtt.disconnectFromBroker();
}

void MqttBridge::poll()
{
    m_link.pollStatus();
}

void MqttBridge::silent()
{
    setAvailability(Availability::Offline);
    m_silence.start();
}

void MqttBridge::statusArrived()
{
    m_silence.start();
    setAvailability(Availability::Online);
    publishState();
}

void MqttBridge::setAvailability(Availability availability)
{
    if (availability == m_availability || m_stopping)
        return;
    const bool first = m_availability == Availability::Unknown;
    m_availability = availability;
    if (availability == Availability::Online)
        say(QStringLiteral("energizer answers"));
    else
        say(first ? QStringLiteral("energizer does not answer") : QStringLiteral("energizer stopped answering"));
    publishAvailability();
}

void MqttBridge::publishAvailability()
{
    if (m_availability == Availability::Unknown)
        return;
    m_mqtt.publish(m_options.prefix + QStringLiteral("/availability"),
                   m_availability == Availability::Online ? QByteArrayLiteral("online") : QByteArrayLiteral("offline"),
                   1, true);
}

void MqttBridge::publishState()
{
    m_lastState = energizerStateMessage(m_link.energizer(), QDateTime::currentDateTimeUtc());
    // Sent every poll, so a lost one is replaced within a second: QoS 0.
    m_mqtt.publish(m_options.prefix + QStringLiteral("/state"), m_lastState, 0, true);
}

void MqttBridge::brokerConnected()
{
    m_lastProblem.clear();
    say(QStringLiteral("connected to broker %1:%2").arg(m_options.broker.host).arg(m_options.broker.port));
    // Before any publication, so whoever sees our state can command us.
    if (m_options.allowZoneCommands) {
        for (int zone = 1; zone <= 2; ++zone)
            m_mqtt.subscribe(QStringLiteral("%1/zone/%2/set").arg(m_options.prefix).arg(zone), 1);
    }
    if (m_options.discovery) {
        for (const MqttMessage& m : discoveryMessages(m_options.prefix, m_options.discoveryPrefix, m_options.allowZoneCommands))
            m_mqtt.publish(m.topic, m.payload, 1, true);
    }
    // The broker may have restarted without its retained messages.
    publishAvailability();
    if (!m_lastState.isEmpty())
        m_mqtt.publish(m_options.prefix + QStringLiteral("/state"), m_lastState, 0, true);
}

void MqttBridge::brokerProblem(const QString& reason)
{
    // Retries repeat the same reason; say it once.
    if (reason == m_lastProblem || m_stopping)
        return;
    m_lastProblem = reason;
    say(reason);
}

void MqttBridge::messageArrived(const QString& topic, const QByteArray& payload, bool retained)
{
    if (!m_zoneCommands)
        return;
    for (int zone = 1; zone <= 2; ++zone) {
        if (topic == QStringLiteral("%1/zone/%2/set").arg(m_options.prefix).arg(zone))
            m_zoneCommands->take(zone, topic, payload, retained);
    }
}

void MqttBridge::say(const QString& line)
{
    std::fprintf(stderr, "mqtt: %s\n", qUtf8Printable(line));
}

#include "moc_mqttbridge.cpp"
