#include "simprocess.h"
#include "testsettings.h"

#include "protocol/configrecord.h"
#include "protocol/configxml.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
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

private:
    Run cli(const QStringList& args, const QString& program = QString());
    QStringList startSim(SimProcess& sim, const QString& transport, const QStringList& extra = {});
    QString writeFile(const QString& name, const QByteArray& text);

    QString m_cli;
    QTemporaryDir m_dir;
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
    // No widget library: the tool runs where no display is.
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {m_cli});
    QVERIFY(ldd.waitForFinished());
    const QByteArray libs = ldd.readAllStandardOutput();
    QVERIFY(libs.contains("libQt5Core") && !libs.contains("Qt5Widgets") && !libs.contains("Qt5Gui"));
}

// Status -1 when it crashed or still runs after 20 s (then killed with p).
Run TestCli::cli(const QStringList& args, const QString& program)
{
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(program.isEmpty() ? m_cli : program, args);
    const bool ended = p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit;
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
    QTest::newRow("PIN with a leading zero") << QStringList{} << QStringList{"--pin", "0407318"} << 4;
    QTest::newRow("PIN from a file's first line") << QStringList{} << QStringList{"--pin-file", "@pin"} << 4;
    QTest::newRow("energizer drops writes") << QStringList{"--ignore-writes"} << QStringList{} << 5;
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

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
