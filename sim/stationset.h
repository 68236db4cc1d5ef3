#pragma once

#include "sim/faultinjector.h"
#include "sim/simenergizer.h"

#include <QVector>

#include <memory>
#include <vector>

// The energizers one endpoint serves, each with its own state and faults.
class StationSet
{
public:
    struct Station
    {
        std::unique_ptr<SimEnergizer> energizer;
        std::unique_ptr<FaultInjector> faults;
    };

    void add(std::unique_ptr<SimEnergizer> energizer, std::unique_ptr<FaultInjector> faults);

    // nullptr when the address is not served.
    Station* find(int address);
    // The lowest address; console commands without an address act on it.
    Station& first() { return m_stations.front(); }
    QVector<int> addresses() const;

    // Each address's random seed: the seed itself for address 1, so a single
    // energizer moves as it always did.
    static quint32 seedFor(quint32 seed, int address);

private:
    std::vector<Station> m_stations;
};
