#pragma once

#include "services/metricstext.h"

class Station;

// One energizer's reading for the metrics; up is the station's availability.
EnergizerReading energizerReading(const QString& link, const Station& station);
