#include "services/energizerreading.h"

#include "protocol/energizer.h"
#include "protocol/energizerfields.h"
#include "link/station.h"

EnergizerReading energizerReading(const QString& link, const Station& station)
{
    const Energizer& energizer = station.energizer();
    EnergizerReading r;
    r.link = link;
    r.address = energizer.address;
    r.up = station.isOnline();
    r.zones[0] = {energizer.outputVoltage1, energizer.returnVoltage1, energizer.fenceOn1, energizer.fenceHv1};
    r.zones[1] = {energizer.outputVoltage2, energizer.returnVoltage2, energizer.fenceOn2, energizer.fenceHv2};
    r.batteryVolts = energizer.batteryVoltage;
    for (const AlarmState& a : energizerAlarms(energizer))
        r.alarms.append({QLatin1String(a.name), a.active});
    r.lastReplyMs = station.lastReplyAt();
    return r;
}
