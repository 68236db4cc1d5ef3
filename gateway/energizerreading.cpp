#include "gateway/energizerreading.h"

#include "device/energizer.h"

#include <iterator>

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

QVector<AlarmReading> energizerAlarms(const Energizer& energizer)
{
    QVector<AlarmReading> alarms;
    alarms.reserve(int(std::size(alarmFlags)));
    for (const AlarmFlag& f : alarmFlags)
        alarms.append({QLatin1String(f.name), !(energizer.*f.ok)});
    return alarms;
}

EnergizerReading energizerReading(const QString& link, const Energizer& energizer, qint64 lastReplyMs)
{
    EnergizerReading r;
    r.link = link;
    r.address = energizer.address;
    r.up = energizer.online;
    r.zones[0] = {energizer.outputVoltage1, energizer.returnVoltage1, energizer.fenceOn1, energizer.fenceHv1};
    r.zones[1] = {energizer.outputVoltage2, energizer.returnVoltage2, energizer.fenceOn2, energizer.fenceHv2};
    r.batteryVolts = energizer.batteryVoltage;
    r.alarms = energizerAlarms(energizer);
    r.lastReplyMs = lastReplyMs;
    return r;
}
