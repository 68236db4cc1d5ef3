#pragma once

#include <QHash>
#include <QObject>
#include <QVector>

class Station;

// One status poll of each station through its bus, in turn. A station that
// does not answer within the bus's request timeout is asked again while
// retries are allowed, or given up at once. Each outcome is reported as it
// comes; finished() follows the last.
class PollRound : public QObject
{
    Q_OBJECT
public:
    PollRound(const QVector<Station*>& stations, bool retry, QObject* parent = nullptr);

    // False when the first poll could not go out (the link is down).
    bool start();
    // Gives up on those still waiting; they are reported as not answering.
    void stop();
    bool isRunning() const { return !m_waiting.isEmpty(); }

signals:
    void answered(Station* station);
    void silent(Station* station);
    void finished();

private:
    void settle(Station* station, bool replied);

    QVector<Station*> m_stations;
    QVector<Station*> m_waiting;
    QVector<QMetaObject::Connection> m_connections;
    bool m_retry;
};
