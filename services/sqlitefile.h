#pragma once

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

class QSqlError;

// A call's value, or one line saying why there is none.
template <typename T>
struct StoreResult
{
    T value{};
    QString error; // one line; empty on success
    bool ok() const { return error.isEmpty(); }
};

// One per-user SQLite file of this tool (the configuration history, the
// timeline), opened by the rules they share: folders 0700 and the file 0600
// from the start, a symbolic link refused (its target would become a
// database of the mode SQLite picks), WAL, a busy timeout, and a schema
// version no newer than the one this program knows. One connection, closed
// with the object.
class SqliteFile
{
    Q_DECLARE_TR_FUNCTIONS(SqliteFile)
public:
    // $XDG_DATA_HOME/energizer-configurator/NAME, by default
    // ~/.local/share/energizer-configurator/NAME.
    static QString userDataPath(const QString& name);

    // noun names the file in every reason: "history file".
    SqliteFile(const QString& path, const QString& noun, const QString& connection);
    ~SqliteFile();
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    // Empty when open, else why not; *version is the file's user_version
    // (0 for a new file). The caller creates or migrates its tables.
    QString open(int busyTimeoutMs, int knownVersion, int* version);
    void close();

    QSqlDatabase& db() { return m_db; }
    const QSqlDatabase& db() const { return m_db; }
    QString path() const { return m_path; }
    // "NOUN PATH: WHAT: database's reason", one line.
    QString failure(const QString& what, const QSqlError& error) const;

private:
    QString m_path;
    QString m_noun;
    QString m_connection;
    QSqlDatabase m_db;
};

// Copies a file's write-ahead log back into it from a thread and a
// connection of its own, every intervalMs, so that the log stays short and
// the writer's own checkpoint (at 1000 pages) with its disk syncs does not
// come in its event loop. Stops with the object.
class WalCheckpointer
{
public:
    WalCheckpointer(const QString& path, int intervalMs);
    ~WalCheckpointer();
    WalCheckpointer(const WalCheckpointer&) = delete;
    WalCheckpointer& operator=(const WalCheckpointer&) = delete;

private:
    void run(const QString& path, int intervalMs);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};
