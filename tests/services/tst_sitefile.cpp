// The site file: every refusal names its line; the example reads as written.
// The shipped example is read by tst_gateway's --check.
#include "services/sitefile.h"

#include <QtTest>

class TestSiteFile : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void refused_data();
    void refused();
    void example();
    void defaults();
    void webConfigRefused_data();
    void webConfigRefused();
    void webConfigExample();

private:
    QTemporaryDir m_dir;
};

namespace {

// A link section that is fine on its own, to complete files that test something else.
const QByteArray okLink = "[north]\nlink = tcp:127.0.0.1:4001\nenergizers = 1-3\n";

} // namespace

void TestSiteFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile password(m_dir.filePath(QStringLiteral("mqtt.password")));
    QVERIFY(password.open(QIODevice::WriteOnly));
    password.write("s3cret\nnot part of it\n");
    // One line under two names, as /dev/serial/by-id/... names an adapter.
    QFile tty(m_dir.filePath(QStringLiteral("tty")));
    QVERIFY(tty.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(tty.fileName(), m_dir.filePath(QStringLiteral("by-id"))));
    for (const char* name : {"metrics.crt", "metrics.key"}) {
        QFile pem(m_dir.filePath(QLatin1String(name)));
        QVERIFY(pem.open(QIODevice::WriteOnly));
        pem.write("-----BEGIN X-----\n-----END X-----\n");
    }
}

void TestSiteFile::refused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("word");

    QTest::newRow("unknown gateway key") << "# site\n[gateway]\nintervall = 2\n" + okLink << 3 << "unknown key 'intervall'";
    QTest::newRow("unknown link key") << okLink + "energiser = 4\n" << 4 << "unknown key 'energiser'";
    QTest::newRow("unknown link kind") << QByteArray("[a]\nlink = rs485:/dev/ttyS0\nenergizers = 1\n") << 2 << "rs485";
    QTest::newRow("address above 63") << QByteArray("[a]\nlink = tcp:127.0.0.1:1\n; x\nenergizers = 1,64\n") << 4 << "64";
    QTest::newRow("address twice") << QByteArray("[a]\nlink = tcp:127.0.0.1:1\nenergizers = 1-5,3\n") << 3 << "twice";
    QTest::newRow("reversed range") << QByteArray("[a]\nlink = tcp:127.0.0.1:1\nenergizers = 9-2\n") << 3 << "backwards";
    QTest::newRow("same serial port") << QByteArray("[a]\nlink = serial:/dev/ttyUSB0\nenergizers = 1\n"
                                                    "[b]\nenergizers = 2\nlink = serial:ttyUSB0@9600\n")
                                      << 6 << "already used by [a]";
    QTest::newRow("same serial line, two names")
        << QStringLiteral("[a]\nlink = serial:%1/tty\nenergizers = 1\n[b]\nlink = serial:%1/by-id\nenergizers = 2\n").arg(m_dir.path()).toUtf8()
        << 5 << "already used by [a]";
    QTest::newRow("same host and port") << okLink + "[b]\nlink = udp:127.0.0.1:4001\nenergizers = 1\n" << 5 << "already used";
    QTest::newRow("same bind address") << QByteArray("[a]\nlink = udp-client:127.0.0.2:5000@127.0.0.1\nenergizers = 1\n"
                                                     "[b]\nlink = udp-client:127.0.0.3:5000@127.0.0.1\nenergizers = 1\n")
                                       << 5 << "local address";
    QTest::newRow("bind missing") << QByteArray("[a]\nlink = udp-client:127.0.0.2:5000\nenergizers = 1\n") << 2 << "BIND";
    QTest::newRow("password file missing") << "[gateway]\nusername = u\npassword-file = missing.password\n" + okLink << 3 << "does not exist";
    QTest::newRow("password file a folder") << "[gateway]\nusername = u\npassword-file = .\n" + okLink << 3 << "regular file";
    QTest::newRow("password file, no user") << "[gateway]\npassword-file = mqtt.password\n" + okLink << 2 << "username";
    QTest::newRow("certificate without key") << "[gateway]\nmqtt = h\nmqtt-cert = mqtt.password\n" + okLink << 3 << "private key";
    QTest::newRow("TLS off, CA given") << "[gateway]\nmqtt = h\nmqtt-tls = false\nmqtt-ca = mqtt.password\n" + okLink << 3 << "asks for TLS";
    QTest::newRow("CA file missing") << "[gateway]\nmqtt = h\nmqtt-ca = missing.pem\n" + okLink << 3 << "no readable file";
    QTest::newRow("password in the file") << "[gateway]\npassword = hunter2\n" + okLink << 2 << "password-file";
    QTest::newRow("section with +") << QByteArray("[no+rth]\n") << 1 << "'+'";
    QTest::newRow("section with #") << QByteArray("[no#rth]\n") << 1 << "'#'";
    QTest::newRow("section with /") << QByteArray("[no/rth]\n") << 1 << "'/'";
    QTest::newRow("section with control") << QByteArray("[no\x01rth]\n") << 1 << "control";
    QTest::newRow("section with a non-character") << QByteArray("[no\xEF\xBF\xBErth]\n") << 1 << "U+FFFE";
    QTest::newRow("section of 64 KB") << "[" + QByteArray(65536, 'n') + "]\n" << 1 << "longer than";
    QTest::newRow("display name with /") << okLink + "name.2 = gate 1/2\n" << 4 << "'/'";
    QTest::newRow("display name with tab") << okLink + "name.2 = gate\t2\n" << 4 << "control";
    QTest::newRow("name of an address not served") << okLink + "name.7 = shed\n" << 4 << "not in";
    QTest::newRow("no link key") << QByteArray("\n[a]\nenergizers = 1\n[b]\n") << 2 << "no 'link'";
    QTest::newRow("no energizers key") << QByteArray("[a]\nlink = tcp:127.0.0.1:1\n") << 1 << "no 'energizers'";
    QTest::newRow("section twice") << okLink + "[north]\n" << 4 << "given twice";
    QTest::newRow("key twice") << okLink + "energizers = 4\n" << 4 << "given twice";
    QTest::newRow("bad boolean") << "[gateway]\ndiscovery = maybe\n" + okLink << 2 << "true or false";
    QTest::newRow("port too big") << "[gateway]\nmqtt = 127.0.0.1:70000\n" + okLink << 2 << "1..65535";
    QTest::newRow("port zero") << "[gateway]\nmetrics = 127.0.0.1:0\n" + okLink << 2 << "1..65535";
    QTest::newRow("metrics without port") << "[gateway]\nmetrics = 127.0.0.1\n" + okLink << 2 << "HOST:PORT";
    QTest::newRow("IPv6 without brackets") << "[gateway]\nmqtt = ::1:1883\n" + okLink << 2 << "brackets";
    QTest::newRow("interval zero") << "[gateway]\ninterval = 0\n" + okLink << 2 << "interval";
    QTest::newRow("link's timeout too long") << okLink + "timeout = 61\n" << 4 << "timeout must be 0.01..60 seconds";
    QTest::newRow("guard negative") << "[gateway]\nguard = -0.1\n" + okLink << 2 << "guard";
    QTest::newRow("pause not a number") << okLink + "pause-after-connect = 1s\n" << 4 << "pause-after-connect";
    QTest::newRow("support-url not a web address") << "[gateway]\nsupport-url = javascript:alert(1)\n" + okLink << 2 << "support-url";
    QTest::newRow("topic wildcard") << "[gateway]\ntopic = farm/+\n" + okLink << 2 << "'+'";
    QTest::newRow("key before section") << QByteArray("mqtt = 127.0.0.1\n") << 1 << "before any section";
    QTest::newRow("no equals sign") << okLink + "energizers 4\n" << 4 << "key = value";
    QTest::newRow("no link section") << QByteArray("[gateway]\n# nothing\n") << 2 << "nothing to serve";
}

void TestSiteFile::refused()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, word);
    const SiteFile::Result result = SiteFile::parse(text, QStringLiteral("site.conf"), m_dir.path());
    QVERIFY2(!result.ok(), qPrintable(QStringLiteral("accepted:\n") + QString::fromUtf8(text)));
    QCOMPARE(result.line, line);
    QVERIFY2(result.error.startsWith(QStringLiteral("site.conf:%1: ").arg(line)), qPrintable(result.error));
    QVERIFY2(result.error.contains(word), qPrintable(result.error));
    QVERIFY(result.site.links.isEmpty());
}

void TestSiteFile::example()
{
    const QString path = m_dir.filePath(QStringLiteral("site.conf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[south]\r\n"
               "guard = 0.05\n"
               "link = tcp:127.0.0.1:4001\n"
               "energizers = 1\n"
               "interval = 2\n"
               "pause-after-connect = 1.5\n"
               "[gateway]\r\n"
               "# the broker\n"
               "mqtt = 127.0.0.1:1883\n"
               "topic = farm\n"
               "discovery = true\n"
               "allow-zone-commands = false\n"
               "username = gateway\n"
               "password-file = mqtt.password\n"
               "metrics = [::1]:9817\n"
               "interval = 0.5\n"
               "timeout = 0.25\n"
               "\n"
               "; one section per link\n"
               "[north]\n"
               "link = serial:/dev/ttyUSB0@38400\n"
               "energizers = 1-12,15\n"
               "name.3 = North gate\n"
               "timeout = 0.5\n");
    file.close();

    const SiteFile::Result result = SiteFile::read(path);
    QVERIFY2(result.ok(), qPrintable(result.error));
    const GatewayOptions& g = result.site.gateway;
    QCOMPARE(g.mqttHost, QStringLiteral("127.0.0.1"));
    QCOMPARE(g.topicPrefix, QStringLiteral("farm"));
    QVERIFY(g.discovery);
    QVERIFY(!g.allowZoneCommands);
    QCOMPARE(g.password, QStringLiteral("s3cret")); // the first line of the file beside site.conf
    QCOMPARE(g.metricsHost, QStringLiteral("::1"));
    QCOMPARE(g.metricsPort, quint16(9817));
    QCOMPARE(g.metricsWarning(), QString()); // loopback
    QCOMPARE(g.intervalSeconds, 0.5);

    QCOMPARE(result.site.links.size(), 2);
    const SiteLink& north = result.site.links.constLast();
    QCOMPARE(north.name, QStringLiteral("north"));
    QCOMPARE(north.lineSpec.text(), QStringLiteral("serial:/dev/ttyUSB0@38400"));
    QCOMPARE(north.addresses, (QVector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15}));
    QCOMPARE(north.displayNames.value(3), QStringLiteral("North gate"));
    // Each link's own pace over the [gateway] one, which comes after it here.
    const SiteLink& south = result.site.links.constFirst();
    QCOMPARE(QVector<int>({north.intervalMs, north.timing.replyTimeoutMs, north.timing.guardGapMs, north.timing.pauseAfterConnectMs}),
             QVector<int>({500, 500, 30, 0}));
    QCOMPARE(QVector<int>({south.intervalMs, south.timing.replyTimeoutMs, south.timing.guardGapMs, south.timing.pauseAfterConnectMs}),
             QVector<int>({2000, 250, 50, 1500}));
}

void TestSiteFile::defaults()
{
    const SiteFile::Result result = SiteFile::parse("[gateway]\nmqtt = broker.local\nmetrics = 0.0.0.0:9817\n" + okLink,
                                                    QStringLiteral("site.conf"), m_dir.path());
    QVERIFY2(result.ok(), qPrintable(result.error));
    const GatewayOptions& g = result.site.gateway;
    QCOMPARE(g.mqttPort, quint16(1883));
    QCOMPARE(g.topicPrefix, QStringLiteral("energizer"));
    QCOMPARE(g.discoveryPrefix, QStringLiteral("homeassistant"));
    QVERIFY(!g.discovery);
    QVERIFY(g.metricsWarning().endsWith(QStringLiteral("anyone on the network can read it"))); // no web-config
    QCOMPARE(g.intervalSeconds, 1.0);
    QVERIFY(g.timelineKept);
    const SiteFile::Result none = SiteFile::parse("[gateway]\ntimeline = none\n" + okLink, QStringLiteral("site.conf"), m_dir.path());
    QVERIFY(none.ok() && !none.site.gateway.timelineKept && none.site.gateway.timelineFile.isEmpty());

    // A CA file asks for TLS, whose port is the default even when the key comes later.
    const SiteFile::Result tls =
        SiteFile::parse("[gateway]\nmqtt = broker.local\nmqtt-ca = mqtt.password\n" + okLink, QStringLiteral("site.conf"), m_dir.path());
    QVERIFY2(tls.ok(), qPrintable(tls.error));
    QVERIFY(tls.site.gateway.mqttTls);
    QCOMPARE(tls.site.gateway.mqttPort, quint16(8883));
    QCOMPARE(tls.site.gateway.mqttCa, m_dir.filePath(QStringLiteral("mqtt.password")));
}

namespace {

const QByteArray hash = "$2y$10$CBOFwJdOIiGtyzCSCozo4eY5WfYxC1dbAzxJN5KgfN1geN25hTi/a";

} // namespace

// The web configuration's reader takes its two levels of YAML and refuses the rest by line.
void TestSiteFile::webConfigRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("word");

    QTest::newRow("unknown section") << QByteArray("# x\ntls_config:\n  cert_file: metrics.crt\n") << 2 << "unknown key 'tls_config'";
    QTest::newRow("unknown TLS key") << QByteArray("tls_server_config:\n  cert_file: metrics.crt\n  ciphers: x\n") << 3 << "unknown key 'ciphers'";
    QTest::newRow("cert without key") << QByteArray("tls_server_config:\n  cert_file: metrics.crt\n") << 2 << "key_file";
    QTest::newRow("client auth, no CA") << QByteArray("tls_server_config:\n  cert_file: metrics.crt\n  key_file: metrics.key\n"
                                           "  client_auth_type: RequireAndVerifyClientCert\n") << 4 << "client_ca_file";
    QTest::newRow("no bcrypt") << QByteArray("basic_auth_users:\n  u: secret\n") << 2 << "no bcrypt hash";
    QTest::newRow("list") << QByteArray("basic_auth_users:\n  - u\n") << 2 << "lists";
    QTest::newRow("flow style") << QByteArray("basic_auth_users: {u: x}\n") << 1 << "flow style";
    QTest::newRow("third level") << QByteArray("http_server_config:\n  headers:\n    X-A: b\n") << 2 << "two levels";
    QTest::newRow("open quote") << QByteArray("basic_auth_users:\n  u: \"$2y\n") << 2 << "quote";
}

void TestSiteFile::webConfigRefused()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, word);
    const QString path = m_dir.filePath(QStringLiteral("web.yml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    WebConfig config;
    QString error;
    QVERIFY2(!WebConfig::read(path, &config, &error), qPrintable(QStringLiteral("accepted:\n") + QString::fromUtf8(text)));
    QVERIFY2(error.startsWith(QStringLiteral("%1:%2: ").arg(path).arg(line)), qPrintable(error));
    QVERIFY2(error.contains(word), qPrintable(error));
    // And from the site file, which names it.
    const SiteFile::Result site = SiteFile::parse("[gateway]\nmetrics = 127.0.0.1:9817\nweb-config = web.yml\n" + okLink,
                                                  QStringLiteral("site.conf"), m_dir.path());
    QCOMPARE(site.line, 3);
    QVERIFY2(site.error.contains(error), qPrintable(site.error));
}

// The shipped example, with quoting and comments of a hand-edited copy.
void TestSiteFile::webConfigExample()
{
    const QString path = m_dir.filePath(QStringLiteral("web-config.yml"));
    QVERIFY(QFile::copy(QStringLiteral(EC_SOURCE_DIR "/packaging/web-config.example.yml"), path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("  'o''neil': \"" + hash + "\"  # quoted\n");
    file.close();
    WebConfig config;
    QString error;
    QVERIFY2(WebConfig::read(path, &config, &error), qPrintable(error));
    QVERIFY(config.hasTls() && config.hasLogin());
    QCOMPARE(config.minVersion, WebConfig::TlsVersion::Tls12);
    QCOMPARE(config.users.keys(), (QStringList{QStringLiteral("o'neil"), QStringLiteral("prometheus")}));
    QCOMPARE(config.users.value(QStringLiteral("o'neil")), hash);
}

QTEST_GUILESS_MAIN(TestSiteFile)
#include "tst_sitefile.moc"
