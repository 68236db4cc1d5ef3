#pragma once

#include "gateway/metricstext.h"

class Energizer;

// The alarm and fault flags under their metric label names, as active alarms
// (the energizer's ...Ok flags are true when all is well): the panel's status
// stones, then each zone's service stones ("zone1_scr").
QVector<AlarmReading> energizerAlarms(const Energizer& energizer);

// One energizer's reading for the metrics; up is the energizer's online flag.
EnergizerReading energizerReading(const QString& link, const Energizer& energizer, qint64 lastReplyMs);
