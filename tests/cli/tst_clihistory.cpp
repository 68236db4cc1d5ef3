// energizer-cli's configuration history against energizer-sim: backups,
// verified writes, restore, writes to a list, and a history it cannot use;
// and the timeline's events and trend commands.
// The store itself (concurrent writers, unusable files) is tst_historystore's.
#include "simprocess.h"

#include "protocol/configrecord.h"
#include "protocol/configxml.h"
#include "services/timelinestore.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

struct Run { int status; QByteArray out, err; };

class TestCliHistory : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void writeThenRestore();
    void unconfirmedWriteNamesBackup();
    void unusableHistoryGoesOn();
    void shortEntryRefused();
    void writeToList();
    void timelineCommands_data();
    void timelineCommands();

private:
    Run cli(const QStringList& args);
    QStringList startSim(SimProcess& sim, const QStringList& extra = {});
    QString writeFile(const QString& name, const QByteArray& text);
    // The history's lines after the header, as "kind address".
    QStringList entries();

    QTemporaryDir m_dir;
    QString m_history;
    QString m_timeline;
    QString m_partial; // sets two parameters
};

void TestCliHistory::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Nothing reaches the user's own history, whatever a run is given.
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    m_partial = writeFile(QStringLiteral("partial.xml"),
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuration Company=\"Ravlin (Pty) Ltd\">\n"
                          "<ZoneConfiguration1><FncAlmDelay value=\"9\"/></ZoneConfiguration1>\n"
                          "<ZoneConfiguration2><FncHighPwrVltg value=\"7000\"/></ZoneConfiguration2>\n"
                          "<Network><BigNetworkAddress value=\"9\"/></Network></Configuration>\n");
    QVERIFY(!m_partial.isEmpty());
}

void TestCliHistory::init()
{
    // A fresh history for each test.
    static int n = 0;
    m_history = m_dir.filePath(QStringLiteral("history-%1.sqlite").arg(++n));
    // The timeline commands' rows share one file.
    m_timeline = m_dir.filePath(QStringLiteral("timeline-%1.sqlite").arg(QTest::currentDataTag() ? 0 : n));
}

Run TestCliHistory::cli(const QStringList& args)
{
    QProcess p;
    p.start(qEnvironmentVariable("EC_CLI"), QStringList{"--history", m_history, "--timeline", m_timeline} + args);
    const bool ended = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit;
    return {ended ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

QStringList TestCliHistory::startSim(SimProcess& sim, const QStringList& extra)
{
    const QString port = sim.start(QStringList{"--verbose", "--udp", "0"} + extra);
    return port.isEmpty() ? QStringList() : QStringList{"--udp", "127.0.0.1:" + port};
}

QString TestCliHistory::writeFile(const QString& name, const QByteArray& text)
{
    QFile f(m_dir.filePath(name));
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() ? f.fileName() : QString();
}

QStringList TestCliHistory::entries()
{
    // No connection given: listing needs none.
    const Run r = cli({"history"});
    if (r.status != 0)
        return {QString::fromUtf8(r.err)};
    QStringList kinds;
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> columns = lines.at(i).split('\t');
        kinds << QString::fromUtf8(columns.value(4) + ' ' + columns.value(3));
    }
    return kinds;
}

// A backup and the written block; their diff is the file's; restoring the
// backup puts the original bytes back.
void TestCliHistory::writeThenRestore()
{
    SimProcess sim;
    const QStringList link = startSim(sim);
    QVERIFY(!link.isEmpty());
    const QByteArray original = sim.block();
    QCOMPARE(cli(link + QStringList{"config", "show"}).status, 0);
    QCOMPARE(entries(), QStringList{"read 1"});
    QVERIFY(QFile::remove(m_history));

    const Run write = cli(link + QStringList{"config", "write", m_partial});
    QCOMPARE(write.status, 0);
    const Run list = cli({"history"});
    QCOMPARE(list.status, 0);
    const QList<QByteArray> lines = list.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QByteArray("id\ttime\tlink\taddress\tkind\tuser\tchanged"));
    const QList<QByteArray> written = lines.at(1).split('\t');
    const QList<QByteArray> backup = lines.at(2).split('\t');
    QCOMPARE(written.at(4), QByteArray("written"));
    QCOMPARE(written.at(6), QByteArray("2"));
    QCOMPARE(backup.at(4), QByteArray("backup"));
    QCOMPARE(backup.at(2), QByteArray("udp-127.0.0.1-") + link.at(1).section(':', 1).toUtf8());

    const Run diff = cli({"history", "diff", backup.at(0), written.at(0)});
    QCOMPARE(diff.status, 1);
    QCOMPARE(diff.out, QByteArray("ZoneConfiguration1/FncAlmDelay 3 9\nZoneConfiguration2/FncHighPwrVltg 8160 6970\n"));

    // Onto another energizer only when asked, and saying where it came from.
    const Run elsewhere = cli(link + QStringList{"--address", "2", "config", "restore", backup.at(0)});
    QCOMPARE(elsewhere.status, 2);
    QVERIFY2(elsewhere.err.contains("was recorded from " + backup.at(2) + " address 1,"), elsewhere.err.constData());

    const Run restore = cli(link + QStringList{"config", "restore", backup.at(0)});
    QCOMPARE(restore.status, 0);
    QCOMPARE(sim.block(), original);
    QCOMPARE(entries().first(), QStringLiteral("restored 1"));

    // Each in the timeline, joined with its history entry, and a zone switched by the CLI.
    QCOMPARE(cli(link + QStringList{"zone", "2", "on"}).status, 0);
    const Run events = cli({"events", "--format", "csv"});
    QCOMPARE(events.status, 0);
    QStringList kinds;
    for (const QByteArray& line : events.out.trimmed().split('\n').mid(1))
        kinds << QString::fromUtf8(line.split(',').mid(2).join(','));
    const QString b = QString::fromUtf8(backup.at(0)), w = QString::fromUtf8(written.at(0));
    // The restored block is a new entry: it differs from the written one before it.
    QCOMPARE(kinds, (QStringList{"1,config_read,,cli,1", "1,config_backup,,cli," + b, "1,config_written,,cli," + w,
                                 "1,config_backup,,cli," + w, "1,config_restored,,cli,3", "1,zone_on,2,cli,"}));
}

void TestCliHistory::unconfirmedWriteNamesBackup()
{
    SimProcess sim;
    const QStringList link = startSim(sim, {"--ignore-writes"});
    QVERIFY(!link.isEmpty());
    const Run write = cli(link + QStringList{"config", "write", m_partial});
    QCOMPARE(write.status, 5);
    QVERIFY2(write.err.contains("history entry 1: energizer-cli --udp " + link.at(1).toUtf8() + " --history "
                                + m_history.toUtf8() + " --address 1 config restore 1\n"),
             write.err.constData());
    // Sent is on record though never verified, as a write cut off would be.
    QCOMPARE(entries(), (QStringList{"sent 1", "backup 1"}));
}

// Reads and writes go on; the reason is said once per run.
void TestCliHistory::unusableHistoryGoesOn()
{
    QVERIFY(QDir().mkpath(m_history));
    SimProcess sim;
    const QStringList link = startSim(sim);
    QVERIFY(!link.isEmpty());
    for (const QStringList& args : {QStringList{"config", "read"}, QStringList{"config", "write", m_partial}}) {
        const Run r = cli(link + args);
        QCOMPARE(r.status, 0);
        QVERIFY(!r.out.isEmpty());
        QVERIFY2(r.err.startsWith("energizer-cli: nothing is kept in the history: ") && r.err.count('\n') == 1
                     && r.err.contains("is a folder"),
                 r.err.constData());
    }
    QCOMPARE(sim.block().size(), ConfigBlockSize); // its output so far read
    QCOMPARE(sim.count(QStringLiteral("RX"), QStringLiteral("01 01 04")), 1);
}

void TestCliHistory::shortEntryRefused()
{
    SimProcess sim;
    const QStringList link = startSim(sim);
    QVERIFY(!link.isEmpty());
    QCOMPARE(cli(link + QStringList{"config", "read"}).status, 0);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("cut"));
        db.setDatabaseName(m_history);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("UPDATE entries SET block = substr(block, 1, 51) WHERE id = 1")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("cut"));
    for (const QStringList& args : {QStringList{"history", "show", "1"}, link + QStringList{"config", "restore", "1"}}) {
        const Run r = cli(args);
        QCOMPARE(r.status, 6);
        QVERIFY2(r.err.contains("entry 1 ") && r.err.count('\n') == 1, r.err.constData());
    }
    QCOMPARE(sim.block().size(), ConfigBlockSize);
    QCOMPARE(sim.count(QStringLiteral("RX"), QStringLiteral("01 01 04")), 0);
}

// Five on one line: 3 holds another PIN, 5 is silent. The dry run writes
// nothing; the write reaches each of the others, its own line for each.
// Each keeps its own large-network address, and the dry run says so.
void TestCliHistory::writeToList()
{
    ConfigBlock other = defaultConfigBlock();
    setParam(other, InstallerPinParam, QStringLiteral("123456"));
    const QString otherPin = writeFile(QStringLiteral("otherpin.xml"), configToXml(other));
    SimProcess sim;
    const QStringList link = startSim(sim, {"--addresses", "1-5", "--config-for", "3:" + otherPin, "--fault", "5:silent-after=0"});
    QVERIFY(!link.isEmpty());
    const QStringList write = link + QStringList{"--address", "1-5", "config", "write", m_partial};

    const Run dry = cli(write + QStringList{"--dry-run"});
    QCOMPARE(dry.status, 4);
    QVERIFY2(dry.out.startsWith("address 1: ZoneConfiguration1/FncAlmDelay 3 9\naddress 1: ZoneConfiguration2/FncHighPwrVltg 8160 6970\n"
                                "address 1: Network/BigNetworkAddress 1 kept (not 9: --network-address-from-file writes it)\n"
                                "address 2: "),
             dry.out.constData());
    QCOMPARE(dry.out.count('\n'), 9);
    QCOMPARE(sim.block().size(), ConfigBlockSize);
    QCOMPARE(sim.count(QStringLiteral("RX"), QStringLiteral("01 01 04")), 0);

    const Run r = cli(write);
    QCOMPARE(r.status, 4);
    QCOMPARE(r.out, QByteArray("address 1: Configuration written and verified (2 parameters changed)\n"
                               "address 2: Configuration written and verified (2 parameters changed)\n"
                               "address 4: Configuration written and verified (2 parameters changed)\n"));
    QVERIFY2(r.err == "energizer-cli: address 3: installer PIN mismatch: the energizer's installer PIN is not the default; "
                      "nothing written\nenergizer-cli: address 5: no reply from the energizer within 2000 ms; nothing written\n",
             r.err.constData());
    QCOMPARE(sim.block().size(), ConfigBlockSize);
    for (const char* address : {"01", "02", "04"})
        QCOMPARE(sim.count(QStringLiteral("RX"), QLatin1String(address) + QStringLiteral(" 01 04")), 1);
    QCOMPARE(sim.count(QStringLiteral("RX"), QStringLiteral("03 01 04")), 0);
}

QTEST_GUILESS_MAIN(TestCliHistory)
#include "tst_clihistory.moc"

void TestCliHistory::timelineCommands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    const QByteArray header = "time,link,address,outputVoltage1Min,outputVoltage1Mean,outputVoltage1Max,returnVoltage1Min,"
                              "returnVoltage1Mean,returnVoltage1Max,outputVoltage2Min,outputVoltage2Mean,outputVoltage2Max,"
                              "returnVoltage2Min,returnVoltage2Mean,returnVoltage2Max,batteryVoltageMin,batteryVoltageMean,"
                              "batteryVoltageMax\n";
    QTest::newRow("text") << QStringList{"events"} << 0
                          << QByteArray("2026-01-01T00:00:00.000Z north 1 alarm raised: gate\n"
                                        "2026-01-01T00:01:00.000Z north,2 2 zone 1 off by web:a,b\n"
                                        "2026-01-01T00:02:00.000Z north 1 configuration written (history 7) by cli\n");
    QTest::newRow("csv quoted, address") << QStringList{"events", "--address", "2,5", "--format", "csv"} << 0
                                         << QByteArray("time,link,address,kind,detail,who,history\n"
                                                       "2026-01-01T00:01:00.000Z,\"north,2\",2,zone_off,1,\"web:a,b\",\n");
    QTest::newRow("jsonl since, link") << QStringList{"events", "--link", "north", "--since", "2026-01-01T00:01:30Z", "--format", "jsonl"} << 0
                                       << QByteArray("{\"address\":1,\"detail\":\"\",\"history\":7,\"kind\":\"config_written\","
                                                     "\"link\":\"north\",\"time\":\"2026-01-01T00:02:00.000Z\",\"who\":\"cli\"}\n");
    QTest::newRow("none in the last 2 h") << QStringList{"events", "--since", "-2h"} << 0 << QByteArray();
    QTest::newRow("until a date") << QStringList{"events", "--until", "2025-12-31"} << 0 << QByteArray();
    QTest::newRow("bad time") << QStringList{"events", "--since", "-2w"} << 2 << QByteArray();
    QTest::newRow("trend csv") << QStringList{"trend", "--address", "1", "--until=-7d"} << 0
                               << header + "2026-01-01T00:00:00.000Z,north,1,8000,8000,8000,7000,7000,7000,0,0,0,0,0,0,13.6,13.6,13.6\n";
    QTest::newRow("trend jsonl, none") << QStringList{"trend", "--address", "2", "--format", "jsonl"} << 0 << QByteArray();
    QTest::newRow("trend needs an address") << QStringList{"trend"} << 2 << QByteArray();
    QTest::newRow("trend has no text") << QStringList{"trend", "--address", "1", "--format", "text"} << 2 << QByteArray();
}

// Needs no link: no connection is given, and none is looked for.
void TestCliHistory::timelineCommands()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    if (!QFile::exists(m_timeline)) {
        const qint64 t = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
        TimelineStore store(m_timeline);
        TimelineReading r{QStringLiteral("north"), 1, t / 60000, {}, {}, {}};
        r.min = r.mean = r.max = {8000, 7000, 0, 0, 13.6};
        QCOMPARE(store.write({{0, t, QStringLiteral("north"), 1, TimelineKind::AlarmRaised, QStringLiteral("gate"), {}, 0},
                              {0, t + 60000, QStringLiteral("north,2"), 2, TimelineKind::ZoneOff, QStringLiteral("1"), QStringLiteral("web:a,b"), 0},
                              {0, t + 120000, QStringLiteral("north"), 1, TimelineKind::ConfigWritten, {}, QStringLiteral("cli"), 7}},
                             {r}),
                 QString());
    }
    const Run r = cli(args);
    QCOMPARE(r.status, status);
    QCOMPARE(r.out, out);
}
