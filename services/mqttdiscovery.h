#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

struct MqttMessage
{
    QString topic;
    QByteArray payload;
};

// Who publishes: Home Assistant's "origin" of every device and its software version.
struct DiscoveryOrigin
{
    QString name;
    QString version;
    QString supportUrl; // left out when empty
};

// One energizer as Home Assistant sees it. Its state, availability and zone
// commands are under prefix.
struct DiscoveryDevice
{
    QString prefix;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    bool zoneCommands = false;
    QString nodeId; // empty: discoveryNodeId(prefix)
    QString name;   // empty: "Energizer " and the prefix's last part
    // A gateway's own availability topic: both must say online
    // (availability_mode all). Empty: the energizer's alone.
    QString bridgeTopic;
    QString viaDevice; // the publisher's own device; empty: none
    DiscoveryOrigin origin;
};

// The publisher as a device of its own, with its health as diagnostic entities.
struct DiscoveryGateway
{
    QString id; // [A-Za-z0-9_-]
    QString name;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    QString bridgeTopic; // online/offline; empty: no connectivity entity
    QString healthTopic; // gatewayHealth() JSON
    QStringList links;
    DiscoveryOrigin origin;
};

// The one retained device-based configuration of an energizer,
// DISCOVERY_PREFIX/device/energizer-NODE/config: one component per status field and,
// with zoneCommands, a switch per zone and per zone's high voltage,
// commanding PREFIX/zone/N/set.
MqttMessage deviceDiscovery(const DiscoveryDevice& device);
// The per-entity topics the same energizer had before device-based discovery
// (DISCOVERY_PREFIX/COMPONENT/NODE/KEY/config), to be cleared once.
QStringList legacyDiscoveryTopics(const DiscoveryDevice& device);
// Asks Home Assistant to keep an entity of a legacy topic (its id and history)
// for the device-based configuration that follows.
QByteArray legacyMigrationPayload();

MqttMessage gatewayDiscovery(const DiscoveryGateway& gateway);
// The health payload gatewayDiscovery()'s entities read.
struct LinkHealth
{
    QString name;
    quint64 requests = 0;
    quint64 timeouts = 0;
};
QByteArray gatewayHealth(int online, int offline, const QVector<LinkHealth>& links);

// The prefix as a discovery node id ([A-Za-z0-9_-] only).
QString discoveryNodeId(const QString& prefix);
