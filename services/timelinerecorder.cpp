#include "services/timelinerecorder.h"

#include "link/energizerbus.h"
#include "link/station.h"
#include "protocol/energizer.h"
#include "protocol/energizerfields.h"
#include "protocol/frames.h"
#include "services/historykeeper.h"
#include "services/sitebuses.h"

Q_LOGGING_CATEGORY(lcTimeline, "energizer.timeline")

#include <QDateTime>

namespace {

constexpr qint64 DayMs = 24LL * 3600 * 1000;
constexpr int PruneIdleMs = 10 * 60 * 1000;

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// Faults: the checks of the table's Alarm kind that carry no alarm label
// (outputs such as the strobes and the siren, the input checks).
bool isFault(const StatusField& f)
{
    return f.kind == StatusKind::Alarm && !f.alarm;
}

QVector<bool> faultsOf(const Energizer& energizer)
{
    QVector<bool> active;
    for (const StatusField& f : statusFields()) {
        if (isFault(f))
            active << (f.number(energizer) == 0);
    }
    return active;
}

QStringList faultNames()
{
    QStringList names;
    for (const StatusField& f : statusFields()) {
        if (isFault(f))
            names << QLatin1String(f.name);
    }
    return names;
}

} // namespace

TimelineRecorder::TimelineRecorder(TimelineStore* store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    m_flush.setInterval(FlushMs);
    connect(&m_flush, &QTimer::timeout, this, &TimelineRecorder::flush);
    m_prune.setSingleShot(true);
    connect(&m_prune, &QTimer::timeout, this, &TimelineRecorder::pruneStep);
}

TimelineRecorder::~TimelineRecorder()
{
    stop();
}

TimelineRecorder* TimelineRecorder::forSite(SiteBuses& buses, TimelineStore* store, const GatewayOptions& options, QObject* parent)
{
    auto* recorder = new TimelineRecorder(store, parent);
    recorder->watchSite(buses, options.allowZoneCommands);
    connect(recorder, &TimelineRecorder::unavailable, recorder, [](const QString& reason) {
        qCWarning(lcTimeline, "nothing is kept in the timeline: %s", qUtf8Printable(reason));
    });
    recorder->setRetention(options.timelineEventDays, options.timelineReadingDays);
    return recorder;
}

void TimelineRecorder::watchSite(const SiteBuses& buses, bool zoneCommands)
{
    for (const SiteBuses::Link& link : buses.links()) {
        for (Station* station : link.bus->stations())
            watch(*station, link.name);
        if (zoneCommands)
            watchZoneCommands(*link.bus, link.name, QStringLiteral("mqtt"));
    }
}

void TimelineRecorder::setStore(TimelineStore* store)
{
    m_store = store;
}

void TimelineRecorder::setRetention(int eventDays, int readingDays)
{
    m_eventDays = eventDays;
    m_readingDays = readingDays;
    m_prune.start(0);
}

void TimelineRecorder::watch(Station& station, const QString& link)
{
    for (const QMetaObject::Connection& c : m_watched.take(&station))
        disconnect(c);
    Station* s = &station;
    m_watched[s] = {
        connect(s, &Station::statusReceived, this, [this, s, link] { takeStatus(link, s->address(), s->energizer(), now()); }),
        connect(s, &Station::availabilityChanged, this,
                [this, s, link](Station::Availability a) {
                    if (a != Station::Availability::Unknown)
                        takeAvailability(link, s->address(), a == Station::Availability::Online, now());
                }),
        connect(s, &QObject::destroyed, this, [this, s] { m_watched.remove(s); }),
    };
    m_flush.start();
}

void TimelineRecorder::watchZoneCommands(EnergizerBus& bus, const QString& link, const QString& who)
{
    disconnect(m_zoneWatched.take(&bus));
    EnergizerBus* b = &bus;
    m_zoneWatched.insert(b, connect(b, &EnergizerBus::frameSent, this, [this, b, link, who](const QByteArray& frame) {
        const Station* station = frame.isEmpty() ? nullptr : b->station(quint8(frame.at(0)));
        const bool known = station && station->isOnline();
        takeZoneCommand(link, frame, known ? &station->energizer() : nullptr, who, now());
    }));
}

void TimelineRecorder::expectZoneCommand(const QString& link, int address, const QString& who, int timeoutMs)
{
    m_expected.insert(Key(link, address), {who, now() + timeoutMs});
}

void TimelineRecorder::watchHistory(HistoryKeeper& keeper, const QString& who)
{
    connect(&keeper, &HistoryKeeper::kept, this, [this, &keeper, who](HistoryKind kind, qint64 id) {
        static const QHash<int, TimelineKind> kinds{{int(HistoryKind::Read), TimelineKind::ConfigRead},
                                                    {int(HistoryKind::Backup), TimelineKind::ConfigBackup},
                                                    {int(HistoryKind::Written), TimelineKind::ConfigWritten},
                                                    {int(HistoryKind::Restored), TimelineKind::ConfigRestored}};
        // A block only sent is no event yet: written or restored follows when verified.
        if (!kinds.contains(int(kind)))
            return;
        TimelineEvent e;
        e.timeMs = now();
        e.link = keeper.link();
        e.address = keeper.address();
        e.kind = kinds.value(int(kind));
        e.who = who;
        e.historyId = id;
        record(e);
    });
}

void TimelineRecorder::takeStatus(const QString& link, int address, const Energizer& energizer, qint64 nowMs)
{
    if (m_stopped)
        return;
    const Key key(link, address);
    State& state = m_states[key];
    const auto event = [&](TimelineKind kind, const QString& detail) {
        record({0, nowMs, link, address, kind, detail, {}, 0});
    };

    const QVector<AlarmState> alarms = energizerAlarms(energizer);
    const QVector<bool> faults = faultsOf(energizer);
    // The first status: what is active then is news, what is not is not.
    for (int i = 0; i < alarms.size(); ++i) {
        const bool was = state.seen && state.alarms.value(i);
        if (alarms[i].active != was)
            event(alarms[i].active ? TimelineKind::AlarmRaised : TimelineKind::AlarmCleared, QLatin1String(alarms[i].name));
    }
    static const QStringList faultNameList = faultNames();
    for (int i = 0; i < faults.size(); ++i) {
        const bool was = state.seen && state.faults.value(i);
        if (faults[i] != was)
            event(faults[i] ? TimelineKind::FaultRaised : TimelineKind::FaultCleared, faultNameList.value(i));
    }
    state.alarms.clear();
    for (const AlarmState& a : alarms)
        state.alarms << a.active;
    state.faults = faults;
    state.seen = true;

    const qint64 minute = nowMs / 60000;
    if (state.minute.minute != minute) {
        closeMinute(key, state);
        state.minute = Minute();
        state.minute.minute = minute;
    }
    Minute& m = state.minute;
    static const QVector<const StatusField*> series = [] {
        QVector<const StatusField*> fields;
        for (const char* name : timelineSeries())
            fields << statusField(QLatin1String(name));
        return fields;
    }();
    for (int s = 0; s < TimelineSeriesCount; ++s) {
        const double v = series[s]->number(energizer);
        m.min[s] = m.count ? qMin(m.min[s], v) : v;
        m.max[s] = m.count ? qMax(m.max[s], v) : v;
        m.sum[s] += v;
    }
    ++m.count;
}

void TimelineRecorder::takeAvailability(const QString& link, int address, bool online, qint64 nowMs)
{
    if (m_stopped)
        return;
    record({0, nowMs, link, address, online ? TimelineKind::Online : TimelineKind::Offline, {}, {}, 0});
}

void TimelineRecorder::takeZoneCommand(const QString& link, const QByteArray& frame, const Energizer* known,
                                       const QString& who, qint64 nowMs)
{
    if (m_stopped || frame.size() != Frame::ZoneCommandLength || quint8(frame.at(2)) != Frame::CmdZone)
        return;
    const int address = quint8(frame.at(0));
    const auto expected = m_expected.take(Key(link, address));
    const QString sender = !expected.first.isEmpty() && expected.second >= nowMs ? expected.first : who;
    // The command carries both zones' wished state; what differs from the
    // last status is what was switched.
    const bool wasOn[] = {known && known->fenceOn1, known && known->fenceOn2};
    const bool wasHv[] = {known && known->fenceHv1, known && known->fenceHv2};
    for (int z = 0; z < 2; ++z) {
        const bool hv = quint8(frame.at(3)) & (1 << z);
        const bool on = quint8(frame.at(4)) & (1 << z);
        const QString zone = QString::number(z + 1);
        if (!known || on != wasOn[z])
            record({0, nowMs, link, address, on ? TimelineKind::ZoneOn : TimelineKind::ZoneOff, zone, sender, 0});
        if (!known || hv != wasHv[z])
            record({0, nowMs, link, address, hv ? TimelineKind::ZoneHigh : TimelineKind::ZoneLow, zone, sender, 0});
    }
}

void TimelineRecorder::record(const TimelineEvent& event)
{
    m_events.append(event);
    if (m_events.last().timeMs == 0)
        m_events.last().timeMs = now();
}

void TimelineRecorder::closeMinute(const Key& key, State& state)
{
    Minute& m = state.minute;
    if (m.count == 0)
        return;
    TimelineReading r;
    r.link = key.first;
    r.address = key.second;
    r.minute = m.minute;
    r.min = m.min;
    r.max = m.max;
    for (int s = 0; s < TimelineSeriesCount; ++s)
        r.mean[s] = m.sum[s] / m.count;
    m_readings.append(r);
    m = Minute();
}

void TimelineRecorder::closeMinutesBefore(qint64 minute)
{
    for (auto it = m_states.begin(); it != m_states.end(); ++it) {
        if (it->minute.minute < minute)
            closeMinute(it.key(), *it);
    }
}

void TimelineRecorder::flush()
{
    closeMinutesBefore(m_stopped ? LLONG_MAX : now() / 60000);
    if (!m_store || !hasPending())
        return;
    // A flush holds the event loop for a few rows only; the rest go next time.
    const int take = m_stopped ? m_readings.size() : qMin(m_readings.size(), MaxReadingsPerFlush);
    const QVector<TimelineReading> readings = m_readings.mid(0, take);
    const QString error = m_store->write(m_events, readings);
    // Kept or not, they are gone: a timeline that cannot be written never grows without bound.
    m_events.clear();
    m_readings.remove(0, take);
    if (!error.isEmpty())
        fail(error);
    else if (!m_readings.isEmpty() && !m_stopped)
        QTimer::singleShot(FlushGapMs, this, &TimelineRecorder::flush);
}

void TimelineRecorder::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_flush.stop();
    m_prune.stop();
    for (const auto& connections : qAsConst(m_watched)) {
        for (const QMetaObject::Connection& c : connections)
            disconnect(c);
    }
    for (const QMetaObject::Connection& c : qAsConst(m_zoneWatched))
        disconnect(c);
    flush();
}

void TimelineRecorder::pruneStep()
{
    if (!m_store || !m_store->isAvailable())
        return;
    const qint64 t = now();
    const StoreResult<TimelinePruned> pruned = m_store->prune(t - m_eventDays * DayMs, t - m_readingDays * DayMs, PruneRows);
    if (!pruned.ok()) {
        fail(pruned.error);
        m_prune.start(PruneIdleMs);
        return;
    }
    m_prune.start(pruned.value.finished ? PruneIdleMs : PruneBusyMs);
}

void TimelineRecorder::fail(const QString& reason)
{
    if (m_told)
        return;
    m_told = true;
    emit unavailable(reason);
}

#include "moc_timelinerecorder.cpp"
