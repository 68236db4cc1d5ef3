#include "cli/pollround.h"

#include "protocol/frames.h"
#include "link/station.h"

PollRound::PollRound(const QVector<Station*>& stations, bool retry, QObject* parent)
    : QObject(parent)
    , m_stations(stations)
    , m_retry(retry)
{
}

bool PollRound::start()
{
    stop();
    m_waiting = m_stations;
    for (Station* s : m_stations) {
        m_connections << connect(s, &Station::statusReceived, this, [this, s] { settle(s, true); });
        m_connections << connect(s, &Station::requestTimedOut, this, [this, s](quint8 command) {
            if (command != Frame::CmdStatus || !m_waiting.contains(s))
                return;
            if (!m_retry || !s->pollStatus())
                settle(s, false);
        });
    }
    // The bus sends them one at a time; only the first can find the link down.
    bool first = true;
    for (Station* s : m_stations) {
        if (!s->pollStatus() && first) {
            m_waiting.clear();
            for (const auto& c : qAsConst(m_connections))
                disconnect(c);
            m_connections.clear();
            return false;
        }
        first = false;
    }
    return true;
}

void PollRound::stop()
{
    const QVector<Station*> left = m_waiting;
    for (Station* s : left)
        settle(s, false);
}

void PollRound::settle(Station* station, bool replied)
{
    if (!m_waiting.removeOne(station))
        return;
    if (replied)
        emit answered(station);
    else
        emit silent(station);
    if (m_waiting.isEmpty()) {
        for (const auto& c : qAsConst(m_connections))
            disconnect(c);
        m_connections.clear();
        emit finished();
    }
}

#include "moc_pollround.cpp"
