#include "protocol/configdiff.h"
#include "services/historychanges.h"
#include "services/historystore.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char WriterArgument[] = "--add-entries";
constexpr int WriterEntries = 200;

// Default block with byte 9 (no parameter reads it) set to n, so
// blocks differ without choosing parameters.
ConfigBlock numbered(int n)
{
    ConfigBlock block = defaultConfigBlock();
    block[9] = static_cast<quint8>(n);
    return block;
}

int modeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// One statement on a connection of its own, beside the store's.
bool exec(const QString& path, const QString& sql)
{
    bool done = false;
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(path);
        QSqlQuery query(raw);
        done = raw.open() && query.exec(sql);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    return done;
}

// The second writer: the test binary run again with WriterArgument PATH TAG.
int addEntries(const QString& path, int tag)
{
    HistoryStore store(path);
    if (!store.isAvailable()) {
        fprintf(stderr, "%s\n", qPrintable(store.problem()));
        return 1;
    }
    for (int i = 0; i < WriterEntries; ++i) {
        ConfigBlock block = numbered(i);
        block[39] = static_cast<quint8>(tag);
        const HistoryResult<qint64> added = store.add(QStringLiteral("udp-127.0.0.1-6128"), 1, HistoryKind::Read, block);
        if (!added.ok()) {
            fprintf(stderr, "%s\n", qPrintable(added.error));
            return 2;
        }
    }
    return 0;
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString file(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

private slots:
    void addDedupesAndKeepsSeenAgain()
    {
        HistoryStore store(file("dedupe.sqlite"));
        QVERIFY2(store.isAvailable(), qPrintable(store.problem()));
        const QString link = QStringLiteral("/dev/ttyUSB0");
        const ConfigBlock a = numbered(1);

        const qint64 first = store.add(link, 3, HistoryKind::Read, a).value;
        QVERIFY(first > 0);
        HistoryResult<HistoryEntry> got = store.entry(first);
        QVERIFY2(got.ok(), qPrintable(got.error));
        QCOMPARE(got.value.link, link);
        QCOMPARE(got.value.address, 3);
        QCOMPARE(got.value.kind, HistoryKind::Read);
        QCOMPARE(got.value.block, a);
        QCOMPARE(got.value.user.isEmpty(), false);
        QCOMPARE(got.value.time.timeSpec(), Qt::UTC);
        QVERIFY(qAbs(got.value.time.msecsTo(QDateTime::currentDateTimeUtc())) < 60000);
        QVERIFY(got.value.seenAgain.isNull());

        // The same block again, whatever the kind: the same entry, seen again.
        QCOMPARE(store.add(link, 3, HistoryKind::Read, a).value, first);
        QCOMPARE(store.add(link, 3, HistoryKind::Backup, a).value, first);
        got = store.entry(first);
        QVERIFY(got.value.seenAgain.isValid());
        QVERIFY(got.value.seenAgain >= got.value.time);
        QCOMPARE(got.value.kind, HistoryKind::Read);

        // Another energizer is another history; a changed block is a new entry,
        // and going back to an earlier block is one more.
        const qint64 other = store.add(link, 4, HistoryKind::Read, a).value;
        const qint64 written = store.add(link, 3, HistoryKind::Written, numbered(2)).value;
        const qint64 restored = store.add(link, 3, HistoryKind::Restored, a).value;
        QCOMPARE(QSet<qint64>({first, other, written, restored}).size(), 4);
        QCOMPARE(store.entry(restored).value.kind, HistoryKind::Restored);
        QCOMPARE(store.list().value.size(), 4);

        QVERIFY(!store.add(link, 64, HistoryKind::Read, a).ok());
        QVERIFY(!store.entry(99).ok());
    }

    void listNewestFirstWithChanges()
    {
        HistoryStore store(file("list.sqlite"));
        const QString north = QStringLiteral("tcp-127.0.0.1-6128");
        const QString south = QStringLiteral("udp-127.0.0.1-6129");
        ConfigBlock changed = defaultConfigBlock();
        setParam(changed, 1, 1 - getParam(changed, 1).toInt());     // SilentAlrm
        setParam(changed, 17, getParam(changed, 17).toInt() + 1);   // GateAlarmDelay
        setParam(changed, 20, QStringLiteral("123456"));            // InstallerPIN

        const qint64 n1 = store.add(north, 1, HistoryKind::Read, defaultConfigBlock()).value;
        const qint64 s1 = store.add(south, 1, HistoryKind::Read, numbered(9)).value; // between n1 and n2
        const qint64 n2 = store.add(north, 1, HistoryKind::Written, changed).value;
        const qint64 n3 = store.add(north, 1, HistoryKind::Read, numbered(200)).value; // bytes only

        const QVector<HistoryEntry> all = store.list().value;
        QVector<qint64> ids;
        QVector<int> counts;
        for (const HistoryEntry& e : all) {
            ids << e.id;
            counts << historyChanges(e);
        }
        QCOMPARE(ids, (QVector<qint64>{n3, n2, s1, n1}));
        // Against the previous entry of the same energizer, not the previous row.
        QCOMPARE(counts, (QVector<int>{3, 3, -1, -1}));

        // The previous entry counts even when the filter or the limit leaves it out.
        const QVector<HistoryEntry> limited = store.list({north, 1, 2}).value;
        QCOMPARE(limited.size(), 2);
        QCOMPARE(limited.at(1).id, n2);
        QCOMPARE(historyChanges(limited.at(1)), 3);
        QCOMPARE(store.list({south, -1, 0}).value.size(), 1);
        QCOMPARE(store.list({QString(), 2, 0}).value.size(), 0);
    }

    void refusesBlockOfWrongLength()
    {
        const QString path = file("short.sqlite");
        HistoryStore store(path);
        const qint64 good = store.add(QStringLiteral("/dev/ttyS0"), 1, HistoryKind::Read, numbered(1)).value;
        const qint64 bad = store.add(QStringLiteral("/dev/ttyS0"), 1, HistoryKind::Read, numbered(2)).value;
        QVERIFY(exec(path, QStringLiteral("UPDATE entries SET block = substr(block, 1, 51) WHERE id = %1").arg(bad)));

        const HistoryResult<HistoryEntry> got = store.entry(bad);
        QVERIFY(!got.ok());
        QCOMPARE(got.error, QStringLiteral("history entry %1 holds 51 bytes, not a configuration block").arg(bad));
        // The list still shows it, marked, and counts nothing against it.
        const QVector<HistoryEntry> all = store.list().value;
        QCOMPARE(all.size(), 2);
        QCOMPARE(all.at(0).problem, got.error);
        QCOMPARE(historyChanges(all.at(0)), -1);
        QVERIFY(store.entry(good).ok());
    }

    void createsPrivateFolderAndFile()
    {
        const QString folder = file("deep/energizer-configurator");
        const QString path = folder + QStringLiteral("/history.sqlite");
        const mode_t previous = ::umask(0); // the modes must not depend on it
        {
            HistoryStore store(path);
            ::umask(previous);
            QVERIFY2(store.isAvailable(), qPrintable(store.problem()));
            QVERIFY(store.add(QStringLiteral("/dev/ttyS0"), 1, HistoryKind::Read, numbered(1)).ok());
            QCOMPARE(modeOf(path + QStringLiteral("-wal")), 0600);
        }
        ::umask(previous);
        QCOMPARE(modeOf(file("deep")), 0700);
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(modeOf(path), 0600);
    }

    void unusableFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("rootReadsIt");

        const QString folder = file("a-folder");
        QDir().mkpath(folder);
        QTest::newRow("folder") << folder << "is a folder" << false;

        const QString garbage = file("garbage.sqlite");
        QFile g(garbage);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(QByteArray(4096, 'x'));
        g.close();
        QTest::newRow("garbage") << garbage << "file is not a database" << false;

        const QString newer = file("newer.sqlite");
        QVERIFY(exec(newer, QStringLiteral("PRAGMA user_version = 7")));
        QTest::newRow("newer schema") << newer << "schema version 7, newer than the 2" << false;

        const QString dangling = file("dangling.sqlite");
        QVERIFY(QFile::link(file("nowhere"), dangling));
        QTest::newRow("dangling symbolic link") << dangling << "is a symbolic link" << false;

        const QString plain = file("plain");
        QFile p(plain);
        QVERIFY(p.open(QIODevice::WriteOnly));
        p.close();
        QTest::newRow("folder is a file") << plain + QStringLiteral("/history.sqlite") << "is not a folder" << false;

        const QString locked = file("locked");
        QDir().mkpath(locked);
        ::chmod(QFile::encodeName(locked).constData(), 0);
        QTest::newRow("unreadable folder") << locked + QStringLiteral("/history.sqlite") << "Permission denied" << true;
    }

    void unusableFile()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        QFETCH(bool, rootReadsIt);
        if (rootReadsIt && ::geteuid() == 0)
            QSKIP("root reads and writes any file regardless of its mode");

        HistoryStore store(path);
        QVERIFY(!store.isAvailable());
        QVERIFY2(store.problem().contains(reason), qPrintable(store.problem()));
        QVERIFY(!store.problem().contains(QLatin1Char('\n')));
        // Every call fails at once with the same reason.
        const HistoryResult<qint64> added = store.add(QStringLiteral("/dev/ttyS0"), 1, HistoryKind::Backup, numbered(1));
        QCOMPARE(added.error, store.problem());
        QCOMPARE(added.value, 0);
        QCOMPARE(store.list().error, store.problem());
        QCOMPARE(store.entry(1).error, store.problem());
    }

    void lockedWriteFailsWithinTimeout()
    {
        const QString path = file("locked.sqlite");
        HistoryStore store(path, 200);
        QVERIFY(store.add(QStringLiteral("/dev/ttyS0"), 1, HistoryKind::Read, numbered(1)).ok());
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            raw.setDatabaseName(path);
            QVERIFY(raw.open());
            QSqlQuery hold(raw);
            QVERIFY(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));

            QElapsedTimer timer;
            timer.start();
            const HistoryResult<qint64> added = store.add(QStringLiteral("/dev/ttyS0"), 1, HistoryKind::Backup, numbered(2));
            QVERIFY(!added.ok());
            QCOMPARE(added.value, 0);
            QVERIFY2(added.error.contains(QLatin1String("locked")), qPrintable(added.error));
            QVERIFY(timer.elapsed() < 3000);
            QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        // The store stays usable once the lock is gone.
        QVERIFY(store.isAvailable());
        QVERIFY(store.add(QStringLiteral("/dev/ttyS0"), 1, HistoryKind::Backup, numbered(2)).ok());
        QCOMPARE(store.list().value.size(), 2);
    }

    void twoProcessesLoseNothing()
    {
        // A fresh file: the two writers also race to create the schema.
        const QString path = file("shared/history.sqlite");
        QProcess one, two;
        for (QProcess* writer : {&one, &two})
            writer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        one.start(QCoreApplication::applicationFilePath(), {QLatin1String(WriterArgument), path, QStringLiteral("1")});
        two.start(QCoreApplication::applicationFilePath(), {QLatin1String(WriterArgument), path, QStringLiteral("2")});
        QTRY_VERIFY_WITH_TIMEOUT(one.state() == QProcess::NotRunning && two.state() == QProcess::NotRunning, 60000);
        QCOMPARE(one.exitCode(), 0);
        QCOMPARE(two.exitCode(), 0);

        HistoryStore store(path);
        const QVector<HistoryEntry> all = store.list().value;
        QCOMPARE(all.size(), 2 * WriterEntries);
        QSet<QByteArray> blocks;
        for (const HistoryEntry& e : all)
            blocks.insert(QByteArray(reinterpret_cast<const char*>(e.block.data()), ConfigBlockSize));
        QCOMPARE(blocks.size(), 2 * WriterEntries);
    }

    void diffs()
    {
        ConfigBlock before = defaultConfigBlock();
        ConfigBlock after = before;
        setParam(after, 20, QStringLiteral("123456"));  // InstallerPIN
        setParam(after, 1, 1 - getParam(before, 1).toInt()); // SilentAlrm
        setParam(after, 30 + 10, 170.0 * 40);           // zone 1 FncHighVltgChkThreshold
        after[9] ^= 0xFF;                               // no parameter: no line

        // File order, both values, as `config diff` prints them.
        const QStringList expected = {
            QStringLiteral("Options/SilentAlrm %1 %2").arg(getParam(before, 1).toInt()).arg(getParam(after, 1).toInt()),
            QStringLiteral("Options/InstallerPIN %1 123456").arg(configParamValue(before, 20)),
            QStringLiteral("ZoneConfiguration1/FncHighVltgChkThreshold %1 6800").arg(configParamValue(before, 40)),
        };
        QCOMPARE(configChangeLines(configChanges(before, after)), expected);
        QVERIFY(configChanges(after, after).isEmpty());
    }

    void cleanupTestCase()
    {
        ::chmod(QFile::encodeName(file("locked")).constData(), 0700);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], WriterArgument) == 0)
        return addEntries(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    TestHistoryStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_historystore.moc"
