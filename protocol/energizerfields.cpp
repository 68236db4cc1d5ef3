#include "protocol/energizerfields.h"

#include <QLocale>

#include <cmath>
#include <type_traits>

namespace {

using K = StatusKind;
#define EC_LABEL(text) QT_TRANSLATE_NOOP("StatusField", text)
const char* const V = "V";
const char* const None = "";

const std::vector<StatusField>& table()
{
    static const std::vector<StatusField> fields{
        {"address", K::Address, None, EC_LABEL("Address"), &Energizer::address, 0},
        {"online", K::Online, None, EC_LABEL("Online"), &Energizer::online, 0},
        {"fenceOn1", K::Flag, None, EC_LABEL("Fence on 1"), &Energizer::fenceOn1, 1, "energizer_zone_on"},
        {"fenceHv1", K::Flag, None, EC_LABEL("Fence HV 1"), &Energizer::fenceHv1, 1, "energizer_zone_high_voltage"},
        {"fenceLevel1", K::Level, None, EC_LABEL("Fence level 1"), &Energizer::fenceLevel1, 1},
        {"outputVoltage1", K::Voltage, V, EC_LABEL("Output voltage 1"), &Energizer::outputVoltage1, 1,
         "energizer_output_voltage_volts"},
        {"returnVoltage1", K::Voltage, V, EC_LABEL("Return voltage 1"), &Energizer::returnVoltage1, 1,
         "energizer_return_voltage_volts"},
        {"capVoltage1", K::Voltage, V, EC_LABEL("Cap voltage 1"), &Energizer::capVoltage1, 1},
        {"voutOk1", K::Alarm, None, EC_LABEL("Vout 1"), &Energizer::voutOk1, 1, nullptr, "zone1_vout"},
        {"scrOk1", K::Alarm, None, EC_LABEL("SCR 1"), &Energizer::scrOk1, 1, nullptr, "zone1_scr"},
        {"flybackOk1", K::Alarm, None, EC_LABEL("Flyback 1"), &Energizer::flybackOk1, 1, nullptr, "zone1_flyback"},
        {"interferenceOk1", K::Alarm, None, EC_LABEL("Interference 1"), &Energizer::interferenceOk1, 1, nullptr,
         "zone1_interference"},
        {"fenceCondition1", K::Condition, None, EC_LABEL("Fence condition 1"), &Energizer::fenceCondition1, 1},
        {"fenceOn2", K::Flag, None, EC_LABEL("Fence on 2"), &Energizer::fenceOn2, 2, "energizer_zone_on"},
        {"fenceHv2", K::Flag, None, EC_LABEL("Fence HV 2"), &Energizer::fenceHv2, 2, "energizer_zone_high_voltage"},
        {"fenceLevel2", K::Level, None, EC_LABEL("Fence level 2"), &Energizer::fenceLevel2, 2},
        {"outputVoltage2", K::Voltage, V, EC_LABEL("Output voltage 2"), &Energizer::outputVoltage2, 2,
         "energizer_output_voltage_volts"},
        {"returnVoltage2", K::Voltage, V, EC_LABEL("Return voltage 2"), &Energizer::returnVoltage2, 2,
         "energizer_return_voltage_volts"},
        {"capVoltage2", K::Voltage, V, EC_LABEL("Cap voltage 2"), &Energizer::capVoltage2, 2},
        {"voutOk2", K::Alarm, None, EC_LABEL("Vout 2"), &Energizer::voutOk2, 2, nullptr, "zone2_vout"},
        {"scrOk2", K::Alarm, None, EC_LABEL("SCR 2"), &Energizer::scrOk2, 2, nullptr, "zone2_scr"},
        {"flybackOk2", K::Alarm, None, EC_LABEL("Flyback 2"), &Energizer::flybackOk2, 2, nullptr, "zone2_flyback"},
        {"interferenceOk2", K::Alarm, None, EC_LABEL("Interference 2"), &Energizer::interferenceOk2, 2, nullptr,
         "zone2_interference"},
        {"fenceCondition2", K::Condition, None, EC_LABEL("Fence condition 2"), &Energizer::fenceCondition2, 2},
        {"strobe1Ok", K::Alarm, None, EC_LABEL("Strobe 1"), &Energizer::strobe1Ok, 0},
        {"strobe2Ok", K::Alarm, None, EC_LABEL("Strobe 2"), &Energizer::strobe2Ok, 0},
        {"sirenOk", K::Alarm, None, EC_LABEL("Siren"), &Energizer::sirenOk, 0},
        {"gateInputOk", K::Alarm, None, EC_LABEL("Gate input"), &Energizer::gateInputOk, 0},
        {"on1Input", K::Input, None, EC_LABEL("On 1 input"), &Energizer::on1Input, 1},
        {"on2Input", K::Input, None, EC_LABEL("On 2 input"), &Energizer::on2Input, 2},
        {"panicInputOk", K::Alarm, None, EC_LABEL("Panic input"), &Energizer::panicInputOk, 0},
        {"hv1Input", K::Input, None, EC_LABEL("HV 1 input"), &Energizer::hv1Input, 1},
        {"hv2Input", K::Input, None, EC_LABEL("HV 2 input"), &Energizer::hv2Input, 2},
        {"magneticSwitchOk", K::Alarm, None, EC_LABEL("Magnetic switch"), &Energizer::magneticSwitchOk, 0, nullptr,
         "magnetic_switch"},
        {"tamperOk", K::Alarm, None, EC_LABEL("Tamper"), &Energizer::tamperOk, 0, nullptr, "tamper"},
        {"syncMaster", K::Flag, None, EC_LABEL("Sync master"), &Energizer::syncMaster, 0},
        {"syncOk", K::Alarm, None, EC_LABEL("Sync"), &Energizer::syncOk, 0, nullptr, "sync_loss"},
        {"serviceOk", K::Alarm, None, EC_LABEL("Service"), &Energizer::serviceOk, 0, nullptr, "service"},
        {"auxFuseOk", K::Alarm, None, EC_LABEL("Aux fuse"), &Energizer::auxFuseOk, 0, nullptr, "aux_fuse"},
        {"gateAlarmOk", K::Alarm, None, EC_LABEL("Gate alarm"), &Energizer::gateAlarmOk, 0, nullptr, "gate"},
        {"panicAlarmOk", K::Alarm, None, EC_LABEL("Panic alarm"), &Energizer::panicAlarmOk, 0, nullptr, "panic"},
        {"mainsOk", K::Alarm, None, EC_LABEL("Mains"), &Energizer::mainsOk, 0, nullptr, "mains_fail"},
        {"batteryFuseOk", K::Alarm, None, EC_LABEL("Battery fuse"), &Energizer::batteryFuseOk, 0, nullptr,
         "battery_fuse"},
        {"batteryFlatOk", K::Alarm, None, EC_LABEL("Battery flat"), &Energizer::batteryFlatOk, 0, nullptr,
         "battery_flat"},
        {"batteryVoltage", K::Voltage, V, EC_LABEL("Battery voltage"), &Energizer::batteryVoltage, 0,
         "energizer_battery_voltage_volts"},
        {"supplyVoltage", K::Voltage, V, EC_LABEL("Supply voltage"), &Energizer::supplyVoltage, 0},
    };
    return fields;
}

#undef EC_LABEL

} // namespace

QVariant StatusField::value(const Energizer& energizer) const
{
    return std::visit([&energizer](auto m) { return QVariant(energizer.*m); }, member);
}

double StatusField::number(const Energizer& energizer) const
{
    return std::visit(
        [&energizer](auto m) {
            if constexpr (std::is_same_v<decltype(energizer.*m), const QString&>)
                return std::nan("");
            else
                return double(energizer.*m);
        },
        member);
}

const std::vector<StatusField>& statusFields()
{
    return table();
}

const StatusField* statusField(const QString& name)
{
    for (const StatusField& f : table()) {
        if (name == QLatin1String(f.name))
            return &f;
    }
    return nullptr;
}

QStringList energizerFieldNames()
{
    QStringList names;
    for (const StatusField& f : table())
        names << QLatin1String(f.name);
    return names;
}

QJsonObject energizerToJson(const Energizer& energizer)
{
    QJsonObject object;
    for (const StatusField& f : table())
        object.insert(QLatin1String(f.name), QJsonValue::fromVariant(f.value(energizer)));
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
    for (const StatusField& f : table())
        values << fieldText(f.value(energizer));
    return values.join(QLatin1Char(','));
}

QVector<AlarmState> energizerAlarms(const Energizer& energizer)
{
    QVector<AlarmState> alarms;
    for (int zone = 0; zone <= 2; ++zone) {
        for (const StatusField& f : table()) {
            if (f.alarm && f.zone == zone)
                alarms.append({f.alarm, f.number(energizer) == 0});
        }
    }
    return alarms;
}
