#pragma once

#include "services/sqlitefile.h"

#include <QCoreApplication>
#include <QHash>
#include <QPair>
#include <QString>
#include <QVector>

#include <array>
#include <climits>
#include <memory>

// What happened to an energizer; stored as these numbers, never renumber.
enum class TimelineKind {
    Online = 0,
    Offline = 1,
    AlarmRaised = 2, // detail: the status table's alarm label ("gate")
    AlarmCleared = 3,
    FaultRaised = 4, // detail: the check's field name ("strobe1Ok")
    FaultCleared = 5,
    ZoneOn = 6, // detail: "1" or "2"; who: window, cli, mqtt, web:USER
    ZoneOff = 7,
    ZoneHigh = 8,
    ZoneLow = 9,
    ConfigRead = 10, // history_id: the history's entry
    ConfigBackup = 11,
    ConfigWritten = 12,
    ConfigRestored = 13,
};

// "online", "alarm_raised", ...: the names the CLI prints.
QString timelineKindName(TimelineKind kind);
bool timelineKindFromNumber(int number, TimelineKind* kind);

struct TimelineEvent
{
    qint64 id = 0;
    qint64 timeMs = 0; // since the epoch, UTC
    QString link;
    int address = 0;
    TimelineKind kind = TimelineKind::Online;
    QString detail;
    QString who;
    qint64 historyId = 0; // 0: none
};

// The minute series: these status fields' names, in this order.
constexpr int TimelineSeriesCount = 5;
const std::array<const char*, TimelineSeriesCount>& timelineSeries();

struct TimelineReading
{
    QString link;
    int address = 0;
    qint64 minute = 0; // minutes since the epoch, UTC
    std::array<double, TimelineSeriesCount> min{}, mean{}, max{};
};

struct TimelinePruned
{
    int rows = 0;          // deleted by this step
    bool finished = false; // nothing older than asked is left
};

struct TimelineFilter
{
    QString link;         // empty: every link
    QVector<int> addresses; // empty: every address
    qint64 sinceMs = LLONG_MIN;
    qint64 untilMs = LLONG_MAX;
    int bucketMinutes = 1; // readings(): more, a reading per so many minutes
};

// The site's timeline in one SQLite file beside the configuration history,
// by the same rules (SqliteFile). Unusable, every call fails at once with the
// reason, so a writer says it once and goes on.
//
// Readings are kept in integer columns, one row per energizer and minute in
// a table keyed by (energizer, minute) without a rowid: under 100 kB per
// energizer and day.
class TimelineStore
{
    Q_DECLARE_TR_FUNCTIONS(TimelineStore)
public:
    static constexpr int SchemaVersion = 1;
    // How often the write-ahead log is copied back into the file.
    static constexpr int CheckpointMs = 2000;
    static constexpr int DefaultBusyTimeoutMs = 5000;

    // Beside the history: $XDG_DATA_HOME/energizer-configurator/timeline.sqlite.
    static QString defaultPath();
    // The gateway's: $STATE_DIRECTORY (a systemd service's) when set, else defaultPath().
    static QString servicePath();

    explicit TimelineStore(const QString& path, int busyTimeoutMs = DefaultBusyTimeoutMs);

    QString path() const { return m_file.path(); }
    bool isAvailable() const { return m_problem.isEmpty(); }
    QString problem() const { return m_problem; }

    // One transaction; a reading of a minute already kept is left as it was. Empty
    // on success, else why nothing was written.
    QString write(const QVector<TimelineEvent>& events, const QVector<TimelineReading>& readings);
    // Oldest first.
    StoreResult<QVector<TimelineEvent>> events(const TimelineFilter& filter) const;
    // Oldest first, of every energizer the filter names.
    StoreResult<QVector<TimelineReading>> readings(const TimelineFilter& filter) const;
    // One small step in one transaction: deletes at most maxRows events older
    // than eventsBeforeMs and readings older than readingsBeforeMs; fewer
    // while steps take longer than StepBudgetMs (a slow or busy disk).
    StoreResult<TimelinePruned> prune(qint64 eventsBeforeMs, qint64 readingsBeforeMs, int maxRows);
    static constexpr int StepBudgetMs = 3;

private:
    QString open(int busyTimeoutMs);
    QString create();
    // The energizer's number in the readings table, added when new; 0 on failure.
    qint64 energizerId(const QString& link, int address);
    StoreResult<TimelinePruned> pruneRows(qint64 eventsBeforeMs, qint64 readingsBeforeMs, int maxRows);

    SqliteFile m_file;
    std::unique_ptr<WalCheckpointer> m_checkpointer;
    QSqlDatabase& m_db;
    QString m_problem;
    QHash<QPair<QString, int>, qint64> m_ids;
    qint64 m_pruneAfter = 0;    // readings: the energizers up to this one are done this round
    bool m_roundDeleted = false; // and some of this round's had old ones
    int m_stepRows = 0;          // rows a pruning step may delete now; 0: as many as asked
};
