#include "sim/stationset.h"

void StationSet::add(std::unique_ptr<SimEnergizer> energizer, std::unique_ptr<FaultInjector> faults)
{
    m_stations.push_back({std::move(energizer), std::move(faults)});
}

StationSet::Station* StationSet::find(int address)
{
    for (Station& s : m_stations)
        if (s.energizer->address() == address)
            return &s;
    return nullptr;
}

QVector<int> StationSet::addresses() const
{
    QVector<int> list;
    for (const Station& s : m_stations)
        list.append(s.energizer->address());
    return list;
}

quint32 StationSet::seedFor(quint32 seed, int address)
{
    return seed + 0x9E3779B9u * static_cast<quint32>(address - 1);
}
