#pragma once

#include "protocol/frames.h"
#include "services/sqlitefile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QVector>

// Every configuration block seen on or written to an energizer, kept in one
// SQLite file per user that the window, energizer-cli and the gateway share.
//
// An entry is a version of an energizer's block (energizer = link + address):
// its time is when that version first appeared, its user and host who brought
// it (written, restored) or first saw it (read, backup), and seen_again when
// it was last known to be still there. So "what was on it last Tuesday?" is
// the newest entry of that energizer not younger than Tuesday, and "who
// changed it?" is that entry's user.
//
// That is why every kind dedupes alike: a block identical to the energizer's
// latest entry adds nothing, only moves that entry's seen_again, and add()
// returns that entry's id. A backup then names the entry that holds exactly
// the bytes on the energizer (restoring it puts them back), and a write that
// changed nothing leaves no version that differs from none. A block that
// differs from the latest entry is always a new entry, whatever its kind;
// A, B, A again is three entries.
//
// Only the 52 bytes and the metadata are kept, never a PIN someone typed.
//
// A file that cannot be opened or used leaves the store unavailable with a
// one-line reason; every call then fails at once with that reason, so the
// caller can say it once and go on talking to the energizer. A call waits for
// another process's write at most the busy timeout, then fails with a reason
// (never a made-up id) and the store stays available. One connection per
// instance, used from the thread that made it.

// Sent: on its way, not yet verified (a write cut off stays so).
enum class HistoryKind { Read, Backup, Written, Restored, Sent };

// "read", "backup", "written", "restored", "sent".
QString historyKindName(HistoryKind kind);
// False for any other text.
bool historyKindFromName(const QString& name, HistoryKind* kind);

struct HistoryEntry
{
    qint64 id = 0;
    QDateTime time;      // UTC, milliseconds
    QDateTime seenAgain; // UTC; null when the block was never seen again
    QString link;        // as the CLI names it: "/dev/ttyUSB0", "udp-IP-PORT", "tcp-IP-PORT"
    int address = 0;     // 0..63
    HistoryKind kind = HistoryKind::Read;
    QString user;
    QString host;
    ConfigBlock block{};
    // list(): the block of the previous entry of the same energizer, when
    // there is one and it is usable; what this version changed against it.
    bool hasPrevious = false;
    ConfigBlock previous{};
    // list(): why block is no configuration ("history entry 17 holds 51
    // bytes, ..."); empty when it is one. entry() refuses such an entry.
    QString problem;
};

struct HistoryFilter
{
    QString link;     // empty: every link
    int address = -1; // -1: every address
    int limit = 0;    // 0: no limit
};

template <typename T>
using HistoryResult = StoreResult<T>;

class HistoryStore
{
    Q_DECLARE_TR_FUNCTIONS(HistoryStore)
public:
    static constexpr int SchemaVersion = 2; // 2 added the kind 'sent'
    static constexpr int DefaultBusyTimeoutMs = 5000;

    // $XDG_DATA_HOME/energizer-configurator/history.sqlite, by default
    // ~/.local/share/energizer-configurator/history.sqlite.
    static QString defaultPath();

    // Opens (creating folder 0700 and file 0600 when missing) and migrates.
    explicit HistoryStore(const QString& path, int busyTimeoutMs = DefaultBusyTimeoutMs);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    QString path() const { return m_file.path(); }
    bool isAvailable() const { return m_problem.isEmpty(); }
    // Why the store is unavailable, one line; empty when it is available.
    QString problem() const { return m_problem; }

    // The id of the new entry, or of the latest entry of link+address when
    // block is identical to it (its seen_again then becomes now). One
    // transaction, so concurrent writers from other processes lose nothing.
    HistoryResult<qint64> add(const QString& link, int address, HistoryKind kind, const ConfigBlock& block);
    // Newest first, with changed counts.
    HistoryResult<QVector<HistoryEntry>> list(const HistoryFilter& filter = {}) const;
    // Refused for an unknown id or a stored block that is not 52 bytes.
    HistoryResult<HistoryEntry> entry(qint64 id) const;

private:
    QString open(int busyTimeoutMs);
    QString migrate();
    QString failure(const QString& what, const QSqlError& error) const { return m_file.failure(what, error); }

    SqliteFile m_file;
    QSqlDatabase& m_db;
    QString m_problem;
    QString m_user;
    QString m_host;
};

