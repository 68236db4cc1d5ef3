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
    for (const StatusField& f : statusFields()) {
        if (f.metric)
            r.fields.append({QLatin1String(f.metric), f.zone, QString(), f.number(energizer)});
    }
    for (const AlarmState& a : energizerAlarms(energizer))
        r.fields.append({QStringLiteral("energizer_alarm"), 0, QLatin1String(a.name), a.active ? 1.0 : 0.0});
    r.lastReplyMs = station.lastReplyAt();
    return r;
}
