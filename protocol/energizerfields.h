#pragma once

#include "protocol/energizer.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <variant>
#include <vector>

// What a status field is: how every output shows, publishes and exports it.
enum class StatusKind {
    Address,   // the energizer's bus address
    Online,    // whether it answers
    Flag,      // a state, true when set (zone on, high voltage, sync master)
    Input,     // an input terminal, true while active
    Alarm,     // an alarm, fault or output check, true while all is well
    Voltage,   // volts
    Level,     // the fence level, 0..9
    Condition, // the fence condition as text ("Good", "Check", "Bad")
};

// One field of the energizer object. The names are CSV columns, JSON and MQTT
// state keys and Home Assistant entity ids: never rename one.
struct StatusField
{
    using Member = std::variant<qint32 Energizer::*, bool Energizer::*, double Energizer::*, QString Energizer::*>;

    const char* name;
    StatusKind kind;
    const char* unit;  // "V" for voltages, empty otherwise
    const char* label; // English, as Home Assistant names the entity
    Member member;
    int zone;                     // 1 or 2; 0: the energizer as a whole
    int source;                   // the status reply's field (1..52) it is read from, negative: true while
                                  // that field is not 1 (no alarm, high voltage); 0: not read from it
    const char* metric = nullptr; // the gauge family exporting the value
    const char* alarm = nullptr;  // label value under energizer_alarm, active while the flag is false

    QVariant value(const Energizer& energizer) const;
    // Stores a raw value of the source field.
    void set(Energizer& energizer, const QVariant& raw) const;
    // Numbers as they are, flags as 1 and 0.
    double number(const Energizer& energizer) const;
};

// In declaration order, which is the CSV column order.
const std::vector<StatusField>& statusFields();
// nullptr for a name that is no field.
const StatusField* statusField(const QString& name);

// The fields' names and values in table order, for tools that print or
// publish them. Values are the exact decoded ones: volts as doubles, flags as
// bools, the fence condition as its English text.
QStringList energizerFieldNames();
QJsonObject energizerToJson(const Energizer& energizer);

// One CSV line: each field in energizerFieldNames() order, locale-independent
// (a dot as decimal separator, true/false for flags).
QString energizerCsvLine(const Energizer& energizer);
// A value as printed in CSV and in Name=value lines.
QString fieldText(const QVariant& value);

// The fields with an alarm label ("gate", "mains_fail", "zone1_scr"): the
// energizer's own first, then zone 1's and zone 2's; active where the flag is
// false. Metric labels and alert rules match on these names.
struct AlarmState
{
    const char* name;
    bool active;
};
QVector<AlarmState> energizerAlarms(const Energizer& energizer);
