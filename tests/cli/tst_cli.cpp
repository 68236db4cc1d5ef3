// energizer-cli end to end against energizer-sim, run as a user would: its
// commands and exit statuses, several energizers on one line, and the
// configuration history (the store itself is tst_historystore's).
#include "simprocess.h"
#include "testsettings.h"

#include "protocol/configrecord.h"
#include "protocol/configxml.h"
#include "services/timelinestore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

// One finished run of the tool.
struct Run { int status; QByteArray out, err; qint64 ms; };

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void status_data();
    void status();
    void exitStatus_data();
    void exitStatus();
    void configRead();
    void configWrite_data();
    void configWrite();
    void zone_data();
    void zone();
    void watch_data();
    void watch();
    void watchOutput_data();
    void watchOutput();
    void watchEndsOnSigterm();
    void settingsBesideExecutable();
    void scan_data();
    void scan();
    void statusOfList();
    void writeThenRestore();
    void timelineCommands_data();
    void timelineCommands();
    void unconfirmedWriteNamesBackup();
    void unusableHistoryGoesOn();
    void shortEntryRefused();
    void writeToList();

private:
    Run cli(const QStringList& args, const QString& program = QString());
    // With this test's own history file.
    Run hist(const QStringList& args) { return cli(QStringList{"--history", m_history, "--timeline", m_timeline} + args); }
    QStringList startSim(SimProcess& sim, const QString& transport, const QStringList& extra = {});
    QString writeFile(const QString& name, const QByteArray& text);
    // The history's lines after the header, as "kind address".
    QStringList entries();

    QString m_cli;
    QTemporaryDir m_dir;
    QString m_history;
    QString m_timeline;
    QString m_partial; // sets two parameters and the large-network address
    // A simulator over UDP that no test changes.
    SimProcess m_sim;
    QStringList m_link;
};

void TestCli::initTestCase()
{
    m_cli = qEnvironmentVariable("EC_CLI");
    QVERIFY2(QFileInfo(m_cli).isExecutable(), "EC_CLI names no executable");
    // Numbers keep their dot under a locale that writes a comma.
    qputenv("LC_ALL", "de_DE.UTF-8");
    // The config commands keep what they read; not in the user's own history.
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    m_link = startSim(m_sim, QStringLiteral("udp"));
    QVERIFY(!m_link.isEmpty());
    m_partial = writeFile(QStringLiteral("partial-network.xml"),
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuration Company=\"Ravlin (Pty) Ltd\">\n"
                          "<ZoneConfiguration1><FncAlmDelay value=\"9\"/></ZoneConfiguration1>\n"
                          "<ZoneConfiguration2><FncHighPwrVltg value=\"7000\"/></ZoneConfiguration2>\n"
                          "<Network><BigNetworkAddress value=\"9\"/></Network></Configuration>\n");
    QVERIFY(!m_partial.isEmpty());
    // No widget library: the tool runs where no display is.
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {m_cli});
    QVERIFY(ldd.waitForFinished());
    const QByteArray libs = ldd.readAllStandardOutput();
    QVERIFY(libs.contains("libQt5Core") && !libs.contains("Qt5Widgets") && !libs.contains("Qt5Gui"));
}

void TestCli::init()
{
    // A fresh history for each test.
    static int n = 0;
    m_history = m_dir.filePath(QStringLiteral("history-%1.sqlite").arg(++n));
    // The timeline commands' rows share one file.
    m_timeline = m_dir.filePath(QStringLiteral("timeline-%1.sqlite").arg(QTest::currentDataTag() ? 0 : n));
}

// Status -1 when it crashed or still runs after 30 s (then killed with p).
Run TestCli::cli(const QStringList& args, const QString& program)
{
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(program.isEmpty() ? m_cli : program, args);
    const bool ended = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit;
    return {ended ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError(), clock.elapsed()};
}

// Starts the simulator and returns the connection options that reach it.
QStringList TestCli::startSim(SimProcess& sim, const QString& transport, const QStringList& extra)
{
    const bool pty = transport == QLatin1String("pty");
    const QString where = sim.start(QStringList{"--verbose", "--" + transport, pty ? m_dir.filePath("pty") : "0"} + extra);
    if (where.isEmpty())
        return {};
    return {pty ? QStringLiteral("--serial") : "--" + transport, pty ? where : "127.0.0.1:" + where};
}

QString TestCli::writeFile(const QString& name, const QByteArray& text)
{
    QFile f(m_dir.filePath(name));
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() ? f.fileName() : QString();
}

QStringList TestCli::entries()
{
    // No connection given: listing needs none.
    const Run r = hist({"history"});
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

// One plain status per link kind, its reply later than the line's own
// timeout but within --timeout.
void TestCli::status_data()
{
    QTest::addColumn<QString>("transport");
    QTest::newRow("udp") << "udp";
    QTest::newRow("tcp") << "tcp";
    QTest::newRow("pty") << "pty";
}

void TestCli::status()
{
    QFETCH(QString, transport);
    SimProcess sim;
    const QStringList link = startSim(sim, transport, {"--on", "--set", "gate", "--delay", "500"});
    QVERIFY(!link.isEmpty());
    const Run r = cli(link + QStringList{"status"});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.contains("\nonline=true\n") && r.out.contains("\ngateAlarmOk=false\n"), r.out.constData());
}

// One row per kind of check; @link is the simulator, @dead a UDP port nothing answers on.
void TestCli::exitStatus_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::newRow("port above 65535") << QStringList{"--udp", "127.0.0.1:65536", "status"} << 2;
    QTest::newRow("another command's option") << QStringList{"status", "--interval", "1"} << 2;
    QTest::newRow("foreign file") << QStringList{"@link", "config", "write", "@dir/foreign.xml"} << 6;
    QTest::newRow("nothing answers status") << QStringList{"@dead", "--timeout", "700", "status"} << 3;
}

// Every failure: its status, one line on stderr, nothing on stdout, no wait past the timeout.
void TestCli::exitStatus()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QVERIFY(!writeFile(QStringLiteral("foreign.xml"), "<?xml version=\"1.0\"?>\n<html><body/></html>\n").isEmpty());
    QUdpSocket dead; // bound, it answers nothing
    dead.bind(QHostAddress(QHostAddress::LocalHost), 0);
    QStringList expanded;
    for (const QString& a : args)
        expanded << (a == "@link" ? m_link : a == "@dead" ? QStringList{"--udp", QStringLiteral("127.0.0.1:%1").arg(dead.localPort())} : QStringList{QString(a).replace("@dir", m_dir.path())});
    const Run r = cli(expanded);
    QCOMPARE(r.status, status);
    QVERIFY2(r.out.isEmpty(), r.out.constData());
    QVERIFY2(r.err.startsWith("energizer-cli: ") && r.err.trimmed().count('\n') <= (status == 2 ? 1 : 0), r.err.constData());
    QVERIFY2(r.ms < 700 + 500, qPrintable(QString::number(r.ms)));
}

// Byte for byte the window's save of the block the simulator holds.
void TestCli::configRead()
{
    const QByteArray block = m_sim.block();
    QCOMPARE(block.size(), ConfigBlockSize);
    ConfigBlock b{};
    std::copy(block.begin(), block.end(), b.begin());
    const QByteArray saved = configToXml(b);
    const Run r = cli(m_link + QStringList{"config", "read"});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, saved);
}

void TestCli::configWrite_data()
{
    QTest::addColumn<QStringList>("simExtra");
    QTest::addColumn<QStringList>("pin");
    QTest::addColumn<int>("status");
    QTest::newRow("PIN given") << QStringList{} << QStringList{"--pin", "407318"} << 0;
    QTest::newRow("wrong PIN") << QStringList{} << QStringList{"--pin", "407319"} << 4;
    QTest::newRow("PIN from a file's first line") << QStringList{} << QStringList{"--pin-file", "@pin"} << 4;
    // Every reply later than the bus waits: the read-back is one that answers a read sent after the write.
    QTest::newRow("slow link") << QStringList{"--delay", "800"} << QStringList{} << 0;
}

// A file holding two parameters changes those and nothing else of the block,
// so that a diff finds nothing afterwards; a wrong PIN sends no write frame at all.
// Not written, the diff shows both, the file's voltage as loading stores it:
// 7000 V is 41 counts of 170 V.
void TestCli::configWrite()
{
    QFETCH(QStringList, simExtra);
    QFETCH(QStringList, pin);
    QFETCH(int, status);
    SimProcess sim;
    const QStringList link = startSim(sim, QStringLiteral("udp"), simExtra);
    QVERIFY(!link.isEmpty());
    const QByteArray before = sim.block();
    QCOMPARE(before.size(), ConfigBlockSize);
    const QString file = writeFile(QStringLiteral("partial.xml"),
                                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuration Company=\"Ravlin (Pty) Ltd\">\n"
                                   "<ZoneConfiguration1><FncAlmDelay value=\"9\"/></ZoneConfiguration1>\n"
                                   "<ZoneConfiguration2><FncHighPwrVltg value=\"7000\"/></ZoneConfiguration2></Configuration>\n");
    pin.replaceInStrings(QStringLiteral("@pin"), writeFile(QStringLiteral("pin"), "407319\n407318\n"));
    const Run r = cli(link + QStringList{"config", "write", file} + pin);
    QCOMPARE(r.status, status);
    QCOMPARE(r.out.isEmpty(), status != 0);
    const QByteArray after = sim.block();
    QCOMPARE(sim.count(QStringLiteral("RX"), QStringLiteral("01 01 04")), status == 4 ? 0 : 1);
    QCOMPARE(after.size(), ConfigBlockSize);
    // Bytes 3..50 are the configuration; 51 is the reply's checksum.
    int changedBytes = 0;
    for (int i = 3; i <= 50; ++i)
        changedBytes += before.at(i) != after.at(i) ? 1 : 0;
    QCOMPARE(changedBytes, status == 0 ? 2 : 0);
    const Run diff = cli(link + QStringList{"config", "diff", file});
    QCOMPARE(diff.status, status == 0 ? 0 : 1);
    QCOMPARE(diff.out, QByteArray(status == 0 ? "" : "ZoneConfiguration1/FncAlmDelay 3 9\nZoneConfiguration2/FncHighPwrVltg 8160 6970\n"));
}

void TestCli::zone_data()
{
    QTest::addColumn<QStringList>("simExtra");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("state");
    // The second command finds the zones apart; neither may follow the other.
    QTest::newRow("zone 1 off, then zone 2 lv") << QStringList{} << QStringList{"1", "off", "2", "lv"} << 0 << "STATE on1=0 hv1=1 on2=1 hv2=0";
    QTest::newRow("status stops after one reply") << QStringList{"--silent-after", "1"} << QStringList{"1", "off"} << 5 << "STATE on1=0 hv1=1 on2=1 hv2=1";
}

void TestCli::zone()
{
    QFETCH(QStringList, simExtra);
    QFETCH(QStringList, command);
    QFETCH(int, status);
    QFETCH(QString, state);
    SimProcess sim;
    const QStringList link = startSim(sim, QStringLiteral("tcp"), QStringList{"--on"} + simExtra);
    QVERIFY(!link.isEmpty());
    for (int i = 0; i < command.size(); i += 2)
        QCOMPARE(cli(link + QStringList{"--timeout", "1000", "zone"} + command.mid(i, 2)).status, status);
    QCOMPARE(sim.command(QStringLiteral("state"), QStringLiteral("STATE")), state);
}

// One line per poll: a CSV header once, then a line per interval, numbers
// with a dot under a locale that writes a comma. A poll with no reply, or
// none sent while the link is down, is a line of its own: its address,
// online false, every other value empty, nothing carried over from before.
void TestCli::watch_data()
{
    QTest::addColumn<QString>("transport"); // "tcp-down": port 1, where nothing listens
    QTest::addColumn<int>("answered");
    QTest::newRow("udp, silent after 2") << "udp" << 2;
    QTest::newRow("pty, silent after 2") << "pty" << 2;
    QTest::newRow("tcp, link down") << "tcp-down" << 0;
}

void TestCli::watch()
{
    QFETCH(QString, transport);
    QFETCH(int, answered);
    SimProcess sim;
    const QStringList link = transport == QLatin1String("tcp-down") ? QStringList{"--tcp", "127.0.0.1:1"}
                                                                    : startSim(sim, transport, {"--silent-after", "2"});
    QVERIFY(!link.isEmpty());
    const Run r = cli(link + QStringList{"--timeout", "150", "watch", "--count", "4", "--interval", "0.2"});
    QCOMPARE(r.status, 0);
    QList<QByteArray> lines = r.out.split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    QCOMPARE(lines.size(), 5);
    const QList<QByteArray> header = lines.takeFirst().split(',');
    const int online = header.indexOf("online"), battery = header.indexOf("batteryVoltage"), address = header.indexOf("address");
    QVERIFY(header.first() == "time" && online > 0 && battery > 0 && address > 0);
    const QRegularExpression time(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"));
    const QRegularExpression volts(QStringLiteral("^1[0-9](\\.[0-9]+)?$"));
    for (int i = 0; i < lines.size(); ++i) {
        const QList<QByteArray> cells = lines[i].split(',');
        QCOMPARE(cells.size(), header.size());
        const bool replied = i < answered;
        QByteArray values; // all but time, online and address
        for (int c = 1; c < cells.size(); ++c)
            values += c == online || c == address ? QByteArray() : cells[c];
        QVERIFY2(time.match(QString::fromLatin1(cells[0])).hasMatch() && cells[address] == "1"
                     && cells[online] == (replied ? "true" : "false")
                     && (replied ? volts.match(QString::fromLatin1(cells[battery])).hasMatch() : values.isEmpty()),
                 lines[i].constData());
    }
}

// A restarted log goes on in its file; a file with another header is left as it is.
void TestCli::watchOutput_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("status");
    QTest::newRow("new file") << QByteArray() << 0;
    QTest::newRow("same header: appended") << QByteArray("@header\n2026-12-06T10:30:38.131Z,1,false\n") << 0;
    QTest::newRow("other header: refused") << QByteArray("time,level\n2026-12-06T10:30:38.131Z,7\n") << 6;
}

void TestCli::watchOutput()
{
    QFETCH(QByteArray, before);
    QFETCH(int, status);
    const QStringList watch = m_link + QStringList{"--timeout", "300", "watch", "--count", "1", "--interval", "0.2"};
    const Run probe = cli(watch);
    const QByteArray header = probe.out.left(probe.out.indexOf('\n'));
    QVERIFY(header.startsWith("time,"));
    before.replace("@header", header);
    const QString log = m_dir.filePath(QStringLiteral("log.csv"));
    QFile::remove(log);
    QVERIFY(before.isEmpty() || writeFile(QStringLiteral("log.csv"), before) == log);
    const Run r = cli(watch + QStringList{"--output", log});
    QCOMPARE(r.status, status);
    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray after = f.readAll();
    if (status != 0) {
        QCOMPARE(after, before);
        return;
    }
    const QByteArray kept = before.isEmpty() ? header + '\n' : before;
    QVERIFY2(after.startsWith(kept) && after.count(header) == 1 && after.count('\n') == kept.count('\n') + 1, after.constData());
}

void TestCli::watchEndsOnSigterm()
{
    const QString log = m_dir.filePath(QStringLiteral("night.csv"));
    QProcess p;
    p.start(m_cli, m_link + QStringList{"watch", "--interval", "0.2", "--output", log});
    const auto lines = [&log] { QFile f(log); return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0; };
    QTRY_VERIFY_WITH_TIMEOUT(lines() >= 3, 10000);
    p.terminate();
    QVERIFY(p.waitForFinished(3000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0);
    QCOMPARE(p.readAllStandardError(), QByteArray());
}

// With no connection option the window's setting.ini beside the executable names the link.
void TestCli::settingsBesideExecutable()
{
    const QString copy = QCoreApplication::applicationDirPath() + QStringLiteral("/energizer-cli");
    QFile::remove(copy);
    QVERIFY(QFile::copy(m_cli, copy));
    writeSettingsIni(QStringLiteral("127.0.0.1"), m_sim.port(), 1, 0);
    const Run r = cli({QStringLiteral("status")}, copy);
    QVERIFY2(r.status == 0 && r.out.contains("online=true"), r.err.constData());
}

void TestCli::scan_data()
{
    QTest::addColumn<QString>("served");
    QTest::addColumn<QString>("found"); // the summary
    QTest::addColumn<int>("status");
    QTest::newRow("three of twenty") << "2,5,19" << "3 energizers answered: 2, 5, 19\n" << 0;
    QTest::newRow("none") << "40" << "no energizer answered at addresses 0..19\n" << 3;
}

void TestCli::scan()
{
    QFETCH(QString, served);
    QFETCH(QString, found);
    QFETCH(int, status);
    SimProcess sim;
    const QString port = sim.start({"--udp", "0", "--addresses", served});
    QVERIFY(!port.isEmpty());
    const Run r = cli({"--udp", "127.0.0.1:" + port, "scan", "--from", "0", "--to", "19"});
    QCOMPARE(r.status, status);
    const QList<QByteArray> lines = r.out.split('\n');
    QCOMPARE(lines.size() - 1, served.count(',') + (status == 0 ? 2 : 1));
    QVERIFY2(r.out.endsWith(found.toUtf8()), r.out.constData());
    if (status == 0)
        QVERIFY2(lines.first().startsWith("2: zone 1 off hv 0 V, zone 2 off hv 0 V, "), lines.first().constData());
    // One request at a time, each given the network timeout at most.
    QVERIFY2(r.ms < 20 * 300 + 1000, qPrintable(QString::number(r.ms)));
}

void TestCli::statusOfList()
{
    SimProcess sim;
    const QString port = sim.start({"--udp", "0", "--on", "--addresses", "1,3"});
    QVERIFY(!port.isEmpty());
    const Run r = cli({"--udp", "127.0.0.1:" + port, "--address", "1-3", "--timeout", "1000", "status", "--json"});
    QCOMPARE(r.status, 3); // 2 gave no reply
    QVERIFY2(r.err.contains("no reply from address 2"), r.err.constData());
    const QJsonArray all = QJsonDocument::fromJson(r.out).array();
    QCOMPARE(all.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject o = all.at(i).toObject();
        QCOMPARE(o.value("address").toInt(), i + 1);
        QCOMPARE(o.value("online").toBool(), i != 1);
    }
    // Each energizer's own values: the simulator's bands differ by address.
    QVERIFY(all.at(2).toObject().value("outputVoltage1").toDouble() > all.at(0).toObject().value("outputVoltage1").toDouble() + 2000);
}

// A backup and the written block; their diff is the file's; restoring the
// backup puts the original bytes back.
void TestCli::writeThenRestore()
{
    SimProcess sim;
    const QStringList link = startSim(sim, QStringLiteral("udp"));
    QVERIFY(!link.isEmpty());
    const QByteArray original = sim.block();
    QCOMPARE(hist(link + QStringList{"config", "show"}).status, 0);
    QCOMPARE(entries(), QStringList{"read 1"});
    QVERIFY(QFile::remove(m_history));

    const Run write = hist(link + QStringList{"config", "write", m_partial});
    QCOMPARE(write.status, 0);
    const Run list = hist({"history"});
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

    const Run diff = hist({"history", "diff", backup.at(0), written.at(0)});
    QCOMPARE(diff.status, 1);
    QCOMPARE(diff.out, QByteArray("ZoneConfiguration1/FncAlmDelay 3 9\nZoneConfiguration2/FncHighPwrVltg 8160 6970\n"));

    // Onto another energizer only when asked, and saying where it came from.
    const Run elsewhere = hist(link + QStringList{"--address", "2", "config", "restore", backup.at(0)});
    QCOMPARE(elsewhere.status, 2);
    QVERIFY2(elsewhere.err.contains("was recorded from " + backup.at(2) + " address 1,"), elsewhere.err.constData());

    const Run restore = hist(link + QStringList{"config", "restore", backup.at(0)});
    QCOMPARE(restore.status, 0);
    QCOMPARE(sim.block(), original);
    QCOMPARE(entries().first(), QStringLiteral("restored 1"));

    // Each in the timeline, joined with its history entry, and a zone switched by the CLI.
    QCOMPARE(hist(link + QStringList{"zone", "2", "on"}).status, 0);
    const Run events = hist({"events", "--format", "csv"});
    QCOMPARE(events.status, 0);
    QStringList kinds;
    for (const QByteArray& line : events.out.trimmed().split('\n').mid(1))
        kinds << QString::fromUtf8(line.split(',').mid(2).join(','));
    const QString b = QString::fromUtf8(backup.at(0)), w = QString::fromUtf8(written.at(0));
    // The restored block is a new entry: it differs from the written one before it.
    QCOMPARE(kinds, (QStringList{"1,config_read,,cli,1", "1,config_backup,,cli," + b, "1,config_written,,cli," + w,
                                 "1,config_backup,,cli," + w, "1,config_restored,,cli,3", "1,zone_on,2,cli,"}));
}

void TestCli::unconfirmedWriteNamesBackup()
{
    SimProcess sim;
    const QStringList link = startSim(sim, QStringLiteral("udp"), {"--ignore-writes"});
    QVERIFY(!link.isEmpty());
    const Run write = hist(link + QStringList{"config", "write", m_partial});
    QCOMPARE(write.status, 5);
    QVERIFY2(write.err.contains("history entry 1: energizer-cli --udp " + link.at(1).toUtf8() + " --history "
                                + m_history.toUtf8() + " --address 1 config restore 1\n"),
             write.err.constData());
    // Sent is on record though never verified, as a write cut off would be.
    QCOMPARE(entries(), (QStringList{"sent 1", "backup 1"}));
}

// Reads and writes go on; the reason is said once per run.
void TestCli::unusableHistoryGoesOn()
{
    QVERIFY(QDir().mkpath(m_history));
    SimProcess sim;
    const QStringList link = startSim(sim, QStringLiteral("udp"));
    QVERIFY(!link.isEmpty());
    for (const QStringList& args : {QStringList{"config", "read"}, QStringList{"config", "write", m_partial}}) {
        const Run r = hist(link + args);
        QCOMPARE(r.status, 0);
        QVERIFY(!r.out.isEmpty());
        QVERIFY2(r.err.startsWith("energizer-cli: nothing is kept in the history: ") && r.err.count('\n') == 1
                     && r.err.contains("is a folder"),
                 r.err.constData());
    }
    QCOMPARE(sim.block().size(), ConfigBlockSize); // its output so far read
    QCOMPARE(sim.count(QStringLiteral("RX"), QStringLiteral("01 01 04")), 1);
}

void TestCli::shortEntryRefused()
{
    SimProcess sim;
    const QStringList link = startSim(sim, QStringLiteral("udp"));
    QVERIFY(!link.isEmpty());
    QCOMPARE(hist(link + QStringList{"config", "read"}).status, 0);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("cut"));
        db.setDatabaseName(m_history);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("UPDATE entries SET block = substr(block, 1, 51) WHERE id = 1")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("cut"));
    for (const QStringList& args : {QStringList{"history", "show", "1"}, link + QStringList{"config", "restore", "1"}}) {
        const Run r = hist(args);
        QCOMPARE(r.status, 6);
        QVERIFY2(r.err.contains("entry 1 ") && r.err.count('\n') == 1, r.err.constData());
    }
    QCOMPARE(sim.block().size(), ConfigBlockSize);
    QCOMPARE(sim.count(QStringLiteral("RX"), QStringLiteral("01 01 04")), 0);
}

// Five on one line: 3 holds another PIN, 5 is silent. The dry run writes
// nothing; the write reaches each of the others, its own line for each.
// Each keeps its own large-network address, and the dry run says so.
void TestCli::writeToList()
{
    ConfigBlock other = defaultConfigBlock();
    setParam(other, InstallerPinParam, QStringLiteral("123456"));
    const QString otherPin = writeFile(QStringLiteral("otherpin.xml"), configToXml(other));
    SimProcess sim;
    const QStringList link = startSim(sim, QStringLiteral("udp"), {"--addresses", "1-5", "--config-for", "3:" + otherPin, "--fault", "5:silent-after=0"});
    QVERIFY(!link.isEmpty());
    const QStringList write = link + QStringList{"--address", "1-5", "config", "write", m_partial};

    const Run dry = hist(write + QStringList{"--dry-run"});
    QCOMPARE(dry.status, 4);
    QVERIFY2(dry.out.startsWith("address 1: ZoneConfiguration1/FncAlmDelay 3 9\naddress 1: ZoneConfiguration2/FncHighPwrVltg 8160 6970\n"
                                "address 1: Network/BigNetworkAddress 1 kept (not 9: --network-address-from-file writes it)\n"
                                "address 2: "),
             dry.out.constData());
    QCOMPARE(dry.out.count('\n'), 9);
    QCOMPARE(sim.block().size(), ConfigBlockSize);
    QCOMPARE(sim.count(QStringLiteral("RX"), QStringLiteral("01 01 04")), 0);

    const Run r = hist(write);
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

void TestCli::timelineCommands_data()
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
    QTest::newRow("no such timeline") << QStringList{"--timeline", m_dir.filePath(QStringLiteral("typo.sqlite")), "events"} << 6
                                      << QByteArray();
    QTest::newRow("trend has no text") << QStringList{"trend", "--address", "1", "--format", "text"} << 2 << QByteArray();
}

// Needs no link: no connection is given, and none is looked for.
void TestCli::timelineCommands()
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
    const Run r = hist(args);
    QCOMPARE(r.status, status);
    QCOMPARE(r.out, out);
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("typo.sqlite")))); // reading never creates one
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
