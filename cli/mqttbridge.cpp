#include "cli/mqttbridge.h"

#include "cli/mqttdiscovery.h"
#include "device/energizer.h"
#include "device/energizerfields.h"
#include "link/energizerlink.h"
#include "link/station.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {
constexpr int MaxQueuedZoneCommands = 8;
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
        m_zoneSwitch = new ZoneSwitch(m_link.station(), options.zoneTimeoutMs, this);
        connect(m_zoneSwitch, &ZoneSwitch::finished, this, &MqttBridge::zoneCommandFinished);
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
    QJsonObject state = energizerToJson(m_link.energizer());
    state.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    m_lastState = QJsonDocument(state).toJson(QJsonDocument::Compact);
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
    if (!m_zoneSwitch)
        return;
    int zone = 0;
    for (int z = 1; z <= 2; ++z) {
        if (topic == QStringLiteral("%1/zone/%2/set").arg(m_options.prefix).arg(z))
            zone = z;
    }
    if (zone == 0)
        return;
    // A retained command would switch the fence again at every start.
    if (retained) {
        say(QStringLiteral("ignored a retained command on %1").arg(topic));
        return;
    }
    const QString word = QString::fromUtf8(payload).trimmed();
    ZoneSwitch::Action action;
    if (!ZoneSwitch::parseAction(word, &action)) {
        QString shown = word.left(40);
        for (QChar& c : shown) {
            if (!c.isPrint())
                c = QLatin1Char('?');
        }
        say(QStringLiteral("ignored \"%1\" on %2: not on, off, hv or lv").arg(shown, topic));
        return;
    }
    if (m_zoneCommands.size() >= MaxQueuedZoneCommands) {
        say(QStringLiteral("ignored \"%1\" on %2: too many commands waiting").arg(word, topic));
        return;
    }
    m_zoneCommands.enqueue({zone, action});
    runNextZoneCommand();
}

void MqttBridge::runNextZoneCommand()
{
    if (m_zoneSwitch->busy() || m_zoneCommands.isEmpty() || m_stopping)
        return;
    const auto command = m_zoneCommands.dequeue();
    static const char* const words[] = {"on", "off", "hv", "lv"};
    m_runningCommand = QStringLiteral("zone %1 %2").arg(command.first).arg(QLatin1String(words[static_cast<int>(command.second)]));
    m_zoneSwitch->start(command.first, command.second);
}

void MqttBridge::zoneCommandFinished(ZoneSwitch::Outcome outcome)
{
    switch (outcome) {
    case ZoneSwitch::Outcome::Done:
        say(m_runningCommand + QStringLiteral(": done"));
        break;
    case ZoneSwitch::Outcome::NoStatus:
        say(m_runningCommand + QStringLiteral(": no status from the energizer, nothing sent"));
        break;
    case ZoneSwitch::Outcome::NotConfirmed:
        say(m_runningCommand + QStringLiteral(": sent, not confirmed"));
        break;
    }
    runNextZoneCommand();
}

void MqttBridge::say(const QString& line)
{
    std::fprintf(stderr, "mqtt: %s\n", qUtf8Printable(line));
}
