#include "simprocess.h"
#include "testsettings.h"

#include "config/configrecord.h"
#include "config/configxml.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

// One finished run of the tool.
struct Run { int status; QByteArray out, err; qint64 ms; };

namespace {

// A UDP port nothing listens on.
QString deadLink()
{
    QUdpSocket s;
    s.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return QStringLiteral("127.0.0.1:%1").arg(s.localPort());
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void noWidgetLibrary();
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
    m_link = startSim(m_sim, QStringLiteral("udp"));
    QVERIFY(!m_link.isEmpty());
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

void TestCli::noWidgetLibrary()
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {m_cli});
    QVERIFY(ldd.waitForFinished());
    const QByteArray libs = ldd.readAllStandardOutput();
    QVERIFY(libs.contains("libQt5Core") && !libs.contains("Qt5Widgets") && !libs.contains("Qt5Gui"));
}

// One row per link kind.
void TestCli::status_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<bool>("json");
    QTest::newRow("udp text") << "udp" << false;
    QTest::newRow("tcp json") << "tcp" << true;
    QTest::newRow("pty text") << "pty" << false;
}

// The battery byte of the reply on the wire decides the printed value, unrounded,
// with a dot even under a locale that writes a comma.
void TestCli::status()
{
    QFETCH(QString, transport);
    QFETCH(bool, json);
    SimProcess sim;
    const QStringList link = startSim(sim, transport, {"--on", "--set", "gate"});
    QVERIFY(!link.isEmpty());
    const Run r = cli(link + QStringList{"-v", "status"} + (json ? QStringList{"--json"} : QStringList{}));
    QCOMPARE(r.status, 0);
    QVERIFY(r.err.contains("TX 01 01 01 E3\n"));
    const QRegularExpressionMatch rx = QRegularExpression(QStringLiteral("^RX ((?:[0-9A-F]{2} ?){27})$"), QRegularExpression::MultilineOption)
                                           .match(QString::fromLatin1(r.err));
    QVERIFY2(rx.hasMatch(), r.err.constData());
    const QByteArray reply = QByteArray::fromHex(rx.captured(1).toLatin1());
    const double battery = static_cast<quint8>(reply.at(9)) * 0.125;
    const char* const conditions[] = {"", "Good", "Check", "Bad"};
    const QString condition = QLatin1String(conditions[(static_cast<quint8>(reply.at(12)) >> 4) & 3]);
    QVariantMap fields = QJsonDocument::fromJson(r.out).object().toVariantMap();
    for (const QString& line : json ? QStringList() : QString::fromUtf8(r.out).split(QLatin1Char('\n')))
        fields.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    QCOMPARE(fields.value("online").toString(), QStringLiteral("true"));
    QCOMPARE(fields.value("gateAlarmOk").toString(), QStringLiteral("false"));
    QCOMPARE(fields.value("batteryVoltage").toString(), QString::number(battery, 'g', 10));
    QCOMPARE(fields.value("fenceCondition1").toString(), condition);
}

// One or two rows per kind of check; @link is the simulator, @dead a UDP port nothing answers on.
void TestCli::exitStatus_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::newRow("port above 65535") << QStringList{"--udp", "127.0.0.1:65536", "status"} << 2;
    QTest::newRow("unknown command") << QStringList{"@link", "reboot"} << 2;
    QTest::newRow("two connections") << QStringList{"@link", "--tcp", "127.0.0.1:1", "status"} << 2;
    QTest::newRow("missing file") << QStringList{"@link", "config", "diff", "@dir/none.xml"} << 6;
    QTest::newRow("foreign file") << QStringList{"@link", "config", "write", "@dir/foreign.xml"} << 6;
    QTest::newRow("nothing answers status") << QStringList{"@dead", "--timeout", "700", "status"} << 3;
}

// Every failure: its status, one line on stderr, nothing on stdout, no wait past the timeout.
void TestCli::exitStatus()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QVERIFY(!writeFile(QStringLiteral("foreign.xml"), "<?xml version=\"1.0\"?>\n<html><body/></html>\n").isEmpty());
    QStringList expanded;
    for (const QString& a : args)
        expanded << (a == "@link" ? m_link : a == "@dead" ? QStringList{"--udp", deadLink()} : QStringList{QString(a).replace("@dir", m_dir.path())});
    const Run r = cli(expanded);
    QCOMPARE(r.status, status);
    QVERIFY2(r.out.isEmpty(), r.out.constData());
    QVERIFY2(r.err.startsWith("energizer-cli: ") && r.err.trimmed().count('\n') <= (status == 2 ? 1 : 0), r.err.constData());
    QVERIFY2(r.ms < 700 + 500, qPrintable(QString::number(r.ms)));
}

// Byte for byte the window's save of the block the simulator holds, on stdout and into a file.
void TestCli::configRead()
{
    const QByteArray block = m_sim.block();
    QCOMPARE(block.size(), ConfigBlockSize);
    ConfigBlock b{};
    std::copy(block.begin(), block.end(), b.begin());
    const QByteArray saved = configToXml(b);
    const Run toStdout = cli(m_link + QStringList{"config", "read"});
    QCOMPARE(toStdout.status, 0);
    QCOMPARE(toStdout.out, saved);
    const QString out = m_dir.filePath(QStringLiteral("read.xml"));
    const Run toFile = cli(m_link + QStringList{"config", "read", "--output", out});
    QVERIFY(toFile.status == 0 && toFile.out.isEmpty());
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), saved);
}

void TestCli::configWrite_data()
{
    QTest::addColumn<QStringList>("simExtra");
    QTest::addColumn<QStringList>("pin");
    QTest::addColumn<int>("status");
    QTest::newRow("PIN given") << QStringList{} << QStringList{"--pin", "407318"} << 0;
    QTest::newRow("wrong PIN") << QStringList{} << QStringList{"--pin", "407319"} << 4;
    QTest::newRow("PIN with a leading zero") << QStringList{} << QStringList{"--pin", "0407318"} << 4;
    QTest::newRow("energizer drops writes") << QStringList{"--ignore-writes"} << QStringList{} << 5;
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

void TestCli::watch_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("answering");
    QTest::newRow("csv") << "csv" << true;
    QTest::newRow("jsonl") << "jsonl" << true;
    QTest::newRow("csv, no energizer") << "csv" << false;
}

// --count 3: a CSV header and three lines, or three JSON lines; a poll with no reply is offline with empty fields.
void TestCli::watch()
{
    QFETCH(QString, format);
    QFETCH(bool, answering);
    const QStringList link = answering ? m_link : QStringList{"--udp", deadLink()};
    const Run r = cli(link + QStringList{"--timeout", "300", "watch", "--count", "3", "--interval", "0.2", "--format", format});
    QCOMPARE(r.status, 0);
    QList<QByteArray> lines = r.out.split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    QCOMPARE(lines.size(), format == "csv" ? 4 : 3);
    const QRegularExpression time(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"));
    const QRegularExpression battery(answering ? QStringLiteral("^1[0-9](\\.[0-9]+)?$") : QStringLiteral("^$"));
    const QList<QByteArray> header = format == "csv" ? lines.takeFirst().split(',') : QList<QByteArray>();
    for (const QByteArray& line : lines) {
        QJsonObject o = QJsonDocument::fromJson(line).object();
        const QList<QByteArray> cells = line.split(',');
        QVERIFY(header.isEmpty() || cells.size() == header.size());
        for (int i = 0; i < header.size(); ++i)
            o.insert(QString::fromLatin1(header[i]), QString::fromLatin1(cells[i]));
        QVERIFY2(time.match(o.value("time").toString()).hasMatch(), line.constData());
        QCOMPARE(o.value("online").toVariant().toString(), QString(answering ? "true" : "false"));
        QVERIFY2(battery.match(o.value("batteryVoltage").toVariant().toString()).hasMatch(), line.constData());
    }
}

void TestCli::watchEndsOnSigterm()
{
    const QString log = m_dir.filePath(QStringLiteral("night.csv"));
    QProcess p;
    p.start(m_cli, m_link + QStringList{"watch", "--interval", "0.2", "--output", log});
    const auto lines = [&log] { QFile f(log); return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0; };
    QTRY_VERIFY_WITH_TIMEOUT(lines() >= 3, 10000);
    p.terminate();
    QVERIFY(p.waitForFinished(3000) && p.exitStatus() == QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardError(), QByteArray());
}

// With no connection option the window's setting.ini beside the executable
// decides: the network link, or a serial link with no port named (a usage error).
void TestCli::settingsBesideExecutable()
{
    const QString copy = QCoreApplication::applicationDirPath() + QStringLiteral("/energizer-cli");
    QFile::remove(copy);
    QVERIFY(QFile::copy(m_cli, copy));
    for (const int comMode : {1, 0}) {
        writeSettingsIni(QStringLiteral("127.0.0.1"), m_sim.port(), comMode, 0);
        const Run r = cli({QStringLiteral("status")}, copy);
        QCOMPARE(r.status, comMode == 1 ? 0 : 2);
        QCOMPARE(r.out.contains("online=true"), comMode == 1);
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
