// energizer-cli mqtt against a real mosquitto and energizer-sim, all on
// 127.0.0.1 with ports of their own.
#include "brokerprocess.h"
#include "simprocess.h"

#include "device/energizerfields.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStandardPaths>
#include <QSysInfo>
#include <QtTest>

#include <csignal>
#include <functional>

namespace {

constexpr int WaitMs = 6000;

// Runs the event loop until done() or the time is up.
bool waitUntil(const std::function<bool()>& done, int timeoutMs, QProcess* process)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (process)
            process->waitForReadyRead(10);
        else
            QTest::qWait(10);
    }
    return true;
}

// mosquitto_sub -v: one "topic payload" line per message.
class Subscriber
{
public:
    struct Message
    {
        qint64 atMs;
        QString topic;
        QByteArray payload;
    };

    explicit Subscriber(quint16 port, const QStringList& topics, const QStringList& extra = {})
    {
        QStringList args{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port), QStringLiteral("-v")};
        for (const QString& t : topics)
            args << QStringLiteral("-t") << t;
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, &process_, [this] { read(); });
        process_.start(QStringLiteral("mosquitto_sub"), args + extra);
    }
    ~Subscriber()
    {
        process_.kill();
        process_.waitForFinished(3000);
    }

    // The index of the first message from index `from` on with this topic
    // and a payload that passes the check; -1 when none came in time.
    int waitFor(const QString& topic, const std::function<bool(const QByteArray&)>& check, int from = 0, int timeoutMs = WaitMs)
    {
        int found = -1;
        waitUntil([&] {
            for (int i = from; i < messages_.size(); ++i) {
                if (messages_[i].topic == topic && check(messages_[i].payload)) {
                    found = i;
                    return true;
                }
            }
            return false;
        }, timeoutMs, &process_);
        return found;
    }
    int waitFor(const QString& topic, const QByteArray& payload, int from = 0, int timeoutMs = WaitMs)
    {
        return waitFor(topic, [&](const QByteArray& p) { return p == payload; }, from, timeoutMs);
    }
    bool waitForExit() { return process_.waitForFinished(WaitMs) && (read(), true); }

    const QList<Message>& messages() const { return messages_; }
    int size() const { return messages_.size(); }

private:
    void read()
    {
        while (process_.canReadLine()) {
            const QByteArray line = process_.readLine().chopped(1);
            const int space = line.indexOf(' ');
            messages_.append({SimProcess::nowMs(), QString::fromUtf8(line.left(space)), line.mid(space + 1)});
        }
    }

    ChildProcess process_;
    QList<Message> messages_;
};

// energizer-cli --udp 127.0.0.1:PORT mqtt ..., its stderr kept.
class Bridge
{
public:
    Bridge(quint16 simPort, const QStringList& mqttArgs)
    {
        QObject::connect(&process_, &QProcess::readyReadStandardError, &process_,
                         [this] { err_ += QString::fromUtf8(process_.readAllStandardError()); });
        process_.start(qEnvironmentVariable("EC_CLI"),
                       QStringList{QStringLiteral("--udp"), QStringLiteral("127.0.0.1:%1").arg(simPort), QStringLiteral("mqtt")} + mqttArgs);
    }
    ~Bridge()
    {
        process_.kill();
        process_.waitForFinished(3000);
    }
    bool waitForStderr(const QString& text, int timeoutMs = WaitMs)
    {
        return waitUntil([&] { return err_.contains(text); }, timeoutMs, &process_);
    }
    // The exit status, -1 when killed by a signal or still running.
    int exitCode()
    {
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(WaitMs))
            return -1;
        err_ += QString::fromUtf8(process_.readAllStandardError());
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    void signal(int sig) { ::kill(static_cast<pid_t>(process_.processId()), sig); }
    QString err() const { return err_; }

private:
    ChildProcess process_;
    QString err_;
};

QJsonObject json(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

bool isOnline(const QByteArray& state)
{
    return json(state).value(QStringLiteral("online")).toBool();
}

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void energizerComesAndGoes();
    void energizerSilentFromStart();
    void bridgeEnds_data();
    void bridgeEnds();
    void brokerDownAtStartThenRestarted();
    void zoneCommands_data();
    void zoneCommands();
    void brokerPassword_data();
    void brokerPassword();
    void discovery();
    void usage_data();
    void usage();

private:
    const QStringList fast{QStringLiteral("--interval"), QStringLiteral("0.2")};
};

void TestMqtt::initTestCase()
{
    QVERIFY2(!qEnvironmentVariable("EC_CLI").isEmpty(), "EC_CLI names energizer-cli");
    if (QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")}).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("mosquitto_sub")).isEmpty())
        QSKIP("mosquitto and mosquitto-clients are not installed (scripts/deps)");
}

// The default prefix, state matching the simulator, offline within 4 s of
// it stopping, online again when it is back.
void TestMqtt::energizerComesAndGoes()
{
    BrokerProcess broker;
    QVERIFY(broker.start());
    SimProcess sim;
    const QString simPort = sim.start({QStringLiteral("--udp"), QStringLiteral("0"), QStringLiteral("--on")});
    QVERIFY(!simPort.isEmpty());
    Subscriber sub(broker.port(), {QStringLiteral("energizer/#")});
    Bridge bridge(sim.port(), QStringList{QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.port())} + fast);

    const QString prefix = QStringLiteral("energizer/%1/udp-127.0.0.1-%2/1").arg(QSysInfo::machineHostName(), simPort);
    QVERIFY(sub.waitFor(prefix + QStringLiteral("/availability"), "online") >= 0);
    QCOMPARE(sim.command(QStringLiteral("set gate 1"), QStringLiteral("OK")).isEmpty(), false);
    const int at = sub.waitFor(prefix + QStringLiteral("/state"), [](const QByteArray& p) {
        return json(p).value(QStringLiteral("gateAlarmOk")) == QJsonValue(false);
    });
    QVERIFY(at >= 0);
    const QJsonObject state = json(sub.messages()[at].payload);
    QStringList keys = energizerFieldNames() << QStringLiteral("time");
    keys.sort();
    QCOMPARE(state.keys(), keys);
    QCOMPARE(state.value(QStringLiteral("fenceOn1")).toBool(), true);
    QCOMPARE(state.value(QStringLiteral("fenceHv2")).toBool(), true);
    QVERIFY(qAbs(state.value(QStringLiteral("batteryVoltage")).toDouble() - 13.6) < 0.5);
    const QDateTime time = QDateTime::fromString(state.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    QCOMPARE(time.timeSpec(), Qt::UTC);
    QVERIFY(qAbs(time.msecsTo(QDateTime::currentDateTimeUtc())) < 2000);

    const int before = sub.size();
    const qint64 stoppedAt = SimProcess::nowMs();
    sim.stop();
    const int offline = sub.waitFor(prefix + QStringLiteral("/availability"), "offline", before);
    QVERIFY(offline >= 0);
    QVERIFY2(sub.messages()[offline].atMs - stoppedAt <= 4000, "offline more than 4 s after the energizer stopped");

    const int back = sub.size();
    QCOMPARE(sim.start({QStringLiteral("--udp"), simPort}), simPort);
    QVERIFY(sub.waitFor(prefix + QStringLiteral("/availability"), "online", back, 8000) >= 0);
    QVERIFY(sub.waitFor(prefix + QStringLiteral("/state"), &isOnline, back) >= 0);
}

void TestMqtt::energizerSilentFromStart()
{
    BrokerProcess broker;
    QVERIFY(broker.start());
    Subscriber sub(broker.port(), {QStringLiteral("farm/#")});
    Bridge bridge(BrokerProcess::freePort(), QStringList{QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.port()),
                                                         QStringLiteral("--topic"), QStringLiteral("farm/e4")} + fast);
    QVERIFY(sub.waitFor(QStringLiteral("farm/e4/availability"), "offline") >= 0);
}

void TestMqtt::bridgeEnds_data()
{
    QTest::addColumn<int>("sig");
    QTest::newRow("killed: the will") << int(SIGKILL);
    QTest::newRow("terminated: its own offline") << int(SIGTERM);
}

void TestMqtt::bridgeEnds()
{
    QFETCH(int, sig);
    BrokerProcess broker;
    QVERIFY(broker.start());
    SimProcess sim;
    QVERIFY(!sim.start({QStringLiteral("--udp"), QStringLiteral("0")}).isEmpty());
    Subscriber sub(broker.port(), {QStringLiteral("farm/#")});
    Bridge bridge(sim.port(), QStringList{QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.port()),
                                          QStringLiteral("--topic"), QStringLiteral("farm/e1")} + fast);
    QVERIFY(sub.waitFor(QStringLiteral("farm/e1/availability"), "online") >= 0);
    const int before = sub.size();
    bridge.signal(sig);
    QVERIFY(sub.waitFor(QStringLiteral("farm/e1/availability"), "offline", before) >= 0);
    QCOMPARE(bridge.exitCode(), sig == SIGKILL ? -1 : 0);
    // Retained, for whoever subscribes later; the bridge is gone, so nothing else comes.
    Subscriber newcomer(broker.port(), {QStringLiteral("farm/e1/availability")});
    QVERIFY(newcomer.waitFor(QStringLiteral("farm/e1/availability"), "offline") >= 0);
}

// Retries while the broker is away, says why once, and puts the retained
// state back after a restart that lost it.
void TestMqtt::brokerDownAtStartThenRestarted()
{
    SimProcess sim;
    QVERIFY(!sim.start({QStringLiteral("--udp"), QStringLiteral("0")}).isEmpty());
    const quint16 port = BrokerProcess::freePort();
    Bridge bridge(sim.port(), QStringList{QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(port),
                                          QStringLiteral("--topic"), QStringLiteral("farm/e2")} + fast);
    QVERIFY(bridge.waitForStderr(QStringLiteral("Connection refused")));
    BrokerProcess broker;
    QVERIFY(broker.start(port));
    {
        Subscriber sub(port, {QStringLiteral("farm/e2/#")});
        QVERIFY(sub.waitFor(QStringLiteral("farm/e2/state"), &isOnline) >= 0);
    }
    QCOMPARE(bridge.err().count(QStringLiteral("Connection refused")), 1);

    broker.stop();
    QVERIFY(broker.start(port));
    const qint64 restartedAt = SimProcess::nowMs();
    Subscriber sub(port, {QStringLiteral("farm/e2/#")});
    const int state = sub.waitFor(QStringLiteral("farm/e2/state"), &isOnline);
    QVERIFY(state >= 0);
    QVERIFY2(sub.messages()[state].atMs - restartedAt <= 5000, "state back more than 5 s after the restart");
    QVERIFY(sub.waitFor(QStringLiteral("farm/e2/availability"), "online") >= 0);
    // Retained again: a newcomer gets both before any live message.
    Subscriber newcomer(port, {QStringLiteral("farm/e2/state"), QStringLiteral("farm/e2/availability")}, {QStringLiteral("--retained-only")});
    QVERIFY(newcomer.waitForExit());
    QVERIFY(newcomer.waitFor(QStringLiteral("farm/e2/state"), &isOnline, 0, 0) >= 0);
    QVERIFY(newcomer.waitFor(QStringLiteral("farm/e2/availability"), "online", 0, 0) >= 0);
}

void TestMqtt::zoneCommands_data()
{
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("expected"); // the simulator's state line afterwards
    QTest::newRow("allowed") << true << QByteArray("on") << QStringLiteral("STATE on1=1 hv1=1 on2=0 hv2=1");
    QTest::newRow("not allowed") << false << QByteArray("on") << QStringLiteral("STATE on1=0 hv1=1 on2=0 hv2=1");
    QTest::newRow("bad payload") << true << QByteArray("start") << QStringLiteral("STATE on1=0 hv1=1 on2=0 hv2=1");
}

void TestMqtt::zoneCommands()
{
    QFETCH(bool, allowed);
    QFETCH(QByteArray, payload);
    QFETCH(QString, expected);
    BrokerProcess broker;
    QVERIFY(broker.start());
    SimProcess sim;
    QVERIFY(!sim.start({QStringLiteral("--udp"), QStringLiteral("0")}).isEmpty());
    Subscriber sub(broker.port(), {QStringLiteral("farm/#")});
    QStringList args{QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.port()), QStringLiteral("--topic"), QStringLiteral("farm/e3")};
    if (allowed)
        args << QStringLiteral("--allow-zone-commands");
    Bridge bridge(sim.port(), args + fast);
    // The state follows the subscription on the bridge's one connection.
    QVERIFY(sub.waitFor(QStringLiteral("farm/e3/state"), &isOnline) >= 0);

    const int before = sub.size();
    QCOMPARE(QProcess::execute(QStringLiteral("mosquitto_pub"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                                                 QString::number(broker.port()), QStringLiteral("-t"), QStringLiteral("farm/e3/zone/1/set"),
                                                                 QStringLiteral("-m"), QString::fromLatin1(payload)}),
             0);
    QVERIFY(sub.waitFor(QStringLiteral("farm/e3/zone/1/set"), payload, before) >= 0);
    if (expected.contains(QLatin1String("on1=1"))) {
        QVERIFY(bridge.waitForStderr(QStringLiteral("zone 1 on: done")));
    } else if (allowed) {
        QVERIFY(bridge.waitForStderr(QStringLiteral("ignored \"start\"")));
    } else {
        // Nothing to wait for but time: five more polls.
        int seen = before;
        for (int i = 0; i < 5 && seen >= 0; ++i)
            seen = sub.waitFor(QStringLiteral("farm/e3/state"), &isOnline, seen + 1);
        QVERIFY(seen >= 0);
    }
    QCOMPARE(sim.command(QStringLiteral("state"), QStringLiteral("STATE")), expected);
}

void TestMqtt::brokerPassword_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("right") << QByteArray("s3cret\n") << true;
    QTest::newRow("wrong") << QByteArray("guess\n") << false;
}

void TestMqtt::brokerPassword()
{
    QFETCH(QByteArray, password);
    QFETCH(bool, accepted);
    BrokerProcess broker;
    QVERIFY(broker.start(0, QStringLiteral("farm"), QStringLiteral("s3cret")));
    SimProcess sim;
    QVERIFY(!sim.start({QStringLiteral("--udp"), QStringLiteral("0")}).isEmpty());
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("password")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(password);
    file.close();
    Bridge bridge(sim.port(), QStringList{QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.port()),
                                          QStringLiteral("--topic"), QStringLiteral("farm/e4"), QStringLiteral("--username"),
                                          QStringLiteral("farm"), QStringLiteral("--password-file"), file.fileName()} + fast);
    if (accepted) {
        QVERIFY(bridge.waitForStderr(QStringLiteral("connected to broker")));
        return;
    }
    // Three refused tries, one line saying why.
    QVERIFY(waitUntil([&] { return broker.logCount(QStringLiteral("disconnected, not authorised")) >= 3; }, 8000, nullptr));
    QVERIFY(bridge.waitForStderr(QStringLiteral("refused the connection: Connection Refused: not authorised")));
    QCOMPARE(bridge.err().count(QStringLiteral("refused")), 1);
}

// Every configuration is JSON naming the state and availability topics, one device.
void TestMqtt::discovery()
{
    BrokerProcess broker;
    QVERIFY(broker.start());
    SimProcess sim;
    QVERIFY(!sim.start({QStringLiteral("--udp"), QStringLiteral("0")}).isEmpty());
    Bridge bridge(sim.port(), QStringList{QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.port()),
                                          QStringLiteral("--topic"), QStringLiteral("farm/e5"), QStringLiteral("--discovery"),
                                          QStringLiteral("--allow-zone-commands")} + fast);
    {
        // Sent after the configurations on the same connection.
        Subscriber first(broker.port(), {QStringLiteral("farm/e5/state")});
        QVERIFY(first.waitFor(QStringLiteral("farm/e5/state"), &isOnline) >= 0);
    }
    // The retained configurations, up to the first live state.
    Subscriber sub(broker.port(), {QStringLiteral("homeassistant/#"), QStringLiteral("farm/e5/state")}, {QStringLiteral("--retained-only")});
    QVERIFY(sub.waitForExit());
    QSet<QString> topics;
    QSet<QString> uniqueIds;
    QSet<QString> devices;
    for (const auto& m : sub.messages()) {
        if (!m.topic.startsWith(QLatin1String("homeassistant/")))
            continue;
        QJsonParseError error;
        const QJsonObject config = QJsonDocument::fromJson(m.payload, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(m.topic));
        QCOMPARE(config.value(QStringLiteral("state_topic")).toString(), QStringLiteral("farm/e5/state"));
        QCOMPARE(config.value(QStringLiteral("availability_topic")).toString(), QStringLiteral("farm/e5/availability"));
        topics << m.topic;
        uniqueIds << config.value(QStringLiteral("unique_id")).toString();
        devices << QString::fromUtf8(QJsonDocument(config.value(QStringLiteral("device")).toObject()).toJson());
    }
    for (const char* topic : {"homeassistant/binary_sensor/farm_e5/gateAlarmOk/config", "homeassistant/binary_sensor/farm_e5/on1Input/config",
                              "homeassistant/sensor/farm_e5/outputVoltage2/config", "homeassistant/sensor/farm_e5/batteryVoltage/config",
                              "homeassistant/sensor/farm_e5/fenceLevel1/config", "homeassistant/sensor/farm_e5/fenceCondition2/config",
                              "homeassistant/switch/farm_e5/zone2/config"})
        QVERIFY2(topics.contains(QLatin1String(topic)), topic);
    QCOMPARE(uniqueIds.size(), topics.size());
    QCOMPARE(devices.size(), 1);
}

void TestMqtt::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    const QString broker = QStringLiteral("--broker");
    const QString host = QStringLiteral("127.0.0.1:1");
    QTest::newRow("no broker") << QStringList{} << 2;
    QTest::newRow("bad port") << QStringList{broker, QStringLiteral("127.0.0.1:99999")} << 2;
    QTest::newRow("wildcard topic") << QStringList{broker, host, QStringLiteral("--topic"), QStringLiteral("farm/#")} << 2;
    QTest::newRow("interval 0") << QStringList{broker, host, QStringLiteral("--interval"), QStringLiteral("0")} << 2;
    QTest::newRow("password without user") << QStringList{broker, host, QStringLiteral("--password-file"), QStringLiteral("/dev/null")} << 2;
    QTest::newRow("password on the command line") << QStringList{broker, host, QStringLiteral("--password"), QStringLiteral("x")} << 2;
    QTest::newRow("unreadable password file")
        << QStringList{broker, host, QStringLiteral("--username"), QStringLiteral("u"), QStringLiteral("--password-file"), QStringLiteral("/nonexistent")} << 6;
}

void TestMqtt::usage()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    Bridge bridge(BrokerProcess::freePort(), args);
    QCOMPARE(bridge.exitCode(), status);
}

QTEST_GUILESS_MAIN(TestMqtt)
#include "tst_mqtt.moc"
