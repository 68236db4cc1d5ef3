#include "link/zoneswitch.h"

#include "protocol/energizer.h"
#include "link/station.h"
#include "protocol/frames.h"

ZoneSwitch::ZoneSwitch(Station& station, int timeoutMs, QObject* parent)
    : QObject(parent)
    , m_station(station)
    , m_timeoutMs(timeoutMs)
{
    m_repoll.setInterval(RepollMs);
    connect(&m_repoll, &QTimer::timeout, this, &ZoneSwitch::tick);
}

bool ZoneSwitch::parseAction(const QString& word, Action* action)
{
    static const struct { const char* word; Action action; } words[] = {
        {"on", Action::On}, {"off", Action::Off}, {"hv", Action::Hv}, {"lv", Action::Lv}};
    for (const auto& w : words) {
        if (word == QLatin1String(w.word)) {
            *action = w.action;
            return true;
        }
    }
    return false;
}

void ZoneSwitch::start(int zone, Action action)
{
    m_zone = zone == 2 ? 2 : 1;
    m_action = action;
    m_step = Step::ReadingStatus;
    m_clock.start();
    m_statusConnection = connect(&m_station, &Station::statusReceived, this, &ZoneSwitch::statusArrived);
    m_station.pollStatus();
    m_repoll.start();
}

void ZoneSwitch::tick()
{
    if (m_clock.elapsed() >= m_timeoutMs) {
        finish(m_step == Step::ReadingStatus ? Outcome::NoStatus : Outcome::NotConfirmed);
        return;
    }
    m_station.pollStatus();
}

bool ZoneSwitch::showsChange() const
{
    const Energizer& e = m_station.energizer();
    const bool on = m_zone == 1 ? e.fenceOn1 : e.fenceOn2;
    const bool hv = m_zone == 1 ? e.fenceHv1 : e.fenceHv2;
    switch (m_action) {
    case Action::On: return on;
    case Action::Off: return !on;
    case Action::Hv: return hv;
    case Action::Lv: return !hv;
    }
    return false;
}

void ZoneSwitch::statusArrived()
{
    if (m_step == Step::Confirming) {
        if (showsChange())
            finish(Outcome::Done);
        return;
    }
    // The other zone and the other half of this one stay as reported.
    const Energizer& e = m_station.energizer();
    bool on[2] = {e.fenceOn1, e.fenceOn2};
    bool hv[2] = {e.fenceHv1, e.fenceHv2};
    const int i = m_zone - 1;
    switch (m_action) {
    case Action::On: on[i] = true; break;
    case Action::Off: on[i] = false; break;
    case Action::Hv: hv[i] = true; break;
    case Action::Lv: hv[i] = false; break;
    }
    m_step = Step::Confirming;
    m_clock.restart();
    m_station.send(zoneCommandFrame(e.address, hv[0], hv[1], on[0], on[1]));
    m_repoll.start();
}

void ZoneSwitch::finish(Outcome outcome)
{
    m_repoll.stop();
    disconnect(m_statusConnection);
    m_step = Step::Idle;
    emit finished(outcome);
}
