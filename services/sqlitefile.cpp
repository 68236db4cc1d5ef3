#include "services/sqlitefile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Creates each missing folder of path with mode 0700, whatever the umask.
QString makeFolders(const QString& path)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString at;
    for (const QString& part : parts) {
        at += QLatin1Char('/') + part;
        const QByteArray local = QFile::encodeName(at);
        struct stat st;
        if (::stat(local.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return SqliteFile::tr("cannot create folder %1: %2 is not a folder").arg(clean, at);
            continue;
        }
        if (::mkdir(local.constData(), 0700) != 0 && errno != EEXIST)
            return SqliteFile::tr("cannot create folder %1: %2").arg(at, errnoText());
        ::chmod(local.constData(), 0700);
    }
    return {};
}

} // namespace

QString SqliteFile::userDataPath(const QString& name)
{
    // The XDG rule: a relative XDG_DATA_HOME is to be ignored.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/energizer-configurator/") + name;
}

SqliteFile::SqliteFile(const QString& path, const QString& noun, const QString& connection)
    : m_path(path)
    , m_noun(noun)
    , m_connection(connection)
{
}

SqliteFile::~SqliteFile()
{
    close();
    QSqlDatabase::removeDatabase(m_connection);
}

void SqliteFile::close()
{
    m_db.close();
    m_db = QSqlDatabase();
}

QString SqliteFile::failure(const QString& what, const QSqlError& error) const
{
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.driverText();
    if (text.isEmpty())
        text = tr("unknown error");
    return tr("%1 %2: %3: %4").arg(m_noun, m_path, what, text).simplified();
}

QString SqliteFile::open(int busyTimeoutMs, int knownVersion, int* version)
{
    if (m_path.isEmpty())
        return tr("no %1 given").arg(m_noun);
    const QFileInfo info(m_path);
    if (info.isSymLink())
        return tr("%1 %2 is a symbolic link (to %3); give the file itself").arg(m_noun, m_path, info.symLinkTarget());
    if (info.isDir())
        return tr("%1 %2 is a folder, not a file").arg(m_noun, m_path);
    if (info.exists() && !info.isFile())
        return tr("%1 %2 is not a regular file").arg(m_noun, m_path);
    const QString folderProblem = makeFolders(info.absolutePath());
    if (!folderProblem.isEmpty())
        return folderProblem;

    // Created here rather than by SQLite so that it is 0600 from the start;
    // SQLite gives its -wal and -shm files the same mode.
    const QByteArray local = QFile::encodeName(m_path);
    const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600);
        ::close(fd);
    } else if (errno != EEXIST) {
        return tr("cannot create %1 %2: %3").arg(m_noun, m_path, errnoText());
    }

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!m_db.isValid())
        return tr("%1 not used: Qt's SQLite driver is missing (Debian: libqt5sql5-sqlite)").arg(m_noun);
    m_db.setDatabaseName(m_path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!m_db.open())
        return failure(tr("cannot open"), m_db.lastError());

    // SQLite reads the file only now: a garbage file fails here.
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return failure(tr("cannot read"), query.lastError());
    *version = query.value(0).toInt();
    query.finish();
    if (*version > knownVersion) {
        return tr("%1 %2 has schema version %3, newer than the %4 this program knows; "
                  "a newer version of it wrote the file")
            .arg(m_noun, m_path)
            .arg(*version)
            .arg(knownVersion);
    }
    if (*version < 0)
        return tr("%1 %2 has schema version %3, which no version of this program writes").arg(m_noun, m_path).arg(*version);

    // SQLite skips the busy handler for this switch when another process is
    // in the middle of creating the file, so wait for it here, as long as
    // the busy timeout allows.
    QElapsedTimer waited;
    waited.start();
    while (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next()) {
        if (query.lastError().nativeErrorCode() != QLatin1String("5") || waited.elapsed() >= busyTimeoutMs)
            return failure(tr("cannot switch to WAL mode"), query.lastError());
        query.finish();
        QThread::msleep(10);
    }
    const QString mode = query.value(0).toString();
    query.finish();
    if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return tr("%1 %2 stays in journal mode %3 instead of WAL").arg(m_noun, m_path, mode);
    return {};
}

WalCheckpointer::WalCheckpointer(const QString& path, int intervalMs)
    : m_thread(&WalCheckpointer::run, this, path, intervalMs)
{
}

WalCheckpointer::~WalCheckpointer()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void WalCheckpointer::run(const QString& path, int intervalMs)
{
    // A connection belongs to the thread that made it.
    const QString name = QStringLiteral("checkpoint-%1").arg(reinterpret_cast<quintptr>(this));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
        if (db.open()) {
            std::unique_lock<std::mutex> lock(m_mutex);
            while (!m_wake.wait_for(lock, std::chrono::milliseconds(intervalMs), [this] { return m_stop; })) {
                lock.unlock();
                // Passive: never waits for the writer; what it cannot copy now, it copies next time.
                QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
                lock.lock();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
