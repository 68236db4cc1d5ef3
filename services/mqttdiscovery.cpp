#include "services/mqttdiscovery.h"

#include "protocol/energizerfields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QString discoveryNodeId(const QString& prefix)
{
    QString id = prefix;
    static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9_-]"));
    id.replace(other, QStringLiteral("_"));
    return id;
}

QVector<MqttMessage> discoveryMessages(const QString& prefix, const QString& discoveryPrefix, bool zoneCommands)
{
    DiscoveryDevice device;
    device.prefix = prefix;
    device.discoveryPrefix = discoveryPrefix;
    device.zoneCommands = zoneCommands;
    return discoveryMessages(device);
}

QVector<MqttMessage> discoveryMessages(const DiscoveryDevice& target)
{
    const QString& prefix = target.prefix;
    const QString& discoveryPrefix = target.discoveryPrefix;
    const bool zoneCommands = target.zoneCommands;
    const QString node = target.nodeId.isEmpty() ? discoveryNodeId(prefix) : target.nodeId;
    const QString stateTopic = prefix + QStringLiteral("/state");
    const QString availabilityTopic = prefix + QStringLiteral("/availability");
    QString deviceName = target.name;
    if (deviceName.isEmpty()) {
        deviceName = prefix;
        if (deviceName.startsWith(QLatin1String("energizer/")))
            deviceName = deviceName.mid(10);
        deviceName = QStringLiteral("Energizer %1").arg(deviceName);
    }
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{node}},
        {QStringLiteral("name"), deviceName},
        {QStringLiteral("model"), QStringLiteral("Electric fence energizer")},
    };
    auto entity = [&](const QString& key, const QString& name) {
        QJsonObject config{
            {QStringLiteral("name"), name},
            {QStringLiteral("unique_id"), node + QLatin1Char('_') + key},
            {QStringLiteral("state_topic"), stateTopic},
            {QStringLiteral("payload_available"), QStringLiteral("online")},
            {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
            {QStringLiteral("device"), device},
        };
        if (target.bridgeTopic.isEmpty()) {
            config.insert(QStringLiteral("availability_topic"), availabilityTopic);
        } else {
            config.insert(QStringLiteral("availability"), QJsonArray{
                QJsonObject{{QStringLiteral("topic"), target.bridgeTopic}},
                QJsonObject{{QStringLiteral("topic"), availabilityTopic}},
            });
            config.insert(QStringLiteral("availability_mode"), QStringLiteral("all"));
        }
        return config;
    };
    QVector<MqttMessage> messages;
    auto add = [&](const QString& component, const QString& key, const QJsonObject& config) {
        messages.append({QStringLiteral("%1/%2/%3/%4/config").arg(discoveryPrefix, component, node, key), json(config)});
    };

    // The field's kind decides the entity; the address and the on-line flag
    // are the device and its availability, not entities.
    for (const StatusField& field : statusFields()) {
        if (field.kind == StatusKind::Address || field.kind == StatusKind::Online)
            continue;
        const QString key = QLatin1String(field.name);
        QJsonObject config = entity(key, QLatin1String(field.label));
        const QString value = QStringLiteral("value_json.") + key;
        QString component = QStringLiteral("sensor");
        QString state = QStringLiteral("{{ %1 }}").arg(value);
        switch (field.kind) {
        case StatusKind::Alarm:
            config.insert(QStringLiteral("device_class"), QStringLiteral("problem"));
            component = QStringLiteral("binary_sensor");
            state = QStringLiteral("{{ 'OFF' if %1 else 'ON' }}").arg(value);
            break;
        case StatusKind::Flag:
        case StatusKind::Input:
            component = QStringLiteral("binary_sensor");
            state = QStringLiteral("{{ 'ON' if %1 else 'OFF' }}").arg(value);
            break;
        case StatusKind::Voltage:
            config.insert(QStringLiteral("device_class"), QStringLiteral("voltage"));
            config.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
            break;
        case StatusKind::Level:
            config.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
            break;
        default:
            break;
        }
        if (*field.unit)
            config.insert(QStringLiteral("unit_of_measurement"), QLatin1String(field.unit));
        config.insert(QStringLiteral("value_template"), state);
        add(component, key, config);
    }

    if (zoneCommands) {
        for (int zone = 1; zone <= 2; ++zone) {
            const QString commandTopic = QStringLiteral("%1/zone/%2/set").arg(prefix).arg(zone);
            const struct { const char* key; const char* name; const char* field; const char* on; const char* off; } switches[] = {
                {"zone%1", "Zone %1", "fenceOn%1", "on", "off"},
                {"zone%1HighVoltage", "Zone %1 high voltage", "fenceHv%1", "hv", "lv"},
            };
            for (const auto& s : switches) {
                const QString key = QString::fromLatin1(s.key).arg(zone);
                QJsonObject config = entity(key, QString::fromLatin1(s.name).arg(zone));
                config.insert(QStringLiteral("command_topic"), commandTopic);
                config.insert(QStringLiteral("payload_on"), QLatin1String(s.on));
                config.insert(QStringLiteral("payload_off"), QLatin1String(s.off));
                config.insert(QStringLiteral("state_on"), QLatin1String(s.on));
                config.insert(QStringLiteral("state_off"), QLatin1String(s.off));
                config.insert(QStringLiteral("value_template"),
                              QStringLiteral("{{ '%1' if value_json.%2 else '%3' }}")
                                  .arg(QLatin1String(s.on), QString::fromLatin1(s.field).arg(zone), QLatin1String(s.off)));
                add(QStringLiteral("switch"), key, config);
            }
        }
    }
    return messages;
}
