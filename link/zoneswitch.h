#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class Station;

// Switches one zone the way the window's buttons do, from a script or a
// broker: reads the status, sends a zone command that keeps the other zone
// and the other half of this zone as they are, then polls until a status
// shows the change.
class ZoneSwitch : public QObject
{
    Q_OBJECT
public:
    enum class Action { On, Off, Hv, Lv };
    Q_ENUM(Action)
    enum class Outcome {
        Done,
        NoStatus,     // no status reply before the command, nothing sent
        NotConfirmed, // sent, but no status showed the change in time
    };
    Q_ENUM(Outcome)

    static constexpr int RepollMs = 200;

    ZoneSwitch(Station& station, int timeoutMs, QObject* parent = nullptr);

    bool busy() const { return m_step != Step::Idle; }
    // zone 1 or 2.
    void start(int zone, Action action);

    // "on", "off", "hv", "lv"; false for anything else.
    static bool parseAction(const QString& word, Action* action);

signals:
    void finished(ZoneSwitch::Outcome outcome);

private:
    enum class Step { Idle, ReadingStatus, Confirming };
    void statusArrived();
    void tick();
    bool showsChange() const;
    void finish(Outcome outcome);

    Station& m_station;
    int m_timeoutMs;
    int m_zone = 1;
    Action m_action = Action::On;
    Step m_step = Step::Idle;
    QElapsedTimer m_clock;
    QTimer m_repoll;
    QMetaObject::Connection m_statusConnection;
};
