#pragma once

#include "link/zoneswitch.h"

#include <QByteArray>
#include <QObject>
#include <QPair>
#include <QQueue>
#include <QString>

#include <functional>

class Station;

// Zone commands from a broker for one energizer, run one at a time through
// a ZoneSwitch and reported line by line: "zone 1 on: done". Retained
// commands and payloads other than on, off, hv and lv are refused.
class ZoneCommands : public QObject
{
    Q_OBJECT
public:
    using Report = std::function<void(const QString& line)>;

    static constexpr int MaxQueued = 8;

    ZoneCommands(Station& station, int timeoutMs, Report report, QObject* parent = nullptr);

    // zone 1 or 2; topic only names the command in reports.
    void take(int zone, const QString& topic, const QByteArray& payload, bool retained);
    // Drops what waits; a running switch finishes on its own.
    void stop();

private:
    void runNext();
    void finished(ZoneSwitch::Outcome outcome);

    ZoneSwitch m_switch;
    Report m_report;
    QQueue<QPair<int, ZoneSwitch::Action>> m_queue;
    QString m_running;
    bool m_stopped = false;
};
