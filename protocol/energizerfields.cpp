#include "protocol/energizerfields.h"

#include "protocol/energizer.h"

#include <QLocale>

#include <vector>

namespace {

struct Field
{
    const char* name;
    QVariant (*get)(const Energizer&);
};

#define EC_FIELD(member) Field{#member, [](const Energizer& e) { return QVariant(e.member); }}

const std::vector<Field>& fields()
{
    static const std::vector<Field> table{
        EC_FIELD(address),          EC_FIELD(online),           EC_FIELD(fenceOn1),
        EC_FIELD(fenceHv1),         EC_FIELD(fenceLevel1),      EC_FIELD(outputVoltage1),
        EC_FIELD(returnVoltage1),   EC_FIELD(capVoltage1),      EC_FIELD(voutOk1),
        EC_FIELD(scrOk1),           EC_FIELD(flybackOk1),       EC_FIELD(interferenceOk1),
        EC_FIELD(fenceCondition1),  EC_FIELD(fenceOn2),         EC_FIELD(fenceHv2),
        EC_FIELD(fenceLevel2),      EC_FIELD(outputVoltage2),   EC_FIELD(returnVoltage2),
        EC_FIELD(capVoltage2),      EC_FIELD(voutOk2),          EC_FIELD(scrOk2),
        EC_FIELD(flybackOk2),       EC_FIELD(interferenceOk2),  EC_FIELD(fenceCondition2),
        EC_FIELD(strobe1Ok),        EC_FIELD(strobe2Ok),        EC_FIELD(sirenOk),
        EC_FIELD(gateInputOk),      EC_FIELD(on1Input),         EC_FIELD(on2Input),
        EC_FIELD(panicInputOk),     EC_FIELD(hv1Input),         EC_FIELD(hv2Input),
        EC_FIELD(magneticSwitchOk), EC_FIELD(tamperOk),         EC_FIELD(syncMaster),
        EC_FIELD(syncOk),           EC_FIELD(serviceOk),        EC_FIELD(auxFuseOk),
        EC_FIELD(gateAlarmOk),      EC_FIELD(panicAlarmOk),     EC_FIELD(mainsOk),
        EC_FIELD(batteryFuseOk),    EC_FIELD(batteryFlatOk),    EC_FIELD(batteryVoltage),
        EC_FIELD(supplyVoltage),
    };
    return table;
}

#undef EC_FIELD

} // namespace

QStringList energizerFieldNames()
{
    QStringList names;
    for (const Field& f : fields())
        names << QLatin1String(f.name);
    return names;
}

QVariant energizerField(const Energizer& energizer, const QString& name)
{
    for (const Field& f : fields()) {
        if (name == QLatin1String(f.name))
            return f.get(energizer);
    }
    return {};
}

QJsonObject energizerToJson(const Energizer& energizer)
{
    QJsonObject object;
    for (const Field& f : fields())
        object.insert(QLatin1String(f.name), QJsonValue::fromVariant(f.get(energizer)));
    return object;
}

QString fieldText(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Double:
        // Shortest text that reads back as the same double, never localised.
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    default:
        return value.toString();
    }
}

QString energizerCsvLine(const Energizer& energizer)
{
    QStringList values;
    for (const Field& f : fields())
        values << fieldText(f.get(energizer));
    return values.join(QLatin1Char(','));
}

namespace {

struct AlarmFlag
{
    const char* name;
    bool Energizer::*ok;
};

// Label values are what alert rules match on: keep them stable.
const AlarmFlag alarmFlags[] = {
    {"magnetic_switch", &Energizer::magneticSwitchOk},
    {"tamper", &Energizer::tamperOk},
    {"sync_loss", &Energizer::syncOk},
    {"service", &Energizer::serviceOk},
    {"aux_fuse", &Energizer::auxFuseOk},
    {"gate", &Energizer::gateAlarmOk},
    {"panic", &Energizer::panicAlarmOk},
    {"mains_fail", &Energizer::mainsOk},
    {"battery_fuse", &Energizer::batteryFuseOk},
    {"battery_flat", &Energizer::batteryFlatOk},
    {"zone1_vout", &Energizer::voutOk1},
    {"zone1_scr", &Energizer::scrOk1},
    {"zone1_flyback", &Energizer::flybackOk1},
    {"zone1_interference", &Energizer::interferenceOk1},
    {"zone2_vout", &Energizer::voutOk2},
    {"zone2_scr", &Energizer::scrOk2},
    {"zone2_flyback", &Energizer::flybackOk2},
    {"zone2_interference", &Energizer::interferenceOk2},
};

} // namespace

QVector<AlarmState> energizerAlarms(const Energizer& energizer)
{
    QVector<AlarmState> alarms;
    alarms.reserve(int(sizeof alarmFlags / sizeof alarmFlags[0]));
    for (const AlarmFlag& f : alarmFlags)
        alarms.append({f.name, !(energizer.*f.ok)});
    return alarms;
}
