// energizer-gateway end to end: three simulated links (a pty bus, a UDP and a
// TCP module), a real mosquitto and real scrapes, all on 127.0.0.1.
#include "brokerprocess.h"
#include "mqttsubscriber.h"
#include "simprocess.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

constexpr int WaitMs = 8000;

// The gateway as a child, its output kept.
struct GatewayProcess : ToolProcess
{
    explicit GatewayProcess(const QStringList& args) : ToolProcess(qEnvironmentVariable("EC_GATEWAY"), args) {}
};

void publish(quint16 port, const QString& topic, const QByteArray& payload, bool retain)
{
    QStringList args{"-h", "127.0.0.1", "-p", QString::number(port), "-t", topic, "-q", "1"};
    if (retain)
        args << "-r";
    args << (payload.isEmpty() ? QStringList{"-n"} : QStringList{"-m", QString::fromUtf8(payload)});
    QCOMPARE(QProcess::execute("mosquitto_pub", args), 0);
}

QJsonObject json(const QByteArray& payload) { return QJsonDocument::fromJson(payload).object(); }

} // namespace

class TestGateway : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void check_data();
    void check();
    void servesEveryEnergizer();
    void silencedAddressAloneGoesOffline();
    void metricsPassPromtool();
    void zoneCommands();
    void missingSerialPortSaidOnce();
    void gatewayEnds_data();
    void gatewayEnds();

private:
    QString writeSite(const QString& name, const QByteArray& gatewaySection, const QByteArray& links);
    QByteArray scrape(int* status = nullptr);
    QList<QPair<QString, int>> energizers() const;

    QTemporaryDir dir;
    BrokerProcess broker;
    SimProcess bus, udp, tcp;
    quint16 metricsPort = 0;
    QByteArray links;
    std::unique_ptr<MqttSubscriber> sub; // farm/# from before the gateway started
    std::unique_ptr<GatewayProcess> gateway;
    QNetworkAccessManager manager;
};

QString TestGateway::writeSite(const QString& name, const QByteArray& gatewaySection, const QByteArray& linkSections)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("[gateway]\n" + gatewaySection + "\n" + linkSections);
    return file.fileName();
}

QList<QPair<QString, int>> TestGateway::energizers() const
{
    return {{"bus", 1}, {"bus", 2}, {"bus", 3}, {"bus", 4}, {"bus", 5}, {"udp", 1}, {"udp", 2}, {"udp", 3}, {"tcp", 7}};
}

void TestGateway::initTestCase()
{
    for (const char* tool : {"mosquitto_sub", "mosquitto_pub", "promtool"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP("mosquitto, mosquitto-clients or prometheus is not installed (scripts/deps)");
    }
    manager.setProxy(QNetworkProxy::NoProxy);
    QVERIFY(broker.start());
    const QString pty = dir.filePath("bus");
    QCOMPARE(bus.start({"--pty", pty, "--addresses", "1-5", "--line-rate", "19200"}), pty);
    QVERIFY(!udp.start({"--udp", "0", "--addresses", "1-3"}).isEmpty());
    QVERIFY(!tcp.start({"--tcp", "0", "--address", "7"}).isEmpty());
    links = QStringLiteral("[bus]\nlink = serial:%1@19200\nenergizers = 1-5\n"
                           "[udp]\nlink = udp:127.0.0.1:%2\nenergizers = 1-3\n"
                           "[tcp]\nlink = tcp:127.0.0.1:%3\nenergizers = 7\n")
                .arg(pty).arg(udp.port()).arg(tcp.port()).toUtf8();
    metricsPort = BrokerProcess::freePort();
    const QString site = writeSite("site.conf",
        QStringLiteral("mqtt = 127.0.0.1:%1\ntopic = farm\nallow-zone-commands = true\ndiscovery = true\n"
                       "metrics = 127.0.0.1:%2\ninterval = 0.2\n").arg(broker.port()).arg(metricsPort).toUtf8(), links);

    // Left from an earlier session: must not switch the fence when the gateway connects.
    publish(broker.port(), "farm/udp/1/zone/1/set", "on", true);
    sub = std::make_unique<MqttSubscriber>(broker.port(), QStringList{"farm/#"});
    gateway = std::make_unique<GatewayProcess>(QStringList{"--site", site});
    QVERIFY(sub->waitFor("farm/bridge/state", MqttSubscriber::is("online"), 0, WaitMs) >= 0);
}

void TestGateway::check_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected");
    QTest::newRow("shipped example") << QByteArray() << 0 << "farm/north/3/state farm/north/3/availability (\"North gate\")";
    QTest::newRow("unknown key") << QByteArray("[gateway]\n# a comment\nintervall = 1\n") << 2 << "bad.conf:3: unknown key 'intervall'";
}

// --check prints what would be served, or the line and reason; nothing starts.
void TestGateway::check()
{
    QFETCH(QByteArray, text);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    QString path = QStringLiteral(EC_SITE_EXAMPLE);
    if (!text.isEmpty()) {
        path = dir.filePath("bad.conf");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    GatewayProcess check({"--check", "--site", path});
    QCOMPARE(check.exitCode(), exitCode);
    QVERIFY2((check.out + check.err).contains(expected.toUtf8()), check.out + check.err);
}

void TestGateway::servesEveryEnergizer()
{
    for (const auto& e : energizers()) {
        const QString topic = QStringLiteral("farm/%1/%2/").arg(e.first).arg(e.second);
        QVERIFY2(sub->waitFor(topic + "availability", MqttSubscriber::is("online"), 0, WaitMs) >= 0, qPrintable(topic));
        const int state = sub->waitFor(topic + "state", [](const QByteArray& p) { return json(p).contains("batteryVoltage"); });
        QVERIFY2(state >= 0, qPrintable(topic));
        QCOMPARE(json(sub->messages[state].payload).value("address").toInt(), e.second);
    }
    // One Home Assistant device per energizer, available only with the gateway.
    MqttSubscriber discovery(broker.port(), {"homeassistant/sensor/+/batteryVoltage/config"});
    const int config = discovery.waitFor("homeassistant/sensor/farm_tcp_7/batteryVoltage/config", [](const QByteArray&) { return true; });
    QVERIFY(config >= 0);
    const QJsonObject c = json(discovery.messages[config].payload);
    QCOMPARE(c.value("availability_mode").toString(), QStringLiteral("all"));
    // Name and unit from the status table.
    QCOMPARE(c.value("name").toString(), QStringLiteral("Battery voltage"));
    QCOMPARE(c.value("unit_of_measurement").toString(), QStringLiteral("V"));
    QCOMPARE(c.value("availability").toArray().size(), 2);
    QCOMPARE(c.value("availability").toArray().at(1).toObject().value("topic").toString(), QStringLiteral("farm/tcp/7/availability"));
}

QByteArray TestGateway::scrape(int* status)
{
    std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(metricsPort)))));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!finished.wait(5000))
        return QByteArray();
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return reply->readAll();
}

void TestGateway::silencedAddressAloneGoesOffline()
{
    QVERIFY(sub->waitFor("farm/bus/3/availability", MqttSubscriber::is("online")) >= 0);
    const int from = sub->messages.size();
    QVERIFY(!bus.command("silence 3", "OK silence").isEmpty());
    const int offline = sub->waitFor("farm/bus/3/availability", MqttSubscriber::is("offline"), from);
    QVERIFY(offline >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(scrape().contains("energizer_up{link=\"bus\",address=\"3\"} 0\n"), WaitMs);
    // Every other energizer keeps answering, and none of them was called off line.
    for (const auto& e : energizers()) {
        if (e != qMakePair(QStringLiteral("bus"), 3))
            QVERIFY(sub->waitFor(QStringLiteral("farm/%1/%2/state").arg(e.first).arg(e.second), [](const QByteArray&) { return true; }, offline) >= 0);
    }
    for (int i = from; i < sub->messages.size(); ++i) {
        const MqttSubscriber::Message& m = sub->messages[i];
        if (m.topic.endsWith("/availability"))
            QCOMPARE(m.topic, QStringLiteral("farm/bus/3/availability"));
    }
    int up = 0, down = 0;
    for (const QByteArray& line : scrape().split('\n')) {
        if (line.startsWith("energizer_up{"))
            ++(line.endsWith(" 1") ? up : down);
    }
    QCOMPARE(up, 8);
    QCOMPARE(down, 1);

    QVERIFY(!bus.command("resume 3", "OK resume").isEmpty());
    QVERIFY(sub->waitFor("farm/bus/3/availability", MqttSubscriber::is("online"), offline, WaitMs * 2) >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(scrape().contains("energizer_up{link=\"bus\",address=\"3\"} 1\n"), WaitMs);
}

void TestGateway::metricsPassPromtool()
{
    int status = 0;
    const QByteArray body = scrape(&status);
    QCOMPARE(status, 200);
    for (const char* family : {"energizer_output_voltage_volts{link=\"udp\",address=\"2\",zone=\"1\"}",
                               "energizer_bus_requests_total{link=\"tcp\"}", "energizer_gateway_info{version="})
        QVERIFY2(body.contains(family), family);
    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.start("promtool", {"check", "metrics"});
    promtool.write(body);
    promtool.closeWriteChannel();
    QVERIFY(promtool.waitForFinished(10000));
    QVERIFY2(promtool.exitCode() == 0, promtool.readAll().constData());
}

// The retained "on" of initTestCase was refused; a live one switches the zone.
void TestGateway::zoneCommands()
{
    QVERIFY(gateway->waitForStderr("udp/1 ignored a retained command on farm/udp/1/zone/1/set"));
    const int from = sub->messages.size();
    const auto zone1 = [](bool on) { return [on](const QByteArray& p) { return json(p).value("fenceOn1") == QJsonValue(on); }; };
    QVERIFY(sub->waitFor("farm/udp/1/state", zone1(false), from) >= 0);

    publish(broker.port(), "farm/udp/1/zone/1/set", QByteArray(), true); // the retained one cleared
    publish(broker.port(), "farm/udp/1/zone/1/set", "on", false);
    QVERIFY(sub->waitFor("farm/udp/1/state", zone1(true), from) >= 0);
    // Commands are logged at debug level only.
    QVERIFY2(!gateway->err.contains("zone 1 on"), gateway->err);
    publish(broker.port(), "farm/udp/9/zone/1/set", "on", false);
    QVERIFY(gateway->waitForStderr("no such energizer"));
}

// Retried every second for an adapter plugged in later; said once, naming link and port.
void TestGateway::missingSerialPortSaidOnce()
{
    const QString port = dir.filePath("ttyGone");
    const QString site = writeSite("gone.conf", "", QStringLiteral("[gone]\nlink = serial:%1\nenergizers = 1\n").arg(port).toUtf8());
    qputenv("QT_LOGGING_RULES", "energizer.link.debug=true"); // each retry traces "Trying to connect"
    GatewayProcess own({"--site", site});
    qunsetenv("QT_LOGGING_RULES");
    QVERIFY(own.waitForStderr("gone (serial:" + port));
    QVERIFY(QTest::qWaitFor([&] { return own.err.count("Trying to connect") >= 4; }, WaitMs));
    QCOMPARE(own.err.count(port.toUtf8()), 1);
}

void TestGateway::gatewayEnds_data()
{
    QTest::addColumn<int>("sig");
    QTest::newRow("killed: the will") << int(SIGKILL);
    QTest::newRow("terminated: its own offline") << int(SIGTERM);
}

// A gateway of its own on seven energizers, under its own prefix: every one
// of them reads offline on the broker once it is gone.
void TestGateway::gatewayEnds()
{
    QFETCH(int, sig);
    SimProcess seven;
    QVERIFY(!seven.start({"--udp", "0", "--addresses", "1-7"}).isEmpty());
    const QString prefix = QStringLiteral("ends%1").arg(sig);
    const QString site = writeSite(prefix + ".conf",
        QStringLiteral("mqtt = 127.0.0.1:%1\ntopic = %2\ninterval = 0.2\n").arg(broker.port()).arg(prefix).toUtf8(),
        QStringLiteral("[udp]\nlink = udp:127.0.0.1:%1\nenergizers = 1-7\n").arg(seven.port()).toUtf8());
    MqttSubscriber sub(broker.port(), {prefix + "/#"});
    GatewayProcess own({"--site", site});
    for (int address = 1; address <= 7; ++address)
        QVERIFY(sub.waitFor(QStringLiteral("%1/udp/%2/availability").arg(prefix).arg(address), MqttSubscriber::is("online")) >= 0);
    own.signal(sig);
    QCOMPARE(own.exitCode(), sig == SIGKILL ? -1 : 0);
    // Retained, for whoever subscribes later: the will says the gateway is gone; SIGTERM says it of every energizer.
    MqttSubscriber after(broker.port(), {prefix + "/bridge/state", prefix + "/+/+/availability"}, {"--retained-only", "-C", "8"});
    QVERIFY(after.waitForExit());
    QByteArray offline;
    for (const MqttSubscriber::Message& m : after.messages)
        offline += m.topic.toUtf8() + ' ' + m.payload + '\n';
    QVERIFY2(offline.contains(prefix.toUtf8() + "/bridge/state offline\n"), offline);
    QVERIFY2(sig == SIGKILL || offline.count(" offline\n") == 8, offline);
}

QTEST_GUILESS_MAIN(TestGateway)
#include "tst_gateway.moc"
