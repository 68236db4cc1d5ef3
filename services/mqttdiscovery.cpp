#include "services/mqttdiscovery.h"

#include "protocol/energizerfields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

// Keys are Home Assistant's documented abbreviations, to keep one energizer's
// configuration well under 10 kB.
namespace {

const QString Platform = QStringLiteral("p");
const QString Name = QStringLiteral("name");
const QString UniqueId = QStringLiteral("uniq_id");
const QString ValueTemplate = QStringLiteral("val_tpl");
const QString DeviceClass = QStringLiteral("dev_cla");
const QString StateClass = QStringLiteral("stat_cla");
const QString StateTopic = QStringLiteral("stat_t");
const QString Category = QStringLiteral("ent_cat");
const QString Diagnostic = QStringLiteral("diagnostic");
const QString Measurement = QStringLiteral("measurement");
const QString BinarySensor = QStringLiteral("binary_sensor");
const QString Sensor = QStringLiteral("sensor");

// The fence condition's texts as the energizer's status decodes them.
const QStringList ConditionTexts{QStringLiteral("Good"), QStringLiteral("Check"), QStringLiteral("Bad")};

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject origin(const DiscoveryOrigin& o)
{
    QJsonObject object{{Name, o.name}, {QStringLiteral("sw"), o.version}};
    if (!o.supportUrl.isEmpty())
        object.insert(QStringLiteral("url"), o.supportUrl);
    return object;
}

struct Component
{
    QString key; // the old per-entity object id, and the unique id's suffix
    QJsonObject config; // "p" included
};

QString nodeOf(const DiscoveryDevice& target)
{
    return target.nodeId.isEmpty() ? discoveryNodeId(target.prefix) : target.nodeId;
}

// Every entity of one energizer. Unique ids are NODE_KEY, as they were with
// one message per entity, so Home Assistant keeps entity ids and history.
QVector<Component> components(const DiscoveryDevice& target)
{
    const QString node = nodeOf(target);
    QVector<Component> list;
    auto add = [&](const QString& key, const QString& platform, const QString& name, QJsonObject config) {
        config.insert(Platform, platform);
        config.insert(Name, name);
        config.insert(UniqueId, node + QLatin1Char('_') + key);
        list.append({key, config});
    };

    // The field's kind decides the entity; the address and the on-line flag
    // are the device and its availability, not entities. What the metrics
    // export is the energizer's face; the rest is diagnostic.
    for (const StatusField& field : statusFields()) {
        if (field.kind == StatusKind::Address || field.kind == StatusKind::Online)
            continue;
        const QString key = QLatin1String(field.name);
        const QString value = QStringLiteral("value_json.") + key;
        QJsonObject config{{ValueTemplate, QStringLiteral("{{ %1 }}").arg(value)}};
        QString platform = Sensor;
        switch (field.kind) {
        case StatusKind::Alarm:
            platform = BinarySensor;
            config.insert(DeviceClass, QStringLiteral("problem"));
            config.insert(ValueTemplate, QStringLiteral("{{ 'OFF' if %1 else 'ON' }}").arg(value));
            break;
        case StatusKind::Flag:
        case StatusKind::Input:
            platform = BinarySensor;
            config.insert(ValueTemplate, QStringLiteral("{{ 'ON' if %1 else 'OFF' }}").arg(value));
            break;
        case StatusKind::Voltage:
            config.insert(DeviceClass, QStringLiteral("voltage"));
            config.insert(StateClass, Measurement);
            config.insert(QStringLiteral("unit_of_meas"), QLatin1String(field.unit));
            // Fence voltages are thousands of volts; battery and supply need a tenth.
            config.insert(QStringLiteral("sug_dsp_prc"), field.zone == 0 ? 1 : 0);
            break;
        case StatusKind::Level:
            config.insert(StateClass, Measurement);
            break;
        case StatusKind::Condition:
            // An unknown text reads "None": the state is unknown, not an error.
            config.insert(DeviceClass, QStringLiteral("enum"));
            config.insert(QStringLiteral("ops"), QJsonArray::fromStringList(ConditionTexts));
            config.insert(ValueTemplate, QStringLiteral("{{ %1 if %1 in ['%2'] else None }}")
                                             .arg(value, ConditionTexts.join(QStringLiteral("','"))));
            break;
        default:
            break;
        }
        if (!field.metric && !field.alarm && field.kind != StatusKind::Level && field.kind != StatusKind::Condition)
            config.insert(Category, Diagnostic);
        add(key, platform, QLatin1String(field.label), config);
    }

    if (target.zoneCommands) {
        for (int zone = 1; zone <= 2; ++zone) {
            const QString commandTopic = QStringLiteral("%1/zone/%2/set").arg(target.prefix).arg(zone);
            const struct { const char* key; const char* name; const char* field; const char* on; const char* off; } switches[] = {
                {"zone%1", "Zone %1", "fenceOn%1", "on", "off"},
                {"zone%1HighVoltage", "Zone %1 high voltage", "fenceHv%1", "hv", "lv"},
            };
            for (const auto& s : switches) {
                const QString on = QLatin1String(s.on);
                const QString off = QLatin1String(s.off);
                add(QString::fromLatin1(s.key).arg(zone), QStringLiteral("switch"), QString::fromLatin1(s.name).arg(zone),
                    QJsonObject{
                        {QStringLiteral("cmd_t"), commandTopic},
                        {QStringLiteral("pl_on"), on},
                        {QStringLiteral("pl_off"), off},
                        {QStringLiteral("stat_on"), on},
                        {QStringLiteral("stat_off"), off},
                        {ValueTemplate, QStringLiteral("{{ '%1' if value_json.%2 else '%3' }}")
                                            .arg(on, QString::fromLatin1(s.field).arg(zone), off)},
                    });
            }
        }
    }
    return list;
}

} // namespace

QString discoveryNodeId(const QString& prefix)
{
    QString id = prefix;
    static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9_-]"));
    id.replace(other, QStringLiteral("_"));
    return id;
}

MqttMessage deviceDiscovery(const DiscoveryDevice& target)
{
    const QString node = nodeOf(target);
    QString deviceName = target.name;
    if (deviceName.isEmpty()) {
        deviceName = target.prefix;
        if (deviceName.startsWith(QLatin1String("energizer/")))
            deviceName = deviceName.mid(10);
        deviceName = QStringLiteral("Energizer %1").arg(deviceName);
    }
    QJsonObject device{
        {QStringLiteral("ids"), QJsonArray{node}},
        {Name, deviceName},
        {QStringLiteral("mdl"), QStringLiteral("Electric fence energizer")},
    };
    if (!target.viaDevice.isEmpty())
        device.insert(QStringLiteral("via_device"), target.viaDevice);

    // Shared by every component: one state topic, one availability.
    const QString availabilityTopic = target.prefix + QStringLiteral("/availability");
    QJsonObject config{
        {QStringLiteral("dev"), device},
        {QStringLiteral("o"), origin(target.origin)},
        {StateTopic, target.prefix + QStringLiteral("/state")},
    };
    if (target.bridgeTopic.isEmpty()) {
        config.insert(QStringLiteral("avty_t"), availabilityTopic);
    } else {
        config.insert(QStringLiteral("avty"), QJsonArray{QJsonObject{{QStringLiteral("t"), target.bridgeTopic}},
                                                         QJsonObject{{QStringLiteral("t"), availabilityTopic}}});
        config.insert(QStringLiteral("avty_mode"), QStringLiteral("all"));
    }
    QJsonObject cmps;
    for (const Component& c : components(target))
        cmps.insert(c.key, c.config);
    config.insert(QStringLiteral("cmps"), cmps);
    // Home Assistant tells entities apart by topic id and component key: the
    // per-entity topics were NODE and KEY, so the device's id must differ, or
    // clearing an old topic would remove the entity that replaced it.
    return {QStringLiteral("%1/device/energizer-%2/config").arg(target.discoveryPrefix, node), json(config)};
}

QStringList legacyDiscoveryTopics(const DiscoveryDevice& target)
{
    const QString node = nodeOf(target);
    QStringList topics;
    for (const Component& c : components(target))
        topics << QStringLiteral("%1/%2/%3/%4/config").arg(target.discoveryPrefix, c.config.value(Platform).toString(), node, c.key);
    return topics;
}

QByteArray legacyMigrationPayload()
{
    return json(QJsonObject{{QStringLiteral("migrate_discovery"), true}});
}

MqttMessage gatewayDiscovery(const DiscoveryGateway& gateway)
{
    QJsonObject cmps;
    const QJsonArray available{QJsonObject{{QStringLiteral("t"), gateway.bridgeTopic}}};
    auto add = [&](const QString& key, const QString& name, QJsonObject config) {
        config.insert(Name, name);
        config.insert(UniqueId, gateway.id + QLatin1Char('_') + key);
        config.insert(Category, Diagnostic);
        if (!config.contains(StateTopic)) {
            config.insert(Platform, Sensor);
            config.insert(StateTopic, gateway.healthTopic);
            if (!gateway.bridgeTopic.isEmpty())
                config.insert(QStringLiteral("avty"), available);
        }
        cmps.insert(gateway.id + QLatin1Char('_') + key, config);
    };
    // Connected or not, never unavailable: it reads the will's topic itself.
    if (!gateway.bridgeTopic.isEmpty()) {
        add(QStringLiteral("connectivity"), QStringLiteral("Broker connection"),
            QJsonObject{{Platform, BinarySensor}, {StateTopic, gateway.bridgeTopic}, {DeviceClass, QStringLiteral("connectivity")},
                        {QStringLiteral("pl_on"), QStringLiteral("online")}, {QStringLiteral("pl_off"), QStringLiteral("offline")}});
    }
    add(QStringLiteral("online"), QStringLiteral("Energizers on line"),
        QJsonObject{{ValueTemplate, QStringLiteral("{{ value_json.online }}")}, {StateClass, Measurement}});
    add(QStringLiteral("offline"), QStringLiteral("Energizers off line"),
        QJsonObject{{ValueTemplate, QStringLiteral("{{ value_json.offline }}")}, {StateClass, Measurement}});
    for (int i = 0; i < gateway.links.size(); ++i) {
        // Indexed, as a link's name may hold quotes a template could not.
        const QString link = gateway.links[i];
        for (const char* counter : {"requests", "timeouts"}) {
            const QString what = QLatin1String(counter);
            add(QStringLiteral("%1_%2").arg(what, discoveryNodeId(link)),
                QStringLiteral("%1 %2").arg(what == QLatin1String("requests") ? QStringLiteral("Requests") : QStringLiteral("Timeouts"), link),
                QJsonObject{{ValueTemplate, QStringLiteral("{{ value_json.links[%1].%2 }}").arg(i).arg(what)},
                            {StateClass, QStringLiteral("total_increasing")}});
        }
    }
    const QJsonObject config{
        {QStringLiteral("dev"), QJsonObject{{QStringLiteral("ids"), QJsonArray{gateway.id}},
                                            {Name, gateway.name},
                                            {QStringLiteral("mdl"), QStringLiteral("Energizer gateway")},
                                            {QStringLiteral("sw"), gateway.origin.version}}},
        {QStringLiteral("o"), origin(gateway.origin)},
        {QStringLiteral("cmps"), cmps},
    };
    return {QStringLiteral("%1/device/%2/config").arg(gateway.discoveryPrefix, gateway.id), json(config)};
}

QByteArray gatewayHealth(int online, int offline, const QVector<LinkHealth>& links)
{
    QJsonArray list;
    for (const LinkHealth& l : links)
        list.append(QJsonObject{{Name, l.name}, {QStringLiteral("requests"), double(l.requests)}, {QStringLiteral("timeouts"), double(l.timeouts)}});
    return json(QJsonObject{{QStringLiteral("online"), online}, {QStringLiteral("offline"), offline}, {QStringLiteral("links"), list}});
}
