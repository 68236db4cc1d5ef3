#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// What one scrape reports, as plain values: the poller fills them, the text
// builder below needs nothing else.

struct ZoneReading
{
    double outputVolts = 0;
    double returnVolts = 0;
    bool on = false;
    bool highVoltage = false;
};

struct AlarmReading
{
    QString name; // label value, e.g. "mains_fail"
    bool active = false;
};

struct EnergizerReading
{
    QString link;
    int address = 0;
    bool up = false;
    ZoneReading zones[2]; // zone "1" and "2"
    double batteryVolts = 0;
    QVector<AlarmReading> alarms;
    qint64 lastReplyMs = 0; // ms since the epoch; 0: never answered
};

struct LinkReading
{
    QString link;
    quint64 requests = 0;
    quint64 timeouts = 0;
    double cycleSeconds = 0; // last full round over the link's energizers
};

// Prometheus text exposition format 0.0.4. Every family gets its HELP and TYPE
// lines even without samples. An energizer that is down reports only
// energizer_up and its last reply time: stale voltages would look current.
QByteArray metricsText(const QVector<EnergizerReading>& energizers, const QVector<LinkReading>& links,
                       const QString& version);

// A label value inside the double quotes: backslash, quote and newline escaped.
QString escapeLabelValue(const QString& value);
