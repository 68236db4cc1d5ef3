#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

struct MqttMessage
{
    QString topic;
    QByteArray payload;
};

// Home Assistant discovery configurations for one energizer whose state and
// availability the bridge publishes under prefix: one entity per status
// field, all of one device; with zoneCommands also a switch per zone and
// per zone's high voltage, commanding PREFIX/zone/N/set.
QVector<MqttMessage> discoveryMessages(const QString& prefix, const QString& discoveryPrefix, bool zoneCommands);

// The prefix as a discovery node id ([A-Za-z0-9_-] only).
QString discoveryNodeId(const QString& prefix);
