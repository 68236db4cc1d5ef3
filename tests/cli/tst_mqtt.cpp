// energizer-cli mqtt against a real mosquitto and energizer-sim, all on
// 127.0.0.1 with ports of their own: its options and its topics directly
// under PREFIX. What it shares with the gateway's publisher (stopping,
// retained commands) is tested there.
#include "brokerprocess.h"
#include "mqttsubscriber.h"
#include "simprocess.h"

#include <QtTest> // and with it all of QtCore

#include <csignal>
#include <functional>

namespace {

constexpr int WaitMs = 6000;

QJsonObject json(const QByteArray& payload) { return QJsonDocument::fromJson(payload).object(); }
bool isOnline(const QByteArray& state) { return json(state).value("online").toBool(); }
MqttSubscriber::Check is(const QByteArray& payload) { return MqttSubscriber::is(payload); }

using Subscriber = MqttSubscriber;

// energizer-cli --udp 127.0.0.1:SIM mqtt [--broker 127.0.0.1:BROKER --interval 0.2] ARGS, its output kept.
struct Bridge : ToolProcess
{
    Bridge(quint16 simPort, quint16 brokerPort, const QStringList& args)
        : ToolProcess(qEnvironmentVariable("EC_CLI"), QStringList{"--udp", QStringLiteral("127.0.0.1:%1").arg(simPort), "mqtt"}
                      + (brokerPort ? QStringList{"--broker", QStringLiteral("127.0.0.1:%1").arg(brokerPort), "--interval", "0.2"} : QStringList{})
                      + args)
    {
    }
};

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void helpNeedsNoSettings();
    void energizerComesAndGoes();
    void brokerDownAtStartThenRestarted();
    void zoneCommands_data();
    void zoneCommands();
    void brokerPassword();
    void discovery();

private:
    // Shared by the tests that neither stop them nor look at the zones; each test has its own topic.
    BrokerProcess broker;
    SimProcess sim;
};

void TestMqtt::initTestCase()
{
    if (QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/bin"}).isEmpty() || QStandardPaths::findExecutable("mosquitto_sub").isEmpty())
        QSKIP("mosquitto and mosquitto-clients are not installed (scripts/deps)");
    QVERIFY(broker.start() && !sim.start({"--udp", "0"}).isEmpty());
}

// In a folder of its own, with no setting.ini anywhere near.
void TestMqtt::helpNeedsNoSettings()
{
    QTemporaryDir dir;
    const QString cli = dir.filePath("energizer-cli");
    const QString helper = QFileInfo(qEnvironmentVariable("EC_CLI")).absolutePath() + "/energizer-cli-mqtt";
    QVERIFY(QFile::copy(qEnvironmentVariable("EC_CLI"), cli) && QFile::copy(helper, dir.filePath("energizer-cli-mqtt")));
    QProcess p;
    p.start(cli, {"mqtt", "--help"});
    QVERIFY(p.waitForFinished(WaitMs));
    QVERIFY2(p.exitCode() == 0 && p.readAllStandardOutput().startsWith("usage: energizer-cli [CONNECTION] mqtt"), p.readAllStandardError());
}

// The default prefix; offline while the energizer is silent from the start,
// state matching the simulator once it answers, offline within 4 s of it
// stopping, online again when it is back; killed, its will says offline.
void TestMqtt::energizerComesAndGoes()
{
    const QString simPort = QString::number(BrokerProcess::freePort());
    Subscriber sub(broker.port(), {"energizer/#"});
    Bridge bridge(simPort.toUShort(), broker.port(), {});
    const QString prefix = QStringLiteral("energizer/%1/udp-127.0.0.1-%2/1").arg(QSysInfo::machineHostName(), simPort);
    QVERIFY(sub.waitFor(prefix + "/availability", is("offline")) >= 0);
    SimProcess own;
    QCOMPARE(own.start({"--udp", simPort, "--on"}), simPort);
    QVERIFY(sub.waitFor(prefix + "/availability", is("online")) >= 0);
    QVERIFY(!own.command("set gate 1", "OK").isEmpty());
    const int at = sub.waitFor(prefix + "/state", [](const QByteArray& p) { return json(p).value("gateAlarmOk") == QJsonValue(false); });
    QVERIFY(at >= 0);
    QVERIFY(json(sub.messages[at].payload).value("fenceOn1").toBool() && json(sub.messages[at].payload).value("fenceHv2").toBool());

    const qint64 stoppedAt = SimProcess::nowMs();
    own.stop();
    const int offline = sub.waitFor(prefix + "/availability", is("offline"), at);
    QVERIFY(offline >= 0);
    QVERIFY2(sub.messages[offline].atMs - stoppedAt <= 4000, "offline more than 4 s after the energizer stopped");
    QCOMPARE(own.start({"--udp", simPort}), simPort);
    const int online = sub.waitFor(prefix + "/availability", is("online"), offline, 8000);
    QVERIFY(online >= 0);
    bridge.signal(SIGKILL);
    QVERIFY(sub.waitFor(prefix + "/availability", is("offline"), online) >= 0);
}

// Retries while the broker is away, says why once, and puts the retained
// state back within 5 s of a restart that lost it.
void TestMqtt::brokerDownAtStartThenRestarted()
{
    BrokerProcess broker;
    const quint16 port = BrokerProcess::freePort();
    Bridge bridge(sim.port(), port, {"--topic", "farm/e2"});
    QVERIFY(bridge.waitForStderr("Connection refused"));
    QVERIFY(broker.start(port));
    QVERIFY(bridge.waitForStderr("connected to broker"));
    QCOMPARE(bridge.err.count("Connection refused"), 1);

    QVERIFY(broker.start(port));
    const qint64 restartedAt = SimProcess::nowMs();
    Subscriber sub(port, {"farm/e2/state"});
    const int state = sub.waitFor("farm/e2/state", &isOnline);
    QVERIFY(state >= 0);
    QVERIFY2(sub.messages[state].atMs - restartedAt <= 5000, "state back more than 5 s after the restart");
    // Retained again: a newcomer gets it.
    Subscriber newcomer(port, {"farm/e2/state"}, {"--retained-only"});
    QVERIFY(newcomer.waitForExit());
    QVERIFY(newcomer.waitFor("farm/e2/state", &isOnline, 0, 0) >= 0);
}

void TestMqtt::zoneCommands_data()
{
    QTest::addColumn<bool>("allowed");
    // In this order: the shared simulator's zone 1 is still off for the first row.
    QTest::newRow("not allowed") << false;
    QTest::newRow("allowed") << true;
}

void TestMqtt::zoneCommands()
{
    QFETCH(bool, allowed);
    // A topic per row: a state retained by the row before would not wait for the subscription.
    const QString prefix = QStringLiteral("farm/e3-%1").arg(int(allowed));
    Subscriber sub(broker.port(), {prefix + "/#"});
    Bridge bridge(sim.port(), broker.port(), QStringList{"--topic", prefix} + (allowed ? QStringList{"--allow-zone-commands"} : QStringList{}));
    // The state follows the subscription on the bridge's one connection.
    int seen = sub.waitFor(prefix + "/state", &isOnline);
    QVERIFY(seen >= 0);
    QCOMPARE(QProcess::execute("mosquitto_pub", {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-t", prefix + "/zone/1/set", "-m", "on"}), 0);
    seen = sub.waitFor(prefix + "/zone/1/set", is("on"), seen);
    QVERIFY(seen >= 0);
    // Allowed, the state shows it; else nothing to wait for but time: five more polls.
    if (allowed)
        seen = sub.waitFor(prefix + "/state", [](const QByteArray& p) { return json(p).value("fenceOn1").toBool(); }, seen);
    for (int i = 0; i < 5 && !allowed && seen >= 0; ++i)
        seen = sub.waitFor(prefix + "/state", &isOnline, seen + 1);
    QVERIFY2(seen >= 0, bridge.err.constData());
    QCOMPARE(sim.command("state", "STATE"), QStringLiteral("STATE on1=%1 hv1=1 on2=0 hv2=1").arg(int(allowed)));
}

// The right password connects; a wrong one is refused on every retry, with one line saying why.
void TestMqtt::brokerPassword()
{
    BrokerProcess broker;
    QVERIFY(broker.start(0, "farm", "s3cret"));
    QTemporaryDir dir;
    for (const QByteArray& password : {QByteArray("s3cret"), QByteArray("guess")}) {
        QFile file(dir.filePath(QString::fromLatin1(password)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(password + '\n') > 0 && file.flush());
        Bridge bridge(sim.port(), broker.port(), {"--topic", "farm/e4", "--username", "farm", "--password-file", file.fileName()});
        const bool right = password == "s3cret";
        QVERIFY(right ? bridge.waitForStderr("connected to broker")
                      : QTest::qWaitFor([&] { return broker.log().count("disconnected, not authorised") >= 3; }, 8000));
        QCOMPARE(bridge.err.count("refused"), right ? 0 : 1);
        QVERIFY(right || bridge.err.contains("refused the connection: Connection Refused: not authorised"));
    }
}

// Every configuration is JSON naming the state and availability topics.
void TestMqtt::discovery()
{
    Bridge bridge(sim.port(), broker.port(), {"--topic", "farm/e5", "--discovery", "--allow-zone-commands"});
    {
        // Sent after the configurations on the same connection.
        Subscriber first(broker.port(), {"farm/e5/state"});
        QVERIFY(first.waitFor("farm/e5/state", &isOnline) >= 0);
    }
    // The retained configurations, up to the first live state.
    Subscriber sub(broker.port(), {"homeassistant/+/farm_e5/#", "farm/e5/state"}, {"--retained-only"});
    QVERIFY(sub.waitForExit());
    QVERIFY(sub.waitFor("homeassistant/switch/farm_e5/zone2/config", [](const QByteArray&) { return true; }, 0, 0) >= 0);
    for (const auto& m : sub.messages) {
        if (m.topic == "farm/e5/state")
            continue;
        QCOMPARE(json(m.payload).value("state_topic").toString(), QStringLiteral("farm/e5/state"));
        QCOMPARE(json(m.payload).value("availability_topic").toString(), QStringLiteral("farm/e5/availability"));
    }
}

QTEST_GUILESS_MAIN(TestMqtt)
#include "tst_mqtt.moc"
