#include "services/gatewaymqtt.h"

#include "services/brokersettings.h"
#include "services/sitebuses.h"
#include "link/energizerbus.h"
#include "link/station.h"
#include "services/mqttdiscovery.h"
#include "services/mqttstate.h"
#include "services/zonecommands.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <ctime>

namespace {
const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");
const QByteArray DeviceDiscovery = QByteArrayLiteral("device");

// This thread's CPU time: a slice's wall time also counts the time other processes had the core.
qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}
}

GatewayMqtt::Options GatewayMqtt::siteOptions(const Site& s)
{
    const GatewayOptions& site = s.gateway;
    Options options;
    options.broker.host = site.mqttHost;
    options.broker.port = site.mqttPort;
    options.broker.tls = site.mqttTls;
    options.broker.caFile = site.mqttCa;
    options.broker.certFile = site.mqttCert;
    options.broker.keyFile = site.mqttKey;
    options.broker.clientId = clientId(s.path, site.topicPrefix);
    options.broker.username = site.username;
    options.broker.password = site.password;
    options.prefix = site.topicPrefix;
    options.supportUrl = site.supportUrl;
    options.discovery = site.discovery;
    options.discoveryPrefix = site.discoveryPrefix;
    options.allowZoneCommands = site.allowZoneCommands;
    return options;
}

GatewayMqtt::GatewayMqtt(const Options& options, const QVector<SiteBuses::Link>& links, QObject* parent)
    : QObject(parent)
    , m_options(options)
{
    setLinks(links);
    m_drainTimer.setSingleShot(true);
    connect(&m_drainTimer, &QTimer::timeout, this, &GatewayMqtt::drain);
    m_discoveryTimer.setSingleShot(true);
    connect(&m_discoveryTimer, &QTimer::timeout, this, [this] {
        if (m_discoveryNext >= 0)
            discoverySlice();
        else
            startDiscovery();
    });
    connect(&m_healthTimer, &QTimer::timeout, this, &GatewayMqtt::publishHealth);
    m_stopTimeout.setSingleShot(true);
    connect(&m_stopTimeout, &QTimer::timeout, this, [this] {
        qCWarning(lcMqtt, "the broker did not acknowledge every offline within %d ms", StopTimeoutMs);
        emit stopped();
    });
    connect(&m_mqtt, &MqttClient::connected, this, &GatewayMqtt::brokerConnected);
    connect(&m_mqtt, &MqttClient::problem, this, &GatewayMqtt::brokerProblem);
    connect(&m_mqtt, &MqttClient::messageReceived, this, &GatewayMqtt::messageArrived);
    connect(&m_mqtt, &MqttClient::acknowledged, this, [this] {
        if (m_stopping)
            disconnectNow();
    });
    connect(&m_mqtt, &MqttClient::disconnected, this, [this] {
        if (m_stopping && m_stopTimeout.isActive()) {
            m_stopTimeout.stop();
            emit stopped();
        }
    });
}

void GatewayMqtt::setLinks(const QVector<SiteBuses::Link>& links)
{
    m_links = links;
    QHash<QString, Served> before;
    for (const Served& served : qAsConst(m_served)) {
        disconnect(served.station, nullptr, this, nullptr);
        before.insert(served.topic, served);
    }
    m_served.clear();
    m_byTopic.clear();
    for (const SiteBuses::Link& link : links) {
        for (Station* station : link.bus->stations()) {
            const int index = m_served.size();
            const QString who = QStringLiteral("%1/%2").arg(link.name).arg(station->address());
            Served served;
            served.station = station;
            served.link = link.name;
            served.topic = m_options.oneEnergizer ? m_options.prefix : m_options.prefix + QLatin1Char('/') + who;
            served.displayName = link.displayNames.value(station->address());
            // One on a re-created link keeps only its last state; its commands went with the old station.
            const Served old = before.take(served.topic);
            served.state = old.state;
            m_clearAtConnect.remove(served.topic);
            if (m_options.allowZoneCommands)
                served.commands = ZoneCommands::of(*station, m_options.zoneTimeoutMs, m_options.oneEnergizer ? QString() : who);
            m_byTopic.insert(served.topic, index);
            m_served.append(served);
            connect(station, &Station::statusReceived, this, [this, index] { statusArrived(index); });
            connect(station, &Station::availabilityChanged, this, [this, index] { availabilityChanged(index); });
            if (old.station != station && m_options.discovery && m_discoveryNext < 0)
                queueDevice(served);
        }
    }
    // Served no more: their retained messages go, so nothing shows them as
    // still there; with the broker away, at the next connection.
    for (const Served& gone : qAsConst(before)) {
        QStringList topics{gone.topic + QStringLiteral("/state"), gone.topic + QStringLiteral("/availability")};
        if (m_options.discovery)
            topics << deviceDiscovery(discoveryDevice(gone)).topic;
        m_clearAtConnect.insert(gone.topic, topics);
    }
    if (m_mqtt.isConnected())
        queueClears();
    // Its links are the gateway device's entities.
    if (m_options.discovery && m_discoveryNext < 0 && m_migrationChecked)
        queueGatewayDevice();
}

QString GatewayMqtt::bridgeTopic() const
{
    return m_options.oneEnergizer ? QString() : m_options.prefix + QStringLiteral("/bridge/state");
}

QString GatewayMqtt::healthTopic() const
{
    return m_options.prefix + QStringLiteral("/bridge/health");
}

QString GatewayMqtt::discoveryMarkerTopic() const
{
    return m_options.prefix + QStringLiteral("/bridge/discovery");
}

QString GatewayMqtt::gatewayDeviceId() const
{
    return discoveryNodeId(m_options.prefix) + QStringLiteral("_gateway");
}

QString GatewayMqtt::clientId(const QString& siteFile, const QString& prefix)
{
    return hostClientId(QStringLiteral("energizer-gateway"), siteFile + QLatin1Char('\n') + prefix);
}

QString GatewayMqtt::nodeId(const QString& prefix, const QString& link, int address)
{
    const QString raw = QStringLiteral("%1/%2/%3").arg(prefix, link).arg(address);
    QString id = discoveryNodeId(QStringLiteral("%1_%2_%3").arg(prefix, link).arg(address));
    // Replaced characters could make two links one id: a hash of the real names tells them apart.
    if (discoveryNodeId(prefix) != prefix || discoveryNodeId(link) != link || prefix.contains(QLatin1Char('_')) || link.contains(QLatin1Char('_')))
        id += QLatin1Char('_') + QString::fromLatin1(QCryptographicHash::hash(raw.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
    return id;
}

bool GatewayMqtt::setup(QString* error)
{
    MqttClient::Options broker = m_options.broker;
    broker.willTopic = m_options.oneEnergizer ? m_options.prefix + QStringLiteral("/availability") : bridgeTopic();
    broker.willPayload = Offline;
    return m_mqtt.setup(broker, error);
}

void GatewayMqtt::start()
{
    m_mqtt.connectToBroker();
}

void GatewayMqtt::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_drainTimer.stop();
    m_discoveryTimer.stop();
    m_healthTimer.stop();
    m_pending.clear();
    m_order.clear();
    for (Served& served : m_served) {
        if (served.commands)
            served.commands->stop();
    }
    m_stopTimeout.start(StopTimeoutMs);
    if (!m_mqtt.isConnected()) {
        disconnectNow();
        return;
    }
    // A clean disconnect sends no will, so say it ourselves first, and
    // disconnect only once the broker has it all: the library holds QoS 1
    // messages back while too many are in flight, and a DISCONNECT would
    // overtake them.
    for (const Served& served : qAsConst(m_served))
        m_mqtt.publish(served.topic + QStringLiteral("/availability"), Offline, 1, true);
    if (!bridgeTopic().isEmpty())
        m_mqtt.publish(bridgeTopic(), Offline, 1, true);
    if (!m_mqtt.hasUnacknowledged())
        disconnectNow();
}

void GatewayMqtt::disconnectNow()
{
    m_mqtt.disconnectFromBroker();
}

void GatewayMqtt::brokerConnected()
{
    m_lastProblem.clear();
    emit connectionTried();
    qCInfo(lcMqtt, "connected to broker %s:%d", qUtf8Printable(m_options.broker.host), m_options.broker.port);
    // Before any publication, so whoever sees our state can command us.
    if (m_options.allowZoneCommands)
        m_mqtt.subscribe(m_options.prefix + (m_options.oneEnergizer ? QStringLiteral("/zone/+/set") : QStringLiteral("/+/+/zone/+/set")), 1);
    if (!bridgeTopic().isEmpty()) {
        m_mqtt.publish(bridgeTopic(), Online, 1, true);
        // Another gateway on this prefix answers our hello, and we answer its.
        m_mqtt.subscribe(m_options.prefix + QStringLiteral("/bridge/hello"), 1);
        m_mqtt.publish(m_options.prefix + QStringLiteral("/bridge/hello"), hello(false), 1, false);
    }
    // The broker may have restarted without its retained messages: all again,
    // availability first, so that no energizer reads online from an earlier run.
    m_pending.clear();
    m_order.clear();
    for (const Served& served : qAsConst(m_served))
        queueAvailability(served, true);
    queueClears();
    for (const Served& served : qAsConst(m_served)) {
        if (!served.state.isEmpty())
            queue(served.topic + QStringLiteral("/state"), served.state, 0);
    }
    publishHealth();
    m_healthTimer.start(HealthMs);
    m_discoveryTimer.stop();
    m_discoveryNext = -1;
    m_republishPending = false;
    if (m_options.discovery) {
        m_mqtt.subscribe(m_options.discoveryPrefix + QStringLiteral("/status"), 1);
        // Our own live message on the marker's topic comes back after its
        // retained value, if the broker has one: then we know whether the
        // per-entity topics were cleared.
        m_migrationChecked = false;
        m_migrated = false;
        m_mqtt.subscribe(discoveryMarkerTopic(), 1);
        m_mqtt.publish(discoveryMarkerTopic(), QByteArray(), 1, false);
    }
}

void GatewayMqtt::brokerProblem(const QString& reason)
{
    if (m_stopping)
        return;
    emit connectionTried();
    // Retries repeat the same reason, a TLS refusal with varying details; say it once.
    const MqttClient::Failure failure = m_mqtt.lastFailure();
    const QString key = failure == MqttClient::Failure::Unreachable ? reason : MqttClient::failureName(failure);
    if (key == m_lastProblem)
        return;
    m_lastProblem = key;
    qCWarning(lcMqtt, "%s", qUtf8Printable(reason));
}

void GatewayMqtt::messageArrived(const QString& topic, const QByteArray& payload, bool retained)
{
    if (m_stopping)
        return;
    if (!bridgeTopic().isEmpty() && topic == m_options.prefix + QStringLiteral("/bridge/hello")) {
        helloArrived(payload, retained);
        return;
    }
    if (m_options.discovery && topic == m_options.discoveryPrefix + QStringLiteral("/status")) {
        // Home Assistant restarted and forgot its devices.
        if (payload.trimmed() == Online)
            republishAsked();
        return;
    }
    if (m_options.discovery && topic == discoveryMarkerTopic()) {
        if (retained) {
            m_migrated = payload == DeviceDiscovery;
        } else if (!m_migrationChecked) {
            m_migrationChecked = true;
            startDiscovery();
        }
        return;
    }
    if (m_options.allowZoneCommands)
        zoneCommand(topic, payload, retained);
}

QByteArray GatewayMqtt::hello(bool answer) const
{
    QJsonObject o{{QStringLiteral("client_id"), m_options.broker.clientId}};
    if (answer)
        o.insert(QStringLiteral("answer"), true);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// Two gateways on one prefix overwrite each other's topics; each is told of
// the other, and only hellos are answered, so the exchange ends.
void GatewayMqtt::helloArrived(const QByteArray& payload, bool retained)
{
    const QJsonObject o = QJsonDocument::fromJson(payload).object();
    const QString id = o.value(QStringLiteral("client_id")).toString();
    if (retained || id.isEmpty() || id == m_options.broker.clientId)
        return;
    if (!m_otherGateways.contains(id)) {
        m_otherGateways.insert(id);
        qCWarning(lcMqtt, "another gateway (client id %s) publishes under %s on this broker: give each site a topic of its own",
                  qUtf8Printable(id), qUtf8Printable(m_options.prefix));
    }
    if (!o.value(QStringLiteral("answer")).toBool())
        m_mqtt.publish(m_options.prefix + QStringLiteral("/bridge/hello"), hello(true), 1, false);
}

void GatewayMqtt::zoneCommand(const QString& topic, const QByteArray& payload, bool retained)
{
    // ENERGIZER/zone/N/set, ENERGIZER being an energizer's own topic.
    const QString zonePart = QStringLiteral("/zone/");
    const int at = topic.lastIndexOf(zonePart);
    if (at < 0 || !topic.endsWith(QLatin1String("/set")))
        return;
    const auto found = m_byTopic.constFind(topic.left(at));
    if (found == m_byTopic.constEnd()) {
        qCWarning(lcMqtt, "ignored a command on %s: no such energizer", qUtf8Printable(topic));
        return;
    }
    const QStringRef number = topic.midRef(at + zonePart.size(), topic.size() - at - zonePart.size() - 4);
    const int zone = number == QLatin1String("1") ? 1 : number == QLatin1String("2") ? 2 : 0;
    if (zone == 0) {
        qCWarning(lcMqtt, "ignored a command on %s: zones are 1 and 2", qUtf8Printable(topic));
        return;
    }
    m_served[*found].commands->take(zone, topic, payload, retained);
}

void GatewayMqtt::statusArrived(int index)
{
    Served& served = m_served[index];
    served.state = energizerStateMessage(served.station->energizer(), QDateTime::currentDateTimeUtc());
    // Sent after every reply, so a lost one is replaced within an interval: QoS 0.
    queue(served.topic + QStringLiteral("/state"), served.state, 0);
}

void GatewayMqtt::availabilityChanged(int index)
{
    queueAvailability(m_served[index]);
}

void GatewayMqtt::queueAvailability(const Served& served, bool atConnect)
{
    const Station::Availability a = served.station->availability();
    if (a == Station::Availability::Unknown && !atConnect)
        return;
    queue(served.topic + QStringLiteral("/availability"), a == Station::Availability::Online ? Online : Offline, 1);
}

void GatewayMqtt::republishAsked()
{
    // Twenty "online" in a row are one republish, and never more than one per RepublishMs.
    if (m_discoveryNext >= 0 || !m_migrationChecked || m_discoveryTimer.isActive()) {
        m_republishPending = true;
        return;
    }
    if (m_lastRepublish.isValid() && m_lastRepublish.elapsed() < RepublishMs) {
        m_discoveryTimer.start(int(RepublishMs - m_lastRepublish.elapsed()));
        return;
    }
    m_lastRepublish.start();
    startDiscovery();
}

DiscoveryOrigin GatewayMqtt::origin() const
{
    return {m_options.oneEnergizer ? QStringLiteral("energizer-cli") : QStringLiteral("energizer-gateway"), m_options.version,
            m_options.supportUrl};
}

DiscoveryDevice GatewayMqtt::discoveryDevice(const Served& served) const
{
    DiscoveryDevice device;
    device.prefix = served.topic;
    device.discoveryPrefix = m_options.discoveryPrefix;
    device.zoneCommands = m_options.allowZoneCommands;
    device.bridgeTopic = bridgeTopic();
    device.name = served.displayName;
    device.viaDevice = gatewayDeviceId();
    device.origin = origin();
    // One energizer alone keeps the prefix's node id and name.
    if (!m_options.oneEnergizer) {
        device.nodeId = nodeId(m_options.prefix, served.link, served.station->address());
        if (device.name.isEmpty())
            device.name = QStringLiteral("Energizer %1 %2").arg(served.link).arg(served.station->address());
    }
    return device;
}

void GatewayMqtt::startDiscovery()
{
    if (!m_mqtt.isConnected() || m_stopping)
        return;
    m_republishPending = false;
    m_discoveryBytes = queueGatewayDevice();
    m_longestSliceNs = 0;
    m_longestSliceCpuNs = 0;
    m_discoveryNext = 0;
    discoverySlice();
}

// Its size in bytes.
qint64 GatewayMqtt::queueGatewayDevice()
{
    DiscoveryGateway gateway;
    gateway.id = gatewayDeviceId();
    gateway.name = QStringLiteral("%1 %2").arg(m_options.oneEnergizer ? QStringLiteral("Energizer bridge") : QStringLiteral("Energizer gateway"), m_options.prefix);
    gateway.discoveryPrefix = m_options.discoveryPrefix;
    gateway.bridgeTopic = bridgeTopic();
    gateway.healthTopic = healthTopic();
    for (const SiteBuses::Link& link : qAsConst(m_links))
        gateway.links << link.name;
    gateway.origin = origin();
    const MqttMessage own = gatewayDiscovery(gateway);
    queue(own.topic, own.payload, 1);
    return own.payload.size();
}

void GatewayMqtt::discoverySlice()
{
    QElapsedTimer slice;
    slice.start();
    const qint64 cpuAtStart = threadCpuNs();
    // Waits while the queue is full, so that memory holds one batch, not the whole site.
    while (m_discoveryNext < m_served.size() && m_order.size() < BatchSize && slice.elapsed() < SliceMs && m_mqtt.isConnected()) {
        const DiscoveryDevice device = discoveryDevice(m_served[m_discoveryNext++]);
        // Before the per-entity topics are cleared, Home Assistant is told to
        // keep their entities for the device that follows.
        const QStringList legacy = m_migrated ? QStringList() : legacyDiscoveryTopics(device);
        for (const QString& topic : legacy)
            queue(topic, legacyMigrationPayload(), 1);
        const MqttMessage m = deviceDiscovery(device);
        queue(m.topic, m.payload, 1);
        m_discoveryBytes += m.payload.size();
        // Then cleared: a key of its own keeps the migration from being overwritten in the queue.
        for (const QString& topic : legacy)
            queue(topic, QByteArray(), 1, topic + QStringLiteral(" cleared"));
    }
    m_longestSliceNs = qMax(m_longestSliceNs, slice.nsecsElapsed());
    m_longestSliceCpuNs = qMax(m_longestSliceCpuNs, threadCpuNs() - cpuAtStart);
    if (!m_mqtt.isConnected())
        return;
    if (m_discoveryNext < m_served.size()) {
        m_discoveryTimer.start(BatchPauseMs);
        return;
    }
    qCDebug(lcMqtt, "discovery: %d energizers, %lld bytes, longest slice %.2f ms (%.2f ms of CPU)", int(m_served.size()),
            m_discoveryBytes, m_longestSliceNs / 1e6, m_longestSliceCpuNs / 1e6);
    m_discoveryNext = -1;
    if (!m_migrated) {
        m_migrated = true;
        queue(discoveryMarkerTopic(), DeviceDiscovery, 1);
    }
    if (m_republishPending) {
        m_republishPending = false;
        republishAsked();
    }
}

// Cleared: an empty retained message, which Home Assistant takes as a removal.
void GatewayMqtt::queueClears()
{
    for (const QStringList& topics : qAsConst(m_clearAtConnect)) {
        for (const QString& topic : topics)
            queue(topic, QByteArray(), 1);
    }
    m_clearAtConnect.clear();
}

void GatewayMqtt::queueDevice(const Served& served)
{
    const MqttMessage m = deviceDiscovery(discoveryDevice(served));
    queue(m.topic, m.payload, 1);
}

void GatewayMqtt::publishHealth()
{
    int online = 0;
    int offline = 0;
    QVector<LinkHealth> links;
    for (const SiteBuses::Link& link : qAsConst(m_links))
        links.append({link.name, link.bus->requestsTotal(), link.bus->timeoutsTotal()});
    for (const Served& served : qAsConst(m_served))
        ++(served.station->isOnline() ? online : offline);
    queue(healthTopic(), gatewayHealth(online, offline, links), 0);
}

void GatewayMqtt::queue(const QString& topic, const QByteArray& payload, int qos, const QString& key)
{
    // Everything is queued again at the next connection anyway.
    if (!m_mqtt.isConnected() || m_stopping)
        return;
    const QString& k = key.isEmpty() ? topic : key;
    auto it = m_pending.find(k);
    if (it == m_pending.end()) {
        m_pending.insert(k, {topic, payload, qos, true});
        m_order.enqueue(k);
    } else {
        it->payload = payload;
        it->qos = qMax(it->qos, qos);
    }
    if (!m_drainTimer.isActive())
        m_drainTimer.start(0);
}

void GatewayMqtt::drain()
{
    QElapsedTimer pass;
    pass.start();
    for (int n = 0; n < BatchSize && !m_order.isEmpty() && m_mqtt.isConnected() && pass.elapsed() < SliceMs; ++n) {
        const Outgoing out = m_pending.take(m_order.dequeue());
        m_mqtt.publish(out.topic, out.payload, out.qos, out.retain);
    }
    if (!m_order.isEmpty() && m_mqtt.isConnected())
        m_drainTimer.start(BatchPauseMs);
}

#include "moc_gatewaymqtt.cpp"
