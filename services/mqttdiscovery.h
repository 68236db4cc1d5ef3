#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

struct MqttMessage
{
    QString topic;
    QByteArray payload;
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
};

// Home Assistant discovery configurations for one energizer: one entity per
// status field, all of one device; with zoneCommands also a switch per zone
// and per zone's high voltage, commanding PREFIX/zone/N/set.
QVector<MqttMessage> discoveryMessages(const DiscoveryDevice& device);
QVector<MqttMessage> discoveryMessages(const QString& prefix, const QString& discoveryPrefix, bool zoneCommands);

// The prefix as a discovery node id ([A-Za-z0-9_-] only).
QString discoveryNodeId(const QString& prefix);
