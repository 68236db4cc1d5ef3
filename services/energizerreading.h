#pragma once

#include "services/metricstext.h"

class Energizer;

// One energizer's reading for the metrics; up is the energizer's online flag.
EnergizerReading energizerReading(const QString& link, const Energizer& energizer, qint64 lastReplyMs);
