// The MQTT engine end to end, all on 127.0.0.1 with one real mosquitto:
// energizer-gateway on three simulated links (a pty bus, a UDP and a TCP
// module) with real scrapes, and energizer-cli mqtt (its options, its topics
// directly under PREFIX) on one energizer.
#include "brokerprocess.h"
#include "mqttsubscriber.h"
#include "simprocess.h"
#include "testca.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
bool isOnline(const QByteArray& state) { return json(state).value("online").toBool(); }
const auto is = &MqttSubscriber::is;

// energizer-cli --udp 127.0.0.1:SIM mqtt --broker 127.0.0.1:BROKER --interval 0.2 ARGS, its output kept.
struct Bridge : ToolProcess
{
    Bridge(quint16 simPort, quint16 brokerPort, const QStringList& args)
        : ToolProcess(qEnvironmentVariable("EC_CLI"), QStringList{"--udp", QStringLiteral("127.0.0.1:%1").arg(simPort), "mqtt", "--broker",
                                                                  QStringLiteral("127.0.0.1:%1").arg(brokerPort), "--interval", "0.2"} + args)
    {
    }
};

// The datagram socket systemd names in NOTIFY_SOCKET, every message kept.
struct NotifySocket
{
    explicit NotifySocket(const QString& path) : fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0))
    {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        QObject::connect(&notifier, &QSocketNotifier::activated, [this] {
            char buffer[4096];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                messages << QByteArray(buffer, int(n));
        });
    }
    ~NotifySocket() { ::close(fd); }
    bool waitFor(const QByteArray& line, int times = 1)
    {
        return QTest::qWaitFor([&] { return std::count_if(messages.cbegin(), messages.cend(), [&](const QByteArray& m) { return m.split('\n').contains(line); }) >= times; }, WaitMs);
    }
    int fd;
    QSocketNotifier notifier{fd, QSocketNotifier::Read};
    QList<QByteArray> messages;
};

// Per-entity discovery as versions before device-based discovery left it.
const QString legacyTopic = QStringLiteral("homeassistant/sensor/farm_tcp_7/batteryVoltage/config");
const QString deviceTopic = QStringLiteral("homeassistant/device/energizer-farm_tcp_7/config");
const auto any = [](const QByteArray&) { return true; };

const QList<QPair<QString, int>> energizers{{"bus", 1}, {"bus", 2}, {"bus", 3}, {"bus", 4}, {"bus", 5},
                                            {"udp", 1}, {"udp", 2}, {"udp", 3}, {"tcp", 7}};

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
    void deviceDiscovery();
    void legacyDiscoveryCleared();
    void republishCoalesced();
    void metricsPassPromtool();
    void zoneCommands();
    void missingSerialPortSaidOnce();
    void underSystemd();
    void linkRemovedWhileBrokerAway();
    void brokerTls_data();
    void brokerTls();
    void secondGatewayOnPrefix();
    void gatewayEnds_data();
    void gatewayEnds();
    void availabilityFirstAtConnect();
    void cliHelpNeedsNoSettings();
    void cliEnergizerComesAndGoes();
    void cliBrokerDownAtStartThenRestarted();
    void cliZoneCommands();
    void cliBrokerPassword();
    void cliDiscovery();

private:
    QString writeSite(const QString& name, const QByteArray& gatewaySection, const QByteArray& links);
    QByteArray scrape(int* status = nullptr, quint16 port = 0);

    QTemporaryDir dir;
    BrokerProcess broker;
    SimProcess bus, udp, tcp;
    SimProcess cliSim; // energizer-cli mqtt's: never stopped, its zones never switched
    quint16 metricsPort = 0;
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

void TestGateway::initTestCase()
{
    for (const char* tool : {"mosquitto_sub", "mosquitto_pub", "promtool"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty() || QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/bin"}).isEmpty())
            QSKIP("mosquitto, mosquitto-clients or prometheus is not installed (scripts/deps)");
    }
    manager.setProxy(QNetworkProxy::NoProxy);
    QVERIFY(broker.start());
    const QString pty = dir.filePath("bus");
    QCOMPARE(bus.start({"--pty", pty, "--addresses", "1-5", "--line-rate", "19200"}), pty);
    QVERIFY(!udp.start({"--udp", "0", "--addresses", "1-3"}).isEmpty());
    QVERIFY(!tcp.start({"--tcp", "0", "--address", "7"}).isEmpty());
    QVERIFY(!cliSim.start({"--udp", "0"}).isEmpty());
    const QByteArray links = QStringLiteral("[bus]\nlink = serial:%1@19200\nenergizers = 1-5\n"
                                            "[udp]\nlink = udp:127.0.0.1:%2\nenergizers = 1-3\n"
                                            "[tcp]\nlink = tcp:127.0.0.1:%3\nenergizers = 7\n")
                                 .arg(pty).arg(udp.port()).arg(tcp.port()).toUtf8();
    metricsPort = BrokerProcess::freePort();
    const QString site = writeSite("site.conf",
        QStringLiteral("mqtt = 127.0.0.1:%1\ntopic = farm\nallow-zone-commands = true\ndiscovery = true\nsupport-url = https://support.example/farm\n"
                       "metrics = 127.0.0.1:%2\ninterval = 0.2\n").arg(broker.port()).arg(metricsPort).toUtf8(), links);

    // Left from an earlier session: must not switch the fence when the gateway connects.
    publish(broker.port(), "farm/udp/1/zone/1/set", "on", true);
    publish(broker.port(), legacyTopic, "{\"name\":\"Battery voltage\"}", true);
    sub = std::make_unique<MqttSubscriber>(broker.port(), QStringList{"farm/#", "homeassistant/#"});
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
    for (const auto& e : energizers) {
        const QString topic = QStringLiteral("farm/%1/%2/").arg(e.first).arg(e.second);
        QVERIFY2(sub->waitFor(topic + "availability", MqttSubscriber::is("online"), 0, WaitMs) >= 0, qPrintable(topic));
        const int state = sub->waitFor(topic + "state", [](const QByteArray& p) { return json(p).contains("batteryVoltage"); });
        QVERIFY2(state >= 0, qPrintable(topic));
        QCOMPARE(json(sub->messages[state].payload).value("address").toInt(), e.second);
    }
}

// One message per energizer, under 10 kB, its entities' unique ids as before,
// behind the gateway's own device, which reads the gateway's health.
void TestGateway::deviceDiscovery()
{
    const int at = sub->waitFor(deviceTopic, any);
    QVERIFY(at >= 0);
    QVERIFY(sub->messages[at].payload.size() <= 10 * 1024);
    const QJsonObject c = json(sub->messages[at].payload);
    QCOMPARE(c.value("dev").toObject().value("via_device").toString(), QStringLiteral("farm_gateway"));
    QCOMPARE(c.value("o").toObject().value("url").toString(), QStringLiteral("https://support.example/farm"));
    QCOMPARE(c.value("avty").toArray().at(1).toObject().value("t").toString(), QStringLiteral("farm/tcp/7/availability"));
    const QJsonObject cmps = c.value("cmps").toObject();
    QCOMPARE(cmps.value("batteryVoltage").toObject().value("uniq_id").toString(), QStringLiteral("farm_tcp_7_batteryVoltage"));
    QCOMPARE(cmps.value("fenceCondition1").toObject().value("ops").toArray(), QJsonArray({"Good", "Check", "Bad"}));
    QCOMPARE(cmps.value("capVoltage1").toObject().value("ent_cat").toString(), QStringLiteral("diagnostic"));
    QVERIFY(!cmps.value("outputVoltage1").toObject().contains("ent_cat"));

    const int gw = sub->waitFor("homeassistant/device/farm_gateway/config", any);
    QVERIFY(gw >= 0);
    const QJsonObject own = json(sub->messages[gw].payload).value("cmps").toObject();
    QCOMPARE(own.value("farm_gateway_connectivity").toObject().value("stat_t").toString(), QStringLiteral("farm/bridge/state"));
    QCOMPARE(own.value("farm_gateway_timeouts_tcp").toObject().value("val_tpl").toString(), QStringLiteral("{{ value_json.links[2].timeouts }}"));
    const int health = sub->waitFor("farm/bridge/health", [](const QByteArray& p) { return json(p).value("online").toInt() == 9; }, 0, 12000);
    QVERIFY(health >= 0);
    QCOMPARE(json(sub->messages[health].payload).value("links").toArray().at(2).toObject().value("name").toString(), QStringLiteral("tcp"));
}

// Home Assistant is asked to keep the old entity, gets the device, then the old topic is cleared, once.
void TestGateway::legacyDiscoveryCleared()
{
    const int migrate = sub->waitFor(legacyTopic, [](const QByteArray& p) { return json(p).value("migrate_discovery").toBool(); });
    const int device = sub->waitFor(deviceTopic, any, migrate);
    const int cleared = sub->waitFor(legacyTopic, is("(null)"), device); // mosquitto_sub's empty payload
    QVERIFY(migrate >= 0 && device >= 0 && cleared >= 0);
    QVERIFY(sub->waitFor("farm/bridge/discovery", is("device"), cleared) >= 0);
}

// Twenty "online" in a row: one republish, not twenty.
void TestGateway::republishCoalesced()
{
    QVERIFY(sub->waitFor("farm/bridge/discovery", is("device")) >= 0);
    const int from = sub->messages.size();
    for (int i = 0; i < 20; ++i)
        publish(broker.port(), "homeassistant/status", "online", false);
    int seen = sub->waitFor(deviceTopic, any, from);
    QVERIFY(seen >= 0);
    for (int i = 0; i < 5 && seen >= 0; ++i)
        seen = sub->waitFor("farm/tcp/7/state", any, seen + 1);
    QVERIFY(seen >= 0);
    QCOMPARE(std::count_if(sub->messages.begin() + from, sub->messages.end(), [](const MqttSubscriber::Message& m) { return m.topic == deviceTopic; }), 1);
}

QByteArray TestGateway::scrape(int* status, quint16 port)
{
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/metrics").arg(port ? port : metricsPort));
    std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
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
    for (const auto& e : energizers) {
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
    QCOMPARE(udp.command("state 1", "STATE"), QStringLiteral("STATE on1=1 hv1=1 on2=0 hv2=1")); // zone 2 untouched
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

// READY once polling, WATCHDOG from the loop; SIGHUP swaps link c for b on
// the broker session it has, and a bad file changes nothing.
void TestGateway::underSystemd()
{
    SimProcess one, sim5;
    QVERIFY(!one.start({"--udp", "0", "--address", "1"}).isEmpty() && !sim5.start({"--udp", "0", "--address", "5"}).isEmpty());
    const QByteArray a = QStringLiteral("[a]\nlink = udp:127.0.0.1:%1\nenergizers = 1\n").arg(one.port()).toUtf8();
    const QByteArray link5 = QStringLiteral("link = udp:127.0.0.1:%1\nenergizers = 5\n").arg(sim5.port()).toUtf8();
    const QByteArray head = QStringLiteral("mqtt = 127.0.0.1:%1\ntopic = sysd\ninterval = 0.2\n").arg(broker.port()).toUtf8();
    const QString site = writeSite("sysd.conf", head, a + "[c]\n" + link5);
    NotifySocket systemd(dir.filePath("notify"));
    MqttSubscriber sub(broker.port(), {"sysd/#"});
    qputenv("NOTIFY_SOCKET", QFile::encodeName(dir.filePath("notify")));
    qputenv("WATCHDOG_USEC", "300000");
    GatewayProcess own({"--site", site});
    qunsetenv("NOTIFY_SOCKET");
    qunsetenv("WATCHDOG_USEC");
    QVERIFY(systemd.waitFor("READY=1"));
    QVERIFY(std::any_of(systemd.messages.cbegin(), systemd.messages.cend(), [](const QByteArray& m) { return m.startsWith("READY=1\nSTATUS=2 links, "); }));
    QVERIFY(own.waitForStderr("c: polling 1 energizers") && own.waitForStderr("connected to broker"));
    QVERIFY(systemd.waitFor("WATCHDOG=1", 3));
    QVERIFY(sub.waitFor("sysd/c/5/state", &isOnline) >= 0);

    const int connects = broker.log().count("New client connected");
    QCOMPARE(writeSite("sysd.conf", head, a + "[b]\n" + link5), site);
    own.signal(SIGHUP);
    QVERIFY(own.waitForStderr("reloaded: link b added, link c removed"));
    QVERIFY(systemd.waitFor("RELOADING=1") && systemd.waitFor("READY=1", 2));
    const int b = sub.waitFor("sysd/b/5/state", &isOnline);
    QVERIFY(b >= 0);
    QCOMPARE(broker.log().count("New client connected"), connects);
    QVERIFY(sub.waitFor("sysd/c/5/state", is("(null)")) >= 0);
    QCOMPARE(own.err.count("a: polling"), 1); // link a untouched

    QCOMPARE(writeSite("sysd.conf", head + "intervall = 2\n", a), site);
    own.signal(SIGHUP);
    QVERIFY(own.waitForStderr("reload refused, serving the site as before: " + site + ":5: unknown key"));
    QVERIFY(sub.waitFor("sysd/b/5/state", &isOnline, b + 1) >= 0);
}

// A link removed by a reload while the broker is away: its retained topics
// are emptied at the next connection, so nothing shows it as still there.
void TestGateway::linkRemovedWhileBrokerAway()
{
    SimProcess one;
    QVERIFY(!one.start({"--udp", "0", "--address", "1"}).isEmpty());
    BrokerProcess away;
    QVERIFY(away.start());
    const QByteArray head = QStringLiteral("mqtt = 127.0.0.1:%1\ntopic = away\ninterval = 0.2\n").arg(away.port()).toUtf8();
    const QByteArray a = QStringLiteral("[a]\nlink = udp:127.0.0.1:%1\nenergizers = 1\n").arg(one.port()).toUtf8();
    const QByteArray c = QStringLiteral("[c]\nlink = udp:127.0.0.1:%1\nenergizers = 5\n").arg(BrokerProcess::freePort()).toUtf8();
    const QString site = writeSite("away.conf", head, a + c);
    GatewayProcess own({"--site", site});
    const QByteArray published = "'away/c/5/availability', ... (7 bytes)"; // offline: nothing answers there
    const QByteArray cleared = "'away/c/5/availability', ... (0 bytes)";
    QVERIFY(QTest::qWaitFor([&] { return away.log().contains(published); }, WaitMs));
    away.stop();
    QVERIFY(own.waitForStderr("lost the connection to broker"));
    QCOMPARE(writeSite("away.conf", head, a), site);
    own.signal(SIGHUP);
    QVERIFY(own.waitForStderr("reloaded: link c removed"));
    QVERIFY(away.start(away.port()));
    QVERIFY2(QTest::qWaitFor([&] { return away.log().contains(cleared); }, WaitMs), away.log().right(3000).constData());
}

void TestGateway::brokerTls_data()
{
    QTest::addColumn<QString>("serverNames");
    QTest::addColumn<int>("serverDays");
    QTest::addColumn<QString>("setup");    // "other CA": the gateway's; "require": the broker asks for a client certificate
    QTest::addColumn<QString>("expected"); // on stderr
    QTest::addColumn<QString>("failure");  // the metric's reason; empty: connected
    const QString local = "IP:127.0.0.1";
    QTest::newRow("right CA") << local << 2 << "" << "connected to broker" << "";
    QTest::newRow("wrong CA") << local << 2 << "other CA" << "unknown CA: the broker's certificate" << "unknown_ca";
    QTest::newRow("wrong host name") << "DNS:other.example" << 2 << ""
                                     << "host name mismatch: the broker's certificate is not made out to 127.0.0.1" << "host_mismatch";
    QTest::newRow("expired") << local << -1 << "" << "expired certificate: the broker's certificate has expired" << "expired_certificate";
    // Its key is left readable by others.
    QTest::newRow("client certificate") << local << 2 << "require, client certificate" << "mqtt-key " << "";
    QTest::newRow("no client certificate") << local << 2 << "require" << "client certificate refused" << "client_certificate_refused";
}

// mqtts:// to a broker of its own: connected and publishing with the right CA,
// else refused with a reason of its own, on stderr and in the metrics.
void TestGateway::brokerTls()
{
    QFETCH(QString, serverNames);
    QFETCH(int, serverDays);
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    QFETCH(QString, failure);
    TestCa ca, otherCa;
    QVERIFY(ca.create() && otherCa.create() && ca.issue("broker", serverNames, serverDays) && ca.issue("client", "DNS:client"));
    BrokerProcess tlsBroker;
    tlsBroker.setTls({ca.file("broker.pem"), ca.file("broker.key"), ca.file("ca.pem"), setup.startsWith("require")});
    QVERIFY(tlsBroker.start());
    QByteArray keys = "mqtt-ca = " + (setup == "other CA" ? otherCa : ca).file("ca.pem").toUtf8() + '\n';
    if (setup.endsWith("client certificate"))
        keys += "mqtt-cert = " + ca.file("client.pem").toUtf8() + "\nmqtt-key = " + ca.file("client.key").toUtf8() + '\n';
    const quint16 metrics = BrokerProcess::freePort();
    const QString site = writeSite("tls.conf", QStringLiteral("mqtt = mqtts://127.0.0.1:%1\ntopic = tls\nmetrics = 127.0.0.1:%2\n")
                                                   .arg(tlsBroker.tlsPort()).arg(metrics).toUtf8() + keys,
                                   "[dead]\nlink = udp:127.0.0.1:9\nenergizers = 1\n");
    MqttSubscriber sub(tlsBroker.port(), {"tls/bridge/state"});
    GatewayProcess own({"--site", site});
    QVERIFY2(own.waitForStderr(expected), own.err);
    if (failure.isEmpty()) {
        QVERIFY(sub.waitFor("tls/bridge/state", is("online")) >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(scrape(nullptr, metrics).contains("energizer_mqtt_connected 1\n"), WaitMs);
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(scrape(nullptr, metrics).contains("energizer_mqtt_failure{reason=\"" + failure.toUtf8() + "\"} 1\n"), WaitMs);
    // Said once, while the retries go on.
    QVERIFY(QTest::qWaitFor([&] { return tlsBroker.log().count("New connection from 127.0.0.1") >= 3; }, WaitMs));
    QVERIFY2(own.err.count("no connection to broker") == 1, own.err);
}

// Two sites on one prefix: each gateway has a client id of its own, so both
// stay connected, and each says that the other is there.
void TestGateway::secondGatewayOnPrefix()
{
    QByteArray gatewaySection = QStringLiteral("mqtt = 127.0.0.1:%1\ntopic = twice\n").arg(broker.port()).toUtf8();
    const QByteArray link = "[dead]\nlink = udp:127.0.0.1:9\nenergizers = 1\n";
    GatewayProcess first({"--site", writeSite("first.conf", gatewaySection, link)});
    QVERIFY(first.waitForStderr("connected to broker"));
    const quint16 metrics = BrokerProcess::freePort();
    GatewayProcess second({"--site", writeSite("second.conf", gatewaySection + QStringLiteral("metrics = 127.0.0.1:%1\n").arg(metrics).toUtf8(), link)});
    for (GatewayProcess* g : {&first, &second})
        QVERIFY2(g->waitForStderr("another gateway (client id energizer-gateway-"), g->err);
    QTRY_VERIFY_WITH_TIMEOUT(scrape(nullptr, metrics).contains("energizer_mqtt_other_gateways 1\n"), WaitMs);
    QVERIFY(!first.err.contains("lost the connection") && !second.err.contains("lost the connection"));
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

// An energizer that was on line in an earlier run reads offline at once, before any state.
void TestGateway::availabilityFirstAtConnect()
{
    SimProcess two;
    QVERIFY(!two.start({"--udp", "0", "--addresses", "1-2"}).isEmpty());
    const QString site = writeSite("restart.conf", QStringLiteral("mqtt = 127.0.0.1:%1\ntopic = again\ninterval = 0.2\n").arg(broker.port()).toUtf8(),
                                   QStringLiteral("[udp]\nlink = udp:127.0.0.1:%1\nenergizers = 1-3\n").arg(two.port()).toUtf8());
    publish(broker.port(), "again/udp/3/availability", "online", true);
    MqttSubscriber sub(broker.port(), {"again/#"});
    GatewayProcess own({"--site", site});
    const int offline = sub.waitFor("again/udp/3/availability", is("offline"));
    QVERIFY(offline >= 0);
    QVERIFY(sub.waitFor("again/udp/1/state", any) > offline);
}

// In a folder of its own, with no setting.ini anywhere near.
void TestGateway::cliHelpNeedsNoSettings()
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
void TestGateway::cliEnergizerComesAndGoes()
{
    const QString simPort = QString::number(BrokerProcess::freePort());
    MqttSubscriber sub(broker.port(), {"energizer/#"});
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
void TestGateway::cliBrokerDownAtStartThenRestarted()
{
    BrokerProcess broker;
    const quint16 port = BrokerProcess::freePort();
    Bridge bridge(cliSim.port(), port, {"--topic", "cli/e2"});
    QVERIFY(bridge.waitForStderr("Connection refused"));
    QVERIFY(broker.start(port));
    QVERIFY(bridge.waitForStderr("connected to broker"));
    QCOMPARE(bridge.err.count("Connection refused"), 1);

    QVERIFY(broker.start(port));
    const qint64 restartedAt = SimProcess::nowMs();
    MqttSubscriber sub(port, {"cli/e2/state"});
    const int state = sub.waitFor("cli/e2/state", &isOnline);
    QVERIFY(state >= 0);
    QVERIFY2(sub.messages[state].atMs - restartedAt <= 5000, "state back more than 5 s after the restart");
    // Retained again: a newcomer gets it.
    MqttSubscriber newcomer(port, {"cli/e2/state"}, {"--retained-only"});
    QVERIFY(newcomer.waitForExit());
    QVERIFY(newcomer.waitFor("cli/e2/state", &isOnline, 0, 0) >= 0);
}

// Not allowed: the command is seen and ignored (--allow-zone-commands is
// checked by the switches cliDiscovery finds).
void TestGateway::cliZoneCommands()
{
    const QString prefix = QStringLiteral("cli/e3");
    MqttSubscriber sub(broker.port(), {prefix + "/#"});
    Bridge bridge(cliSim.port(), broker.port(), {"--topic", prefix});
    // The state follows the subscription on the bridge's one connection.
    int seen = sub.waitFor(prefix + "/state", &isOnline);
    QVERIFY(seen >= 0);
    publish(broker.port(), prefix + "/zone/1/set", "on", false);
    seen = sub.waitFor(prefix + "/zone/1/set", is("on"), seen);
    // Nothing to wait for but time: five more polls.
    for (int i = 0; i < 5 && seen >= 0; ++i)
        seen = sub.waitFor(prefix + "/state", &isOnline, seen + 1);
    QVERIFY2(seen >= 0, bridge.err.constData());
    QCOMPARE(cliSim.command("state", "STATE"), QStringLiteral("STATE on1=0 hv1=1 on2=0 hv2=1"));
}

// The right password connects; a wrong one is refused on every retry, with one line saying why.
void TestGateway::cliBrokerPassword()
{
    BrokerProcess broker;
    QVERIFY(broker.start(0, "farm", "s3cret"));
    QTemporaryDir dir;
    for (const QByteArray& password : {QByteArray("s3cret"), QByteArray("guess")}) {
        QFile file(dir.filePath(QString::fromLatin1(password)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(password + '\n') > 0 && file.flush());
        Bridge bridge(cliSim.port(), broker.port(), {"--topic", "cli/e4", "--username", "farm", "--password-file", file.fileName()});
        const bool right = password == "s3cret";
        QVERIFY(right ? bridge.waitForStderr("connected to broker")
                      : QTest::qWaitFor([&] { return broker.log().count("disconnected, not authorised") >= 3; }, 8000));
        QCOMPARE(bridge.err.count("refused"), right ? 0 : 1);
        QVERIFY(right || bridge.err.contains("refused the connection: wrong user name or password: Connection Refused: not authorised"));
    }
}

// Every configuration is JSON naming the state and availability topics.
void TestGateway::cliDiscovery()
{
    const QString topic = QStringLiteral("homeassistant/device/energizer-cli_e5/config");
    MqttSubscriber sub(broker.port(), {topic});
    Bridge bridge(cliSim.port(), broker.port(), {"--topic", "cli/e5", "--discovery", "--allow-zone-commands"});
    // The configuration, with the bridge's own topics.
    const int at = sub.waitFor(topic, any);
    QVERIFY(at >= 0);
    const QJsonObject c = json(sub.messages[at].payload);
    QCOMPARE(c.value("stat_t").toString(), QStringLiteral("cli/e5/state"));
    QCOMPARE(c.value("avty_t").toString(), QStringLiteral("cli/e5/availability"));
    QCOMPARE(c.value("cmps").toObject().value("zone2").toObject().value("cmd_t").toString(), QStringLiteral("cli/e5/zone/2/set"));
}

QTEST_GUILESS_MAIN(TestGateway)
#include "tst_gateway.moc"
