#include "protocol/energizerfields.h"

#include <QLocale>

#include <cmath>
#include <type_traits>

namespace {

using K = StatusKind;
const char* const V = "V";
const char* const None = "";

// One zone's fields in column order, z 1 or 2.
#define EC_ZONE_FIELDS(z)                                                                                             \
    {"fenceOn" #z, K::Flag, None, "Fence on " #z, &Energizer::fenceOn##z, z, 19 + z, "energizer_zone_on"},            \
    {"fenceHv" #z, K::Flag, None, "Fence HV " #z, &Energizer::fenceHv##z, z, -(15 + z), "energizer_zone_high_voltage"}, \
    {"fenceLevel" #z, K::Level, None, "Fence level " #z, &Energizer::fenceLevel##z, z, 31 + z},                       \
    {"outputVoltage" #z, K::Voltage, V, "Output voltage " #z, &Energizer::outputVoltage##z, z, 29 + z,                \
     "energizer_output_voltage_volts"},                                                                               \
    {"returnVoltage" #z, K::Voltage, V, "Return voltage " #z, &Energizer::returnVoltage##z, z, 27 + z,                \
     "energizer_return_voltage_volts"},                                                                               \
    {"capVoltage" #z, K::Voltage, V, "Cap voltage " #z, &Energizer::capVoltage##z, z, 36 + z},                        \
    {"voutOk" #z, K::Alarm, None, "Vout " #z, &Energizer::voutOk##z, z, -(38 + z), nullptr, "zone" #z "_vout"},       \
    {"scrOk" #z, K::Alarm, None, "SCR " #z, &Energizer::scrOk##z, z, -(40 + z), nullptr, "zone" #z "_scr"},           \
    {"flybackOk" #z, K::Alarm, None, "Flyback " #z, &Energizer::flybackOk##z, z, -(42 + z), nullptr, "zone" #z "_flyback"}, \
    {"interferenceOk" #z, K::Alarm, None, "Interference " #z, &Energizer::interferenceOk##z, z, -(44 + z), nullptr,   \
     "zone" #z "_interference"},                                                                                      \
    {"fenceCondition" #z, K::Condition, None, "Fence condition " #z, &Energizer::fenceCondition##z, z, 25 + z}

const std::vector<StatusField>& table()
{
    static const std::vector<StatusField> fields{
        {"address", K::Address, None, "Address", &Energizer::address, 0, 0},
        {"online", K::Online, None, "Online", &Energizer::online, 0, 0},
        EC_ZONE_FIELDS(1),
        EC_ZONE_FIELDS(2),
        {"strobe1Ok", K::Alarm, None, "Strobe 1", &Energizer::strobe1Ok, 0, -2},
        {"strobe2Ok", K::Alarm, None, "Strobe 2", &Energizer::strobe2Ok, 0, -3},
        {"sirenOk", K::Alarm, None, "Siren", &Energizer::sirenOk, 0, -1},
        {"gateInputOk", K::Alarm, None, "Gate input", &Energizer::gateInputOk, 0, -11},
        {"on1Input", K::Input, None, "On 1 input", &Energizer::on1Input, 1, 18},
        {"on2Input", K::Input, None, "On 2 input", &Energizer::on2Input, 2, 19},
        // The block has no separate panic-alarm or battery-flat bit the tool
        // knows of; these follow the panic input and the battery fuse.
        {"panicInputOk", K::Alarm, None, "Panic input", &Energizer::panicInputOk, 0, -10},
        {"hv1Input", K::Input, None, "HV 1 input", &Energizer::hv1Input, 1, 14},
        {"hv2Input", K::Input, None, "HV 2 input", &Energizer::hv2Input, 2, 15},
        {"magneticSwitchOk", K::Alarm, None, "Magnetic switch", &Energizer::magneticSwitchOk, 0, -52, nullptr,
         "magnetic_switch"},
        {"tamperOk", K::Alarm, None, "Tamper", &Energizer::tamperOk, 0, -8, nullptr, "tamper"},
        {"syncMaster", K::Flag, None, "Sync master", &Energizer::syncMaster, 0, 51},
        {"syncOk", K::Alarm, None, "Sync", &Energizer::syncOk, 0, -5, nullptr, "sync_loss"},
        {"serviceOk", K::Alarm, None, "Service", &Energizer::serviceOk, 0, -4, nullptr, "service"},
        {"auxFuseOk", K::Alarm, None, "Aux fuse", &Energizer::auxFuseOk, 0, -49, nullptr, "aux_fuse"},
        {"gateAlarmOk", K::Alarm, None, "Gate alarm", &Energizer::gateAlarmOk, 0, -12, nullptr, "gate"},
        {"panicAlarmOk", K::Alarm, None, "Panic alarm", &Energizer::panicAlarmOk, 0, -10, nullptr, "panic"},
        {"mainsOk", K::Alarm, None, "Mains", &Energizer::mainsOk, 0, -7, nullptr, "mains_fail"},
        {"batteryFuseOk", K::Alarm, None, "Battery fuse", &Energizer::batteryFuseOk, 0, -48, nullptr,
         "battery_fuse"},
        {"batteryFlatOk", K::Alarm, None, "Battery flat", &Energizer::batteryFlatOk, 0, -48, nullptr,
         "battery_flat"},
        {"batteryVoltage", K::Voltage, V, "Battery voltage", &Energizer::batteryVoltage, 0, 6,
         "energizer_battery_voltage_volts"},
        {"supplyVoltage", K::Voltage, V, "Supply voltage", &Energizer::supplyVoltage, 0, 47},
    };
    return fields;
}

#undef EC_ZONE_FIELDS

} // namespace

QVariant StatusField::value(const Energizer& energizer) const
{
    return std::visit([&energizer](auto m) { return QVariant(energizer.*m); }, member);
}

void StatusField::set(Energizer& energizer, const QVariant& raw) const
{
    const QVariant value = source < 0 ? QVariant(raw.toInt() != 1) : raw;
    std::visit([&energizer, &value](auto m) { energizer.*m = value.value<std::decay_t<decltype(energizer.*m)>>(); }, member);
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
