#include "services/historystore.h"

#include "protocol/configrecord.h"

#include "services/historylog.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>

#include <iterator>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace {

// Indexed by HistoryKind; stored as these names.
const char* const KindNames[] = {"read", "backup", "written", "restored", "sent"};

const char EntryColumns[] = "e.id, e.time, e.seen_again, e.link, e.address, e.kind, e.user, e.host, e.block";

bool execWith(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

QString timeText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime timeFromText(const QVariant& value)
{
    if (value.isNull())
        return {};
    return QDateTime::fromString(value.toString(), Qt::ISODateWithMs).toUTC();
}

QByteArray blockBytes(const ConfigBlock& block)
{
    return QByteArray(reinterpret_cast<const char*>(block.data()), ConfigBlockSize);
}

bool toBlock(const QByteArray& bytes, ConfigBlock* block)
{
    if (bytes.size() != ConfigBlockSize)
        return false;
    std::memcpy(block->data(), bytes.constData(), ConfigBlockSize);
    return true;
}

QString currentUser()
{
    const QString user = qEnvironmentVariable("USER");
    if (!user.isEmpty())
        return user;
    if (const passwd* entry = getpwuid(geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(geteuid());
}

} // namespace

QString historyKindName(HistoryKind kind)
{
    return QLatin1String(KindNames[static_cast<int>(kind)]);
}

bool historyKindFromName(const QString& name, HistoryKind* kind)
{
    for (int i = 0; i < int(std::size(KindNames)); ++i) {
        if (name == QLatin1String(KindNames[i])) {
            *kind = static_cast<HistoryKind>(i);
            return true;
        }
    }
    return false;
}

QString HistoryStore::defaultPath()
{
    return SqliteFile::userDataPath(QStringLiteral("history.sqlite"));
}

HistoryStore::HistoryStore(const QString& path, int busyTimeoutMs)
    : m_file(path, tr("history file"), QString::asprintf("energizer-history-%p", static_cast<void*>(this)))
    , m_db(m_file.db())
    , m_user(currentUser())
    , m_host(QSysInfo::machineHostName())
{
    m_problem = open(busyTimeoutMs);
    if (!m_problem.isEmpty()) {
        m_file.close();
        // Debug only: the caller tells the user, once.
        qCDebug(lcHistory) << "Unavailable:" << m_problem;
    } else {
        qCDebug(lcHistory) << "Opened" << path;
    }
}

HistoryStore::~HistoryStore() = default;

QString HistoryStore::open(int busyTimeoutMs)
{
    int version = 0;
    const QString problem = m_file.open(busyTimeoutMs, SchemaVersion, &version);
    if (!problem.isEmpty())
        return problem;
    if (version < SchemaVersion) {
        const QString why = migrate();
        if (!why.isEmpty())
            return why;
    }
    // A file that claims our version but lacks our table is not ours to use.
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT %1 FROM entries e LIMIT 0").arg(QLatin1String(EntryColumns))))
        return failure(tr("no history table"), query.lastError());
    return {};
}

QString HistoryStore::migrate()
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failure(tr("cannot create the history table"), query.lastError());
    const auto abandon = [this](const QSqlQuery& failed) {
        const QString why = failure(tr("cannot create the history table"), failed.lastError());
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        return why;
    };
    // Another process may have migrated between our check and our lock.
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return abandon(query);
    const int version = query.value(0).toInt();
    query.finish();
    const QString table = QStringLiteral("CREATE TABLE %1 ("
                                         " id INTEGER PRIMARY KEY,"
                                         " time TEXT NOT NULL,"
                                         " seen_again TEXT,"
                                         " link TEXT NOT NULL,"
                                         " address INTEGER NOT NULL CHECK (address BETWEEN 0 AND 63),"
                                         " kind TEXT NOT NULL CHECK (kind IN ('read', 'backup', 'written', 'restored', 'sent')),"
                                         " user TEXT NOT NULL,"
                                         " host TEXT NOT NULL,"
                                         " block BLOB NOT NULL)");
    QStringList statements;
    if (version == 0) {
        statements << table.arg(QLatin1String("entries"));
    } else if (version == 1) {
        // Version 1 knew no 'sent'; SQLite changes a CHECK only by copying the table.
        statements << table.arg(QLatin1String("entries_new"))
                   << QStringLiteral("INSERT INTO entries_new SELECT id, time, seen_again, link, address, kind, user, host, block FROM entries")
                   << QStringLiteral("DROP TABLE entries") << QStringLiteral("ALTER TABLE entries_new RENAME TO entries");
    }
    if (!statements.isEmpty()) {
        // The latest entry of one energizer, and its list, without a scan.
        statements << QStringLiteral("CREATE INDEX IF NOT EXISTS entries_energizer ON entries (link, address, id)")
                   << QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion);
        for (const QString& statement : statements) {
            if (!query.exec(statement))
                return abandon(query);
        }
    }
    if (!query.exec(QStringLiteral("COMMIT")))
        return abandon(query);
    return {};
}

HistoryResult<qint64> HistoryStore::add(const QString& link, int address, HistoryKind kind, const ConfigBlock& block)
{
    if (!isAvailable())
        return {0, m_problem};
    if (link.isEmpty())
        return {0, tr("history entry without a link")};
    if (address < 0 || address > 63)
        return {0, tr("history entry for address %1, not 0..63").arg(address)};

    const QString what = tr("not updated");
    QSqlQuery query(m_db);
    // IMMEDIATE takes the write lock before the read, so no other process can
    // add between our look at the latest entry and our insert.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return {0, failure(what, query.lastError())};
    const auto abandon = [&](const QSqlQuery& failed) {
        HistoryResult<qint64> result{0, failure(what, failed.lastError())};
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        return result;
    };

    const QByteArray bytes = blockBytes(block);
    const QString now = timeText(QDateTime::currentDateTimeUtc());
    if (!execWith(query, QStringLiteral("SELECT id, block, kind FROM entries WHERE link = ? AND address = ? ORDER BY id DESC LIMIT 1"),
                  {link, address}))
        return abandon(query);
    qint64 id = 0;
    bool confirmsSent = false;
    if (query.next()) {
        // The block sent, now verified (the bytes a read-back compares): the
        // entry becomes written or restored, with the block as read back.
        ConfigBlock sent{};
        confirmsSent = query.value(2).toString() == historyKindName(HistoryKind::Sent)
            && (kind == HistoryKind::Written || kind == HistoryKind::Restored)
            && toBlock(query.value(1).toByteArray(), &sent) && readBackMatches(sent, block);
        if (confirmsSent || query.value(1).toByteArray() == bytes)
            id = query.value(0).toLongLong();
    }
    query.finish();

    if (confirmsSent) {
        if (!execWith(query, QStringLiteral("UPDATE entries SET kind = ?, block = ? WHERE id = ?"),
                      {historyKindName(kind), bytes, id}))
            return abandon(query);
    } else if (id != 0) {
        if (!execWith(query, QStringLiteral("UPDATE entries SET seen_again = ? WHERE id = ?"), {now, id}))
            return abandon(query);
    } else {
        if (!execWith(query, QStringLiteral("INSERT INTO entries (time, link, address, kind, user, host, block)"
                                            " VALUES (?, ?, ?, ?, ?, ?, ?)"),
                      {now, link, address, historyKindName(kind), m_user, m_host, bytes}))
            return abandon(query);
        id = query.lastInsertId().toLongLong();
    }
    if (!query.exec(QStringLiteral("COMMIT")))
        return abandon(query);
    qCDebug(lcHistory) << "Entry" << id << historyKindName(kind) << link << address;
    return {id, {}};
}

namespace {

// Columns as EntryColumns lists them.
HistoryEntry readEntry(const QSqlQuery& query)
{
    HistoryEntry entry;
    entry.id = query.value(0).toLongLong();
    entry.time = timeFromText(query.value(1));
    entry.seenAgain = timeFromText(query.value(2));
    entry.link = query.value(3).toString();
    entry.address = query.value(4).toInt();
    const QString kind = query.value(5).toString();
    entry.user = query.value(6).toString();
    entry.host = query.value(7).toString();
    const QByteArray bytes = query.value(8).toByteArray();
    if (!toBlock(bytes, &entry.block)) {
        entry.problem = HistoryStore::tr("history entry %1 holds %2 bytes, not a configuration block")
                            .arg(entry.id)
                            .arg(bytes.size());
    } else if (!historyKindFromName(kind, &entry.kind)) {
        entry.problem = HistoryStore::tr("history entry %1 is of unknown kind '%2'").arg(entry.id).arg(kind);
    }
    return entry;
}

} // namespace

HistoryResult<QVector<HistoryEntry>> HistoryStore::list(const HistoryFilter& filter) const
{
    if (!isAvailable())
        return {{}, m_problem};
    QStringList conditions;
    if (!filter.link.isEmpty())
        conditions << QStringLiteral("e.link = ?");
    if (filter.address >= 0)
        conditions << QStringLiteral("e.address = ?");
    // The previous entry of the same energizer, which the filter or the limit may leave out.
    QString sql = QStringLiteral("SELECT %1, (SELECT p.block FROM entries p WHERE p.link = e.link"
                                 " AND p.address = e.address AND p.id < e.id ORDER BY p.id DESC LIMIT 1)"
                                 " FROM entries e")
                      .arg(QLatin1String(EntryColumns));
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY e.id DESC LIMIT ?");

    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(sql);
    if (!filter.link.isEmpty())
        query.addBindValue(filter.link);
    if (filter.address >= 0)
        query.addBindValue(filter.address);
    query.addBindValue(filter.limit > 0 ? filter.limit : -1);
    if (!query.exec())
        return {{}, failure(tr("cannot list"), query.lastError())};

    QVector<HistoryEntry> entries;
    while (query.next()) {
        HistoryEntry entry = readEntry(query);
        if (entry.problem.isEmpty() && !query.value(9).isNull())
            entry.hasPrevious = toBlock(query.value(9).toByteArray(), &entry.previous);
        entries.append(entry);
    }
    if (query.lastError().isValid())
        return {{}, failure(tr("cannot list"), query.lastError())};
    return {entries, {}};
}

HistoryResult<HistoryEntry> HistoryStore::entry(qint64 id) const
{
    if (!isAvailable())
        return {{}, m_problem};
    QSqlQuery query(m_db);
    if (!execWith(query, QStringLiteral("SELECT %1 FROM entries e WHERE e.id = ?").arg(QLatin1String(EntryColumns)), {id}))
        return {{}, failure(tr("cannot read"), query.lastError())};
    if (!query.next())
        return {{}, tr("no history entry %1").arg(id)};
    HistoryEntry found = readEntry(query);
    if (!found.problem.isEmpty())
        return {{}, found.problem};
    return {found, {}};
}
