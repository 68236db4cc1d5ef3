#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class Energizer;

// The energizer object's fields by name, in declaration order, for tools that
// print or publish them (the command line, the MQTT bridge). Values are the
// exact decoded ones: volts as doubles, flags as bools, the fence condition as
// its English text.
QStringList energizerFieldNames();
QVariant energizerField(const Energizer& energizer, const QString& name);
QJsonObject energizerToJson(const Energizer& energizer);

// One CSV line: each field in energizerFieldNames() order, locale-independent
// (a dot as decimal separator, true/false for flags).
QString energizerCsvLine(const Energizer& energizer);
// A value as printed in CSV and in Name=value lines.
QString fieldText(const QVariant& value);

// The alarm and fault flags under stable short names ("gate", "mains_fail",
// "zone1_scr"), in a fixed order; active where the ...Ok flag is false. Metric
// labels and alert rules match on these names.
struct AlarmState
{
    const char* name;
    bool active;
};
QVector<AlarmState> energizerAlarms(const Energizer& energizer);
