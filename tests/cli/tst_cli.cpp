#include "simprocess.h"
#include "testsettings.h"

#include "config/configrecord.h"
#include "config/configxml.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

// One finished run of the tool.
struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
    qint64 ms = 0;
};

namespace {

// A UDP port nothing listens on.
quint16 deadPort()
{
    QUdpSocket s;
    s.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return s.localPort();
}

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// True when only loopback is up (a private network namespace): a name lookup cannot leave the machine.
bool loopbackOnly()
{
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        if ((i.flags() & QNetworkInterface::IsUp) && !(i.flags() & QNetworkInterface::IsLoopBack))
            return false;
    }
    return true;
}

// Parameter indices of the saved file's table.
constexpr int InstallerPin = 20;
constexpr int Zone1AlmDelay = 33;
constexpr int Zone2HighPwrVltg = 59;

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
    void configRead_data();
    void configRead();
    void configDiff();
    void configWrite_data();
    void configWrite();
    void zone_data();
    void zone();
    void watch_data();
    void watch();
    void watchEndsOnSigterm();
    void settingsBesideExecutable_data();
    void settingsBesideExecutable();

private:
    Run cli(const QStringList& args, const QString& program = QString(), const QStringList& env = {});
    QStringList startSim(SimProcess& sim, const QString& transport, const QStringList& extra = {});
    QString writeFile(const QString& name, const QByteArray& text);

    QString m_cli;
    QTemporaryDir m_dir;
};

void TestCli::initTestCase()
{
    m_cli = qEnvironmentVariable("EC_CLI");
    QVERIFY2(QFileInfo(m_cli).isExecutable(), "EC_CLI names no executable");
    QVERIFY(m_dir.isValid());
}

Run TestCli::cli(const QStringList& args, const QString& program, const QStringList& env)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& kv : env)
        e.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(e);
    QElapsedTimer clock;
    clock.start();
    p.start(program.isEmpty() ? m_cli : program, args);
    Run r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.ms = clock.elapsed();
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Starts the simulator and returns the connection options that reach it.
QStringList TestCli::startSim(SimProcess& sim, const QString& transport, const QStringList& extra)
{
    QStringList args{QStringLiteral("--verbose")};
    if (transport == QLatin1String("pty"))
        args << QStringLiteral("--pty") << m_dir.filePath(QStringLiteral("pty"));
    else
        args << QLatin1String("--") + transport << QStringLiteral("0");
    const QString where = sim.start(args + extra);
    if (where.isEmpty())
        return {};
    if (transport == QLatin1String("pty"))
        return {QStringLiteral("--serial"), where};
    return {QLatin1String("--") + transport, QStringLiteral("127.0.0.1:") + where};
}

QString TestCli::writeFile(const QString& name, const QByteArray& text)
{
    QFile f(m_dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        return {};
    return f.fileName();
}

void TestCli::noWidgetLibrary()
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {m_cli});
    QVERIFY(ldd.waitForFinished());
    const QByteArray libs = ldd.readAllStandardOutput();
    QVERIFY(libs.contains("libQt5Core"));
    QVERIFY(!libs.contains("Qt5Widgets"));
    QVERIFY(!libs.contains("Qt5Gui"));
}

void TestCli::status_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<bool>("json");
    QTest::addColumn<QStringList>("simExtra");
    QTest::newRow("udp text") << "udp" << false << QStringList{"--set", "gate"};
    QTest::newRow("tcp json, zones on") << "tcp" << true << QStringList{"--set", "gate", "--on"};
    QTest::newRow("pty text, zones on") << "pty" << false << QStringList{"--set", "gate", "--on"};
}

// The battery byte of the reply on the wire decides the printed value, unrounded,
// with a dot even under a locale that writes a comma.
void TestCli::status()
{
    QFETCH(QString, transport);
    QFETCH(bool, json);
    QFETCH(QStringList, simExtra);
    SimProcess sim;
    const QStringList link = startSim(sim, transport, simExtra);
    QVERIFY(!link.isEmpty());
    QStringList args = link + QStringList{QStringLiteral("-v"), QStringLiteral("status")};
    if (json)
        args << QStringLiteral("--json");
    const Run r = cli(args, {}, {QStringLiteral("LC_ALL=de_DE.UTF-8"), QStringLiteral("LANG=de_DE.UTF-8")});
    QCOMPARE(r.status, 0);
    QVERIFY(r.err.contains("TX 01 01 01 E3\n"));
    const QRegularExpressionMatch rx = QRegularExpression(QStringLiteral("^RX ((?:[0-9A-F]{2} ?){27})$"),
                                                          QRegularExpression::MultilineOption)
                                           .match(QString::fromLatin1(r.err));
    QVERIFY2(rx.hasMatch(), r.err.constData());
    const QByteArray reply = QByteArray::fromHex(rx.captured(1).remove(QLatin1Char(' ')).toLatin1());
    const double battery = static_cast<quint8>(reply.at(9)) * 0.125;
    const char* const conditions[] = {"", "Good", "Check", "Bad"};
    const QString condition = QLatin1String(conditions[(static_cast<quint8>(reply.at(12)) >> 4) & 3]);
    if (json) {
        const QJsonObject o = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(o.value(QStringLiteral("online")).toBool(false), true);
        QCOMPARE(o.value(QStringLiteral("gateAlarmOk")).toBool(true), false);
        QCOMPARE(o.value(QStringLiteral("batteryVoltage")).toDouble(), battery);
        QCOMPARE(o.value(QStringLiteral("fenceCondition1")).toString(QStringLiteral("?")), condition);
    } else {
        const QString text = QString::fromUtf8(r.out);
        QVERIFY(text.contains(QStringLiteral("\nonline=true\n")));
        QVERIFY(text.contains(QStringLiteral("\ngateAlarmOk=false\n")));
        QVERIFY(text.contains(QStringLiteral("\nfenceCondition1=%1\n").arg(condition)));
        QVERIFY2(text.contains(QStringLiteral("\nbatteryVoltage=%1\n").arg(QString::number(battery, 'g', 10))),
                 qPrintable(text));
    }
}

void TestCli::exitStatus_data()
{
    QTest::addColumn<QStringList>("args"); // @link: the simulator, @dead: a UDP port nothing answers on
    QTest::addColumn<int>("status");
    const QString dead = QStringLiteral("@dead");
    QTest::newRow("port above 65535") << QStringList{"--udp", "127.0.0.1:65536", "status"} << 2;
    QTest::newRow("address above 255") << QStringList{"@link", "--address", "256", "status"} << 2;
    QTest::newRow("unknown command") << QStringList{"@link", "reboot"} << 2;
    QTest::newRow("interval below 0.2 s") << QStringList{"@link", "watch", "--interval", "0.1"} << 2;
    QTest::newRow("option of another command") << QStringList{"@link", "status", "--pin", "1"} << 2;
    QTest::newRow("two connections") << QStringList{"@link", "--tcp", "127.0.0.1:1", "status"} << 2;
    QTest::newRow("zone 3") << QStringList{"@link", "zone", "3", "on"} << 2;
    QTest::newRow("missing file") << QStringList{"@link", "config", "diff", "@dir/none.xml"} << 6;
    QTest::newRow("malformed file") << QStringList{"@link", "config", "write", "@dir/malformed.xml"} << 6;
    QTest::newRow("foreign file") << QStringList{"@link", "config", "diff", "@dir/foreign.xml"} << 6;
    QTest::newRow("unwritable output") << QStringList{"@link", "config", "read", "--output", "@dir/no/such/x.xml"} << 6;
    QTest::newRow("nothing answers status") << QStringList{dead, "--timeout", "700", "status"} << 3;
    QTest::newRow("nothing answers config") << QStringList{dead, "--timeout", "700", "config", "show"} << 3;
    QTest::newRow("nothing answers zone") << QStringList{dead, "--timeout", "700", "zone", "1", "on"} << 3;
    QTest::newRow("tcp refused") << QStringList{"--tcp", "@deadhost", "--timeout", "700", "status"} << 3;
    QTest::newRow("host does not resolve") << QStringList{"--udp", "no-such-host.invalid:6128", "--timeout", "700", "status"} << 3;
    QTest::newRow("serial port does not exist") << QStringList{"--serial", "@dir/ttyNone", "--timeout", "700", "status"} << 3;
}

// Every failure: its status, one line on stderr, nothing on stdout, no wait past the timeout.
void TestCli::exitStatus()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    if (args.contains(QStringLiteral("no-such-host.invalid:6128")) && !loopbackOnly())
        QSKIP("the lookup would ask a real name server; run in a private network namespace");
    SimProcess sim;
    const QStringList link = startSim(sim, QStringLiteral("udp"));
    QVERIFY(!link.isEmpty());
    QVERIFY(!writeFile(QStringLiteral("malformed.xml"), "<Configuration Company=\"x\"><Options>").isEmpty());
    QVERIFY(!writeFile(QStringLiteral("foreign.xml"), "<?xml version=\"1.0\"?>\n<html><body/></html>\n").isEmpty());
    const quint16 dead = deadPort();
    QStringList expanded;
    for (const QString& a : args) {
        if (a == QLatin1String("@link"))
            expanded << link;
        else if (a == QLatin1String("@dead"))
            expanded << QStringLiteral("--udp") << QStringLiteral("127.0.0.1:%1").arg(dead);
        else
            expanded << QString(a).replace(QStringLiteral("@deadhost"), QStringLiteral("127.0.0.1:%1").arg(dead))
                            .replace(QStringLiteral("@dir"), m_dir.path());
    }
    const Run r = cli(expanded);
    QCOMPARE(r.status, status);
    QVERIFY2(r.out.isEmpty(), r.out.constData());
    const QList<QByteArray> lines = r.err.trimmed().split('\n');
    QVERIFY(r.err.startsWith("energizer-cli: "));
    QVERIFY2(lines.size() == 1 || (status == 2 && lines.size() == 2), r.err.constData());
    QVERIFY2(r.ms < 700 + 500, qPrintable(QString::number(r.ms)));
}

void TestCli::configRead_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<bool>("toFile");
    QTest::newRow("udp stdout") << "udp" << false;
    QTest::newRow("tcp file") << "tcp" << true;
    QTest::newRow("pty stdout") << "pty" << false;
}

// Byte for byte the window's save of the block the simulator holds.
void TestCli::configRead()
{
    QFETCH(QString, transport);
    QFETCH(bool, toFile);
    SimProcess sim;
    const QStringList link = startSim(sim, transport);
    QVERIFY(!link.isEmpty());
    const QString out = m_dir.filePath(QStringLiteral("read.xml"));
    QStringList args = link + QStringList{QStringLiteral("config"), QStringLiteral("read")};
    if (toFile)
        args << QStringLiteral("--output") << out;
    const Run r = cli(args);
    QCOMPARE(r.status, 0);
    QByteArray saved = r.out;
    if (toFile) {
        QVERIFY(r.out.isEmpty());
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        saved = f.readAll();
    }
    const QByteArray block = sim.block();
    QCOMPARE(block.size(), ConfigBlockSize);
    ConfigBlock b{};
    std::copy(block.begin(), block.end(), b.begin());
    QCOMPARE(saved, configToXml(b));
}

// A file's voltage counts as loading stores it: 7000 V is 41 counts of 170 V.
void TestCli::configDiff()
{
    SimProcess sim;
    const QStringList link = startSim(sim, QStringLiteral("udp"));
    QVERIFY(!link.isEmpty());
    QByteArray text = cli(link + QStringList{"config", "read"}).out;
    const QString same = writeFile(QStringLiteral("same.xml"), text);
    const Run unchanged = cli(link + QStringList{"config", "diff", same});
    QCOMPARE(unchanged.status, 0);
    QCOMPARE(unchanged.out, QByteArray());

    // The second FncHighPwrVltg is the zone 2 one; 8160 is the default.
    const int second = text.lastIndexOf("<FncHighPwrVltg value=\"8160\"/>");
    QVERIFY(second > 0);
    text.replace(second, 30, "<FncHighPwrVltg value=\"7000\"/>");
    text.replace("<FncAlmDelay value=\"3\"/>", "<FncAlmDelay value=\"12\"/>");
    const Run differs = cli(link + QStringList{"config", "diff", writeFile(QStringLiteral("differs.xml"), text)});
    QCOMPARE(differs.status, 1);
    QCOMPARE(differs.out, QByteArray("ZoneConfiguration1/FncAlmDelay 3 12\n"
                                     "ZoneConfiguration2/FncAlmDelay 3 12\n"
                                     "ZoneConfiguration2/FncHighPwrVltg 8160 6970\n"));
}

void TestCli::configWrite_data()
{
    QTest::addColumn<QStringList>("simExtra");
    QTest::addColumn<QStringList>("pin");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("stored");
    QTest::newRow("default PIN") << QStringList{} << QStringList{} << 0 << true;
    QTest::newRow("PIN given") << QStringList{} << QStringList{"--pin", "407318"} << 0 << true;
    QTest::newRow("wrong PIN") << QStringList{} << QStringList{"--pin", "407319"} << 4 << false;
    QTest::newRow("PIN with a leading zero") << QStringList{} << QStringList{"--pin", "0407318"} << 4 << false;
    QTest::newRow("energizer drops writes") << QStringList{"--ignore-writes"} << QStringList{} << 5 << false;
}

// A file holding two parameters changes those and nothing else of the block.
void TestCli::configWrite()
{
    QFETCH(QStringList, simExtra);
    QFETCH(QStringList, pin);
    QFETCH(int, status);
    QFETCH(bool, stored);
    SimProcess sim;
    const QStringList link = startSim(sim, QStringLiteral("udp"), simExtra);
    QVERIFY(!link.isEmpty());
    const QByteArray before = sim.block();
    QCOMPARE(before.size(), ConfigBlockSize);
    const QString file = writeFile(QStringLiteral("partial.xml"),
                                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuration Company=\"Ravlin (Pty) Ltd\">\n"
                                   "  <ZoneConfiguration1>\n    <FncAlmDelay value=\"9\"/>\n  </ZoneConfiguration1>\n"
                                   "  <ZoneConfiguration2>\n    <FncHighPwrVltg value=\"7000\"/>\n  </ZoneConfiguration2>\n"
                                   "</Configuration>\n");
    const Run r = cli(link + QStringList{"config", "write", file} + pin);
    QCOMPARE(r.status, status);
    QCOMPARE(r.out.isEmpty(), status != 0);
    const QByteArray after = sim.block();
    QCOMPARE(after.size(), ConfigBlockSize);
    QCOMPARE(sim.count(QStringLiteral("RX"), QStringLiteral("01 01 04")), status == 4 ? 0 : 1);
    ConfigBlock a{};
    std::copy(after.begin(), after.end(), a.begin());
    if (!stored) {
        QCOMPARE(hex(after), hex(before));
        return;
    }
    QCOMPARE(getParam(a, Zone1AlmDelay).toInt(), 9);
    QCOMPARE(getParam(a, Zone2HighPwrVltg).toInt(), 6970);
    QCOMPARE(getParam(a, InstallerPin).toString(), QStringLiteral("407318"));
    // Bytes 3..50 are the configuration; 51 is the reply's checksum.
    int changedBytes = 0;
    for (int i = 3; i <= 50; ++i)
        changedBytes += before.at(i) != after.at(i) ? 1 : 0;
    QCOMPARE(changedBytes, 2);
}

void TestCli::zone_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<QStringList>("simExtra");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("state");
    const QStringList on{"--on"};
    QTest::newRow("zone 1 off") << "udp" << on << QStringList{"1", "off"} << 0 << "STATE on1=0 hv1=1 on2=1 hv2=1";
    // The second command finds the zones apart; neither may follow the other.
    QTest::newRow("zone 1 off, then zone 2 lv") << "tcp" << on << QStringList{"1", "off", "2", "lv"} << 0 << "STATE on1=0 hv1=1 on2=1 hv2=0";
    QTest::newRow("zone 2 on") << "pty" << QStringList{} << QStringList{"2", "on"} << 0 << "STATE on1=0 hv1=1 on2=1 hv2=1";
    QTest::newRow("status stops after one reply") << "udp" << QStringList{"--on", "--silent-after", "1"}
                                                  << QStringList{"1", "off"} << 5 << "STATE on1=0 hv1=1 on2=1 hv2=1";
}

void TestCli::zone()
{
    QFETCH(QString, transport);
    QFETCH(QStringList, simExtra);
    QFETCH(QStringList, command);
    QFETCH(int, status);
    QFETCH(QString, state);
    SimProcess sim;
    const QStringList link = startSim(sim, transport, simExtra);
    QVERIFY(!link.isEmpty());
    for (int i = 0; i < command.size(); i += 2) {
        const Run r = cli(link + QStringList{"--timeout", "1000", "zone"} + command.mid(i, 2));
        QCOMPARE(r.status, status);
    }
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

void TestCli::watch()
{
    QFETCH(QString, format);
    QFETCH(bool, answering);
    SimProcess sim;
    QStringList link = startSim(sim, QStringLiteral("udp"), {QStringLiteral("--on")});
    QVERIFY(!link.isEmpty());
    if (!answering)
        link = QStringList{QStringLiteral("--udp"), QStringLiteral("127.0.0.1:%1").arg(deadPort())};
    const Run r = cli(link + QStringList{"--timeout", "300", "watch", "--count", "3", "--interval", "0.2",
                                         "--format", format},
                      {}, {QStringLiteral("LC_ALL=de_DE.UTF-8")});
    QCOMPARE(r.status, 0);
    QList<QByteArray> lines = r.out.split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    const QRegularExpression time(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"));
    if (format == QLatin1String("csv")) {
        QCOMPARE(lines.size(), 4);
        const QList<QByteArray> header = lines.takeFirst().split(',');
        QCOMPARE(header.first(), QByteArray("time"));
        const int online = header.indexOf("online");
        const int battery = header.indexOf("batteryVoltage");
        QVERIFY(online > 0 && battery > 0 && header.contains("outputVoltage1") && header.contains("gateAlarmOk"));
        for (const QByteArray& line : lines) {
            const QList<QByteArray> cells = line.split(',');
            QCOMPARE(cells.size(), header.size());
            QVERIFY(time.match(QString::fromLatin1(cells.first())).hasMatch());
            QCOMPARE(cells.at(online), QByteArray(answering ? "true" : "false"));
            if (answering)
                QVERIFY2(QRegularExpression(QStringLiteral("^1[0-9](\\.[0-9]+)?$")).match(QString::fromLatin1(cells.at(battery))).hasMatch(),
                         line.constData());
            else
                QCOMPARE(cells.at(battery), QByteArray());
        }
    } else {
        QCOMPARE(lines.size(), 3);
        for (const QByteArray& line : lines) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            QVERIFY(time.match(o.value(QStringLiteral("time")).toString()).hasMatch());
            QCOMPARE(o.value(QStringLiteral("online")).toBool(), true);
            QCOMPARE(o.value(QStringLiteral("fenceOn2")).toBool(), true);
        }
    }
}

void TestCli::watchEndsOnSigterm()
{
    SimProcess sim;
    const QStringList link = startSim(sim, QStringLiteral("tcp"));
    QVERIFY(!link.isEmpty());
    const QString log = m_dir.filePath(QStringLiteral("night.csv"));
    QProcess p;
    p.start(m_cli, link + QStringList{"watch", "--interval", "0.2", "--output", log});
    const auto lines = [&log] {
        QFile f(log);
        return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(lines() >= 3, 10000);
    p.terminate();
    QVERIFY(p.waitForFinished(3000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardError(), QByteArray());
}

void TestCli::settingsBesideExecutable_data()
{
    QTest::addColumn<int>("comMode");
    QTest::addColumn<int>("status");
    QTest::newRow("network") << 1 << 0;
    QTest::newRow("serial, no port named") << 0 << 2;
}

// With no connection option the window's setting.ini beside the executable decides.
void TestCli::settingsBesideExecutable()
{
    QFETCH(int, comMode);
    QFETCH(int, status);
    SimProcess sim;
    QVERIFY(!startSim(sim, QStringLiteral("udp")).isEmpty());
    const QString copy = QCoreApplication::applicationDirPath() + QStringLiteral("/energizer-cli");
    QFile::remove(copy);
    QVERIFY(QFile::copy(m_cli, copy));
    writeSettingsIni(QStringLiteral("127.0.0.1"), sim.port(), comMode, 0);
    const Run r = cli({QStringLiteral("status")}, copy);
    QCOMPARE(r.status, status);
    QCOMPARE(r.out.contains("online=true"), status == 0);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
