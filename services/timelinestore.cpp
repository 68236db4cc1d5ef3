#include "services/timelinestore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const char* const KindNames[] = {"online",        "offline",      "alarm_raised", "alarm_cleared", "fault_raised",
                                 "fault_cleared", "zone_on",      "zone_off",     "zone_high",     "zone_low",
                                 "config_read",   "config_backup", "config_written", "config_restored"};

// Each series' min, mean and max, in series order.
QString readingColumns()
{
    static const char* const parts[] = {"o1", "r1", "o2", "r2", "b"};
    QStringList columns;
    for (const char* part : parts) {
        for (const char* stat : {"min", "mean", "max"})
            columns << QStringLiteral("%1_%2").arg(QLatin1String(part), QLatin1String(stat));
    }
    return columns.join(QStringLiteral(", "));
}

// Stored as integers: the zones' voltages in volts, as the energizer gives
// them, the battery's in hundredths; SQLite keeps small integers in 1 to 3 bytes.
constexpr double Scale[TimelineSeriesCount] = {1, 1, 1, 1, 100};

// The hour table's: sums in place of means, mean = sum / n.
QString hourColumns()
{
    return readingColumns().replace(QStringLiteral("_mean"), QStringLiteral("_sum"));
}

qint64 stored(double volts, int series)
{
    return std::llround(volts * Scale[series]);
}

// "(?, ?, ?)" for n values.
QString marks(int n)
{
    QStringList list;
    for (int i = 0; i < n; ++i)
        list << QStringLiteral("?");
    return list.join(QStringLiteral(", "));
}

// The filter's conditions on columns link and address (and the energizer
// table's when prefix is "e."), with their values appended to values.
QString where(const TimelineFilter& filter, const QString& timeColumn, qint64 since, qint64 until, QVariantList* values)
{
    QStringList conditions{timeColumn + QStringLiteral(" >= ?"), timeColumn + QStringLiteral(" <= ?")};
    *values << since << until;
    if (!filter.link.isEmpty()) {
        conditions << QStringLiteral("link = ?");
        *values << filter.link;
    }
    if (!filter.addresses.isEmpty()) {
        conditions << QStringLiteral("address IN (%1)").arg(marks(filter.addresses.size()));
        for (int a : filter.addresses)
            *values << a;
    }
    return conditions.join(QStringLiteral(" AND "));
}

bool run(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

} // namespace

QString timelineKindName(TimelineKind kind)
{
    return QLatin1String(KindNames[static_cast<int>(kind)]);
}

bool timelineKindFromNumber(int number, TimelineKind* kind)
{
    if (number < 0 || number >= int(std::size(KindNames)))
        return false;
    *kind = static_cast<TimelineKind>(number);
    return true;
}

const std::array<const char*, TimelineSeriesCount>& timelineSeries()
{
    static const std::array<const char*, TimelineSeriesCount> names{
        "outputVoltage1", "returnVoltage1", "outputVoltage2", "returnVoltage2", "batteryVoltage"};
    return names;
}

QString TimelineStore::defaultPath()
{
    return SqliteFile::userDataPath(QStringLiteral("timeline.sqlite"));
}

QString TimelineStore::servicePath()
{
    // systemd may list several folders; the first is the service's own.
    const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (state.isEmpty() || QDir::isRelativePath(state))
        return defaultPath();
    return state + QStringLiteral("/timeline.sqlite");
}

TimelineStore::TimelineStore(const QString& path, int busyTimeoutMs)
    : m_file(path, tr("timeline file"), QString::asprintf("energizer-timeline-%p", static_cast<void*>(this)))
    , m_db(m_file.db())
{
    m_problem = open(busyTimeoutMs);
    if (!m_problem.isEmpty())
        m_file.close();
}

QString TimelineStore::open(int busyTimeoutMs)
{
    int version = 0;
    const QString problem = m_file.open(busyTimeoutMs, SchemaVersion, &version);
    if (!problem.isEmpty())
        return problem;
    // A power cut may lose the last seconds, never the file; each flush then
    // costs no disk sync.
    QSqlQuery(m_db).exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    if (version == 0) {
        const QString why = create();
        if (!why.isEmpty())
            return why;
    }
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT id, time, link, address, kind, detail, who, history_id FROM events LIMIT 0"))
        || !query.exec(QStringLiteral("SELECT energizer, minute, %1 FROM readings LIMIT 0").arg(readingColumns()))
        || !query.exec(QStringLiteral("SELECT energizer, hour, n, %1 FROM hours LIMIT 0").arg(hourColumns())))
        return m_file.failure(tr("no timeline tables"), query.lastError());
    // The checkpoints' disk syncs in a thread of their own, not in a write or
    // a pruning step. The connection's own checkpoint stays as the backstop
    // for a log that grows faster than the thread copies it.
    m_checkpointer = std::make_unique<WalCheckpointer>(m_file.path(), CheckpointMs);
    return {};
}

QString TimelineStore::create()
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return m_file.failure(tr("cannot create the timeline tables"), query.lastError());
    QStringList columns, sums;
    for (const QString& c : readingColumns().split(QStringLiteral(", ")))
        columns << c + QStringLiteral(" INTEGER");
    for (const QString& c : hourColumns().split(QStringLiteral(", ")))
        sums << c + QStringLiteral(" INTEGER");
    // IF NOT EXISTS: another process may have created them before our lock.
    const QStringList statements{
        QStringLiteral("CREATE TABLE IF NOT EXISTS events (id INTEGER PRIMARY KEY, time INTEGER NOT NULL,"
                       " link TEXT NOT NULL, address INTEGER NOT NULL CHECK (address BETWEEN 0 AND 63),"
                       " kind INTEGER NOT NULL, detail TEXT NOT NULL, who TEXT NOT NULL, history_id INTEGER)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS events_time ON events (time)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS energizers (id INTEGER PRIMARY KEY, link TEXT NOT NULL,"
                       " address INTEGER NOT NULL, UNIQUE (link, address))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS readings (energizer INTEGER NOT NULL, minute INTEGER NOT NULL, %1,"
                       " PRIMARY KEY (energizer, minute)) WITHOUT ROWID")
            .arg(columns.join(QStringLiteral(", "))),
        // Each energizer's hours beside its minutes: a long trend reads 60 times fewer rows.
        QStringLiteral("CREATE TABLE IF NOT EXISTS hours (energizer INTEGER NOT NULL, hour INTEGER NOT NULL, n INTEGER NOT NULL,"
                       " %1, PRIMARY KEY (energizer, hour)) WITHOUT ROWID")
            .arg(sums.join(QStringLiteral(", "))),
        QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion),
        QStringLiteral("COMMIT")};
    for (const QString& statement : statements) {
        if (!query.exec(statement)) {
            const QString why = m_file.failure(tr("cannot create the timeline tables"), query.lastError());
            QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
            return why;
        }
    }
    return {};
}

qint64 TimelineStore::energizerId(const QString& link, int address)
{
    const QPair<QString, int> key(link, address);
    if (const qint64 id = m_ids.value(key))
        return id;
    QSqlQuery query(m_db);
    if (!run(query, QStringLiteral("INSERT OR IGNORE INTO energizers (link, address) VALUES (?, ?)"), {link, address})
        || !run(query, QStringLiteral("SELECT id FROM energizers WHERE link = ? AND address = ?"), {link, address})
        || !query.next())
        return 0;
    const qint64 id = query.value(0).toLongLong();
    m_ids.insert(key, id);
    return id;
}

QString TimelineStore::write(const QVector<TimelineEvent>& events, const QVector<TimelineReading>& readings)
{
    if (!isAvailable())
        return m_problem;
    const QString what = tr("not written");
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return m_file.failure(what, query.lastError());
    const auto abandon = [&](const QSqlQuery& failed) {
        const QString why = m_file.failure(what, failed.lastError());
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        // An id cached in a rolled-back transaction may not exist.
        m_ids.clear();
        return why;
    };
    if (!events.isEmpty()) {
        query.prepare(QStringLiteral("INSERT INTO events (time, link, address, kind, detail, who, history_id)"
                                     " VALUES (?, ?, ?, ?, ?, ?, ?)"));
        for (const TimelineEvent& e : events) {
            query.addBindValue(e.timeMs);
            query.addBindValue(e.link);
            query.addBindValue(e.address);
            query.addBindValue(static_cast<int>(e.kind));
            // A null text would bind as NULL.
            query.addBindValue(e.detail.isNull() ? QStringLiteral("") : e.detail);
            query.addBindValue(e.who.isNull() ? QStringLiteral("") : e.who);
            query.addBindValue(e.historyId > 0 ? QVariant(e.historyId) : QVariant(QVariant::LongLong));
            if (!query.exec())
                return abandon(query);
        }
    }
    if (!readings.isEmpty()) {
        QSqlQuery insert(m_db);
        // A minute written twice (a stop mid-minute) keeps its first row, and the
        // hour counts it once.
        insert.prepare(QStringLiteral("INSERT OR IGNORE INTO readings (energizer, minute, %1) VALUES (?, ?, %2)")
                           .arg(readingColumns(), marks(3 * TimelineSeriesCount)));
        QStringList merge{QStringLiteral("n = n + 1")};
        for (const QString& c : hourColumns().split(QStringLiteral(", "))) {
            const QString how = c.endsWith(QLatin1String("_sum")) ? QStringLiteral("%1 + excluded.%1")
                                : c.endsWith(QLatin1String("_min")) ? QStringLiteral("min(%1, excluded.%1)")
                                                                    : QStringLiteral("max(%1, excluded.%1)");
            merge << c + QStringLiteral(" = ") + how.arg(c);
        }
        QSqlQuery hour(m_db);
        hour.prepare(QStringLiteral("INSERT INTO hours (energizer, hour, n, %1) VALUES (?, ?, 1, %2)"
                                    " ON CONFLICT (energizer, hour) DO UPDATE SET %3")
                         .arg(hourColumns(), marks(3 * TimelineSeriesCount), merge.join(QStringLiteral(", "))));
        for (const TimelineReading& r : readings) {
            const qint64 id = energizerId(r.link, r.address);
            if (id == 0)
                return abandon(query);
            // The minute's row, then its share of the hour's.
            for (QSqlQuery* q : {&insert, &hour}) {
                q->addBindValue(id);
                q->addBindValue(q == &hour ? r.minute / 60 : r.minute);
                for (int s = 0; s < TimelineSeriesCount; ++s) {
                    q->addBindValue(stored(r.min[s], s));
                    q->addBindValue(stored(r.mean[s], s));
                    q->addBindValue(stored(r.max[s], s));
                }
                if (!q->exec())
                    return abandon(*q);
                if (q == &insert && insert.numRowsAffected() == 0)
                    break;
            }
        }
    }
    if (!query.exec(QStringLiteral("COMMIT")))
        return abandon(query);
    return {};
}

StoreResult<QVector<TimelineEvent>> TimelineStore::events(const TimelineFilter& filter) const
{
    if (!isAvailable())
        return {{}, m_problem};
    QVariantList values;
    const QString sql = QStringLiteral("SELECT id, time, link, address, kind, detail, who, history_id FROM events"
                                       " WHERE %1 ORDER BY time, id")
                            .arg(where(filter, QStringLiteral("time"), filter.sinceMs, filter.untilMs, &values));
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!run(query, sql, values))
        return {{}, m_file.failure(tr("cannot list"), query.lastError())};
    QVector<TimelineEvent> events;
    while (query.next()) {
        TimelineEvent e;
        if (!timelineKindFromNumber(query.value(4).toInt(), &e.kind))
            continue; // a kind of a newer version
        e.id = query.value(0).toLongLong();
        e.timeMs = query.value(1).toLongLong();
        e.link = query.value(2).toString();
        e.address = query.value(3).toInt();
        e.detail = query.value(5).toString();
        e.who = query.value(6).toString();
        e.historyId = query.value(7).toLongLong();
        events.append(e);
    }
    return {events, {}};
}

StoreResult<QVector<TimelineReading>> TimelineStore::readings(const TimelineFilter& filter) const
{
    if (!isAvailable())
        return {{}, m_problem};
    // Minutes that touch the range.
    const auto minute = [](qint64 ms) { return ms == LLONG_MIN || ms == LLONG_MAX ? ms : ms / 60000 - (ms % 60000 < 0); };
    QVariantList values;
    QString conditions = where(filter, QStringLiteral("r.minute"), minute(filter.sinceMs), minute(filter.untilMs), &values);
    // Longer spans: each bucket's min of the minimums, mean of the means, max
    // of the maximums; from the hours when the buckets are whole hours.
    const qint64 bucket = qMax(1, filter.bucketMinutes);
    const bool hours = bucket % 60 == 0;
    QStringList columns;
    const QStringList names = (hours ? hourColumns() : readingColumns()).split(QStringLiteral(", "));
    for (int i = 0; i < names.size(); ++i) {
        columns << (i % 3 == 0   ? QStringLiteral("min(%1)")
                    : i % 3 == 2 ? QStringLiteral("max(%1)")
                    : hours      ? QStringLiteral("CAST(sum(%1) AS REAL) / sum(n)")
                                 : QStringLiteral("avg(%1)"))
                       .arg(names[i]);
    }
    const QString start = hours ? QStringLiteral("hour * 60") : QStringLiteral("minute");
    const QString sql = QStringLiteral("SELECT link, address, %1 / %2 * %2 AS start, %3 FROM %4 r"
                                       " JOIN energizers e ON e.id = r.energizer WHERE %5"
                                       " GROUP BY r.energizer, %1 / %2 ORDER BY link, address, start")
                            .arg(start)
                            .arg(bucket)
                            .arg(bucket == 1 ? readingColumns() : columns.join(QStringLiteral(", ")),
                                 hours ? QStringLiteral("hours") : QStringLiteral("readings"),
                                 conditions.replace(QStringLiteral("r.minute"), QStringLiteral("(%1)").arg(start)));
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!run(query, sql, values))
        return {{}, m_file.failure(tr("cannot list"), query.lastError())};
    QVector<TimelineReading> readings;
    while (query.next()) {
        TimelineReading r;
        r.link = query.value(0).toString();
        r.address = query.value(1).toInt();
        r.minute = query.value(2).toLongLong();
        for (int s = 0; s < TimelineSeriesCount; ++s) {
            r.min[s] = query.value(3 + 3 * s).toDouble() / Scale[s];
            r.mean[s] = query.value(4 + 3 * s).toDouble() / Scale[s];
            r.max[s] = query.value(5 + 3 * s).toDouble() / Scale[s];
        }
        readings.append(r);
    }
    return {readings, {}};
}

StoreResult<TimelinePruned> TimelineStore::prune(qint64 eventsBeforeMs, qint64 readingsBeforeMs, int maxRows)
{
    if (!isAvailable())
        return {{}, m_problem};
    QElapsedTimer took;
    took.start();
    const int rows = m_stepRows > 0 ? std::min(m_stepRows, maxRows) : maxRows;
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("BEGIN")))
        return {{}, m_file.failure(tr("not pruned"), query.lastError())};
    StoreResult<TimelinePruned> pruned = pruneRows(eventsBeforeMs, readingsBeforeMs, rows);
    if (!query.exec(pruned.ok() ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK")) && pruned.ok())
        pruned = {{}, m_file.failure(tr("not pruned"), query.lastError())};
    // Halve the step while it takes too long, grow it back while it is quick.
    const double ms = took.nsecsElapsed() / 1e6;
    m_stepRows = ms > StepBudgetMs ? std::max(10, rows / 2) : ms < StepBudgetMs / 3.0 ? std::min(maxRows, rows * 2) : rows;
    return pruned;
}

StoreResult<TimelinePruned> TimelineStore::pruneRows(qint64 eventsBeforeMs, qint64 readingsBeforeMs, int maxRows)
{
    const QString what = tr("not pruned");
    QSqlQuery query(m_db);
    // The time index finds the oldest events without a scan.
    if (!run(query, QStringLiteral("DELETE FROM events WHERE id IN (SELECT id FROM events WHERE time < ? ORDER BY time LIMIT ?)"),
             {eventsBeforeMs, maxRows}))
        return {{}, m_file.failure(what, query.lastError())};
    TimelinePruned pruned;
    pruned.rows = query.numRowsAffected();
    if (pruned.rows >= maxRows)
        return {pruned, {}};
    // Readings one energizer at a time from its own oldest minute, found by
    // the key, so no index on the minute alone is needed. A few energizers a
    // step; finished once a whole round found nothing old.
    const qint64 beforeMinute = readingsBeforeMs / 60000;
    for (int visits = 0; visits < 32 && pruned.rows < maxRows; ++visits) {
        if (!run(query, QStringLiteral("SELECT min(id) FROM energizers WHERE id > ?"), {m_pruneAfter}) || !query.next())
            return {{}, m_file.failure(what, query.lastError())};
        if (query.value(0).isNull()) {
            query.finish();
            const bool idle = m_pruneAfter == 0 || !m_roundDeleted;
            m_pruneAfter = 0;
            m_roundDeleted = false;
            if (idle) {
                pruned.finished = pruned.rows == 0;
                break;
            }
            continue;
        }
        const qint64 id = query.value(0).toLongLong();
        query.finish();
        if (!run(query, QStringLiteral("DELETE FROM readings WHERE energizer = ? AND minute < ?"
                                       " AND minute < (SELECT min(minute) FROM readings WHERE energizer = ?) + ?"),
                 {id, beforeMinute, id, maxRows - pruned.rows}))
            return {{}, m_file.failure(what, query.lastError())};
        const int removed = query.numRowsAffected();
        pruned.rows += removed;
        if (removed > 0 && !run(query, QStringLiteral("DELETE FROM hours WHERE energizer = ? AND hour < ?"), {id, beforeMinute / 60}))
            return {{}, m_file.failure(what, query.lastError())};
        m_roundDeleted = m_roundDeleted || removed > 0;
        // Fewer than asked: nothing old is left there.
        if (removed < maxRows - (pruned.rows - removed))
            m_pruneAfter = id;
    }
    return {pruned, {}};
}
