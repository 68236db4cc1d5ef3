#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// What one scrape reports, as plain values: the poller fills them, the text
// builder below needs nothing else.

// One exported value of a status field: its gauge family, its zone label
// (0: none) and its alarm label (empty: none). Flags are 1 and 0.
struct FieldReading
{
    QString family;
    int zone = 0;
    QString alarm;
    double value = 0;
};

struct EnergizerReading
{
    QString link;
    int address = 0;
    bool up = false;
    QVector<FieldReading> fields; // in exposition order within each family
    qint64 lastReplyMs = 0;       // ms since the epoch; 0: never answered
};

struct LinkReading
{
    QString link;
    quint64 requests = 0;
    quint64 timeouts = 0;
    double cycleSeconds = 0; // last full round over the link's energizers
};

struct BrokerReading
{
    bool connected = false;
    QString failure; // why the last try failed, a label value; empty: none
    int otherGateways = 0;
};

// Prometheus text exposition format 0.0.4. Every family gets its HELP and TYPE
// lines even without samples. An energizer that is down reports only
// energizer_up and its last reply time: stale voltages would look current.
QByteArray metricsText(const QVector<EnergizerReading>& energizers, const QVector<LinkReading>& links,
                       const QString& version, const BrokerReading* broker = nullptr);

// A label value inside the double quotes: backslash, quote and newline escaped.
QString escapeLabelValue(const QString& value);
