#pragma once

#include "protocol/settings.h"
#include "services/timelinestore.h"

#include <QHash>
#include <QLoggingCategory>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTimer>
#include <QVector>

#include <array>

class Energizer;
class EnergizerBus;
class HistoryKeeper;
class SiteBuses;
class Station;
struct GatewayOptions;

// "energizer.timeline": why the timeline cannot be written.
Q_DECLARE_LOGGING_CATEGORY(lcTimeline)

// Turns what the stations see into the timeline: on and off line, alarms and
// faults raised and cleared, zone commands with who sent them, configuration
// entries kept in the history, and each energizer's minute readings (min,
// mean and max of the series). Everything is queued in memory and written in
// one transaction per flush, a few rows at a time, so a site of a thousand
// energizers costs little. The timeline is a record, never a condition: when
// it cannot be written, that is said once and polling goes on.
class TimelineRecorder : public QObject
{
    Q_OBJECT
public:
    static constexpr int FlushMs = 5000;
    // About 4 ms a transaction; the rest follow FlushGapMs apart, so polls go between them.
    static constexpr int MaxReadingsPerFlush = 100;
    static constexpr int FlushGapMs = 50;
    static constexpr int PruneRows = 100;
    // The pause between two pruning steps while old rows are left.
    static constexpr int PruneBusyMs = 200;
    static constexpr int DefaultEventDays = DefaultTimelineEventDays;
    static constexpr int DefaultReadingDays = DefaultTimelineReadingDays;

    // store may be null: everything waits in memory until setStore().
    explicit TimelineRecorder(TimelineStore* store, QObject* parent = nullptr);
    ~TimelineRecorder() override;

    // The gateway's: every station of the site, zone commands as MQTT's,
    // the site's retention; a store it cannot write to is warned about once.
    static TimelineRecorder* forSite(SiteBuses& buses, TimelineStore* store, const GatewayOptions& options, QObject* parent);

    // Every station of the site, again after a reload changed its links.
    void watchSite(const SiteBuses& buses, bool zoneCommands);
    void setStore(TimelineStore* store);
    // Starts pruning, in small steps, what is older than this.
    void setRetention(int eventDays, int readingDays);

    // The station's availability and statuses under this link's name; again
    // with another name after the window changed its link.
    void watch(Station& station, const QString& link);
    // Zone commands sent on bus, recorded as who's.
    void watchZoneCommands(EnergizerBus& bus, const QString& link, const QString& who);
    // The next zone command sent to this energizer within timeoutMs is who's,
    // not the bus watcher's (a switch from the web page: "web:USER").
    void expectZoneCommand(const QString& link, int address, const QString& who, int timeoutMs);
    // Configuration entries the keeper keeps, joined by the history's id.
    void watchHistory(HistoryKeeper& keeper, const QString& who);

    // What the watchers feed in; public so a test can feed decoded statuses.
    void takeStatus(const QString& link, int address, const Energizer& energizer, qint64 nowMs);
    void takeAvailability(const QString& link, int address, bool online, qint64 nowMs);
    // known: the energizer's last status, null when there is none.
    void takeZoneCommand(const QString& link, const QByteArray& frame, const Energizer* known, const QString& who, qint64 nowMs);
    void record(const TimelineEvent& event);

    bool hasPending() const { return !m_events.isEmpty() || !m_readings.isEmpty(); }
    // Writes what waits (readings of finished minutes, at most
    // MaxReadingsPerFlush) in one transaction.
    void flush();
    // Writes everything, the minutes under way too, and stops watching.
    void stop();

signals:
    // The first time nothing could be written, with the reason.
    void unavailable(const QString& reason);

private:
    struct Minute
    {
        qint64 minute = -1;
        int count = 0;
        std::array<double, TimelineSeriesCount> min{}, sum{}, max{};
    };
    struct State
    {
        bool seen = false;                  // a status arrived: the flags below are known
        QVector<bool> alarms, faults;       // active, in table order
        Minute minute;
    };
    using Key = QPair<QString, int>;

    void closeMinute(const Key& key, State& state);
    void closeMinutesBefore(qint64 minute);
    void pruneStep();
    void fail(const QString& reason);

    TimelineStore* m_store;
    QHash<Key, State> m_states;
    QVector<TimelineEvent> m_events;
    QVector<TimelineReading> m_readings;
    QHash<Station*, QVector<QMetaObject::Connection>> m_watched;
    QHash<EnergizerBus*, QMetaObject::Connection> m_zoneWatched;
    QHash<Key, QPair<QString, qint64>> m_expected; // who sends the next zone command, until when
    QTimer m_flush;
    QTimer m_prune;
    int m_eventDays = DefaultEventDays;
    int m_readingDays = DefaultReadingDays;
    bool m_stopped = false;
    bool m_told = false;
};
