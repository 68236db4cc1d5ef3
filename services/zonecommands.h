#pragma once

#include "link/zoneswitch.h"

#include <QByteArray>
#include <QObject>
#include <QPair>
#include <QQueue>
#include <QString>

class Station;

// Zone commands from a broker for one energizer, run one at a time through
// a ZoneSwitch and logged as "WHO zone 1 on: done" (at debug level: a
// dashboard may send many). Retained commands, payloads other than on, off,
// hv and lv, and commands that fail are warned about.
class ZoneCommands : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxQueued = 8;

    // The station's one queue, made on first use and owned by the station:
    // MQTT and the web page switching one energizer at once would each send
    // both zones' states and undo the other's change. who names the
    // energizer in the log; empty for one energizer alone.
    static ZoneCommands* of(Station& station, int timeoutMs, const QString& who);

    // zone 1 or 2; topic only names the command in reports.
    void take(int zone, const QString& topic, const QByteArray& payload, bool retained);
    // Drops what waits; a running switch finishes on its own. Later commands
    // run again: the queue is the station's, not one publisher's.
    void stop();

private:
    ZoneCommands(Station& station, int timeoutMs, const QString& who);
    void runNext();
    void finished(ZoneSwitch::Outcome outcome);
    void warn(const QString& line) const;

    ZoneSwitch m_switch;
    QString m_who;
    QQueue<QPair<int, ZoneSwitch::Action>> m_queue;
    QString m_running;
};
