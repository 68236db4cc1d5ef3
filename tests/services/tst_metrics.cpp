// The metrics endpoint on 127.0.0.1, scraped for real, over TLS with a login
// too, and its text; promtool checks the gateway's real text in tst_gateway,
// tests/package/prometheus-scrape has Prometheus scrape it over TLS.
#include "services/basicauth.h"
#include "services/metricsserver.h"
#include "services/metricstext.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpSocket>
#include <QtTest>

#include <crypt.h>

#include <memory>

namespace {

const QHostAddress loopback(QHostAddress::LocalHost);

struct Scrape
{
    int status = 0;
    QByteArray contentType;
    QByteArray body;
    QByteArray challenge; // WWW-Authenticate
};

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray bcryptHash(const char* password, int cost)
{
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    auto data = std::make_unique<crypt_data>();
    return crypt_rn(password, crypt_gensalt_rn("$2b$", cost, nullptr, 0, salt, sizeof salt), data.get(), sizeof *data);
}

// A connection from a chosen loopback address (QNetworkAccessManager cannot bind).
std::unique_ptr<QTcpSocket> connectFrom(const QString& from, quint16 port, const QByteArray& request = {})
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->bind(QHostAddress(from));
    socket->connectToHost(QHostAddress::LocalHost, port);
    socket->write(request);
    return socket;
}

QByteArray getFrom(const QString& from, quint16 port)
{
    const auto socket = connectFrom(from, port, "GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QSignalSpy(socket.get(), &QTcpSocket::disconnected).wait(3000);
    return socket->readAll();
}

} // namespace

class TestMetrics : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void answers_data();
    void answers();
    void connectionsNeverStopIt();
    void login_data();
    void login();
    void unknownUserTakesAsLong();
    void portTaken();
    void text();

private:
    Scrape fetch(const QByteArray& verb, const QString& path, const QByteArray& data = {},
                 const QByteArray& login = {}, const QString& scheme = QStringLiteral("http"));
    // A server over TLS that lets "prometheus" in with "s3cret"; false when openssl is missing.
    bool listenWithLogin(int failedLoginsPerMinute = 10);

    std::unique_ptr<MetricsServer> m_server;
    QNetworkAccessManager m_manager;
    QTemporaryDir m_dir;
};

void TestMetrics::init()
{
    // Straight to loopback, whatever http_proxy says.
    m_manager.setProxy(QNetworkProxy::NoProxy);
    m_server = std::make_unique<MetricsServer>();
    QVERIFY2(m_server->listen({}), qPrintable(m_server->errorString()));
    QVERIFY(m_server->serverPort() != 0);
}

Scrape TestMetrics::fetch(const QByteArray& verb, const QString& path, const QByteArray& data,
                          const QByteArray& login, const QString& scheme)
{
    QNetworkRequest request(QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(m_server->serverPort()).arg(path)));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates(QSslCertificate::fromPath(m_dir.filePath(QStringLiteral("ca.crt"))));
    request.setSslConfiguration(tls);
    if (!login.isEmpty())
        request.setRawHeader("Authorization", "Basic " + login.toBase64());
    if (!data.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/plain"));
    std::unique_ptr<QNetworkReply> reply(m_manager.sendCustomRequest(request, verb, data));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!finished.wait(5000))
        return {};
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->readAll(),
            reply->rawHeader("WWW-Authenticate")};
}

bool TestMetrics::listenWithLogin(int failedLoginsPerMinute)
{
    // A CA and a certificate for 127.0.0.1 signed by it.
    const QString ec = QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 -subj /CN=");
    for (const QString& step : {ec + QStringLiteral("ca -keyout ca.key -out ca.crt"),
                                ec + QStringLiteral("127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -CA ca.crt -CAkey ca.key "
                                                    "-keyout server.key -out server.crt")}) {
        QProcess openssl;
        openssl.setWorkingDirectory(m_dir.path());
        if (!QFile::exists(m_dir.filePath(QStringLiteral("server.crt"))))
            openssl.start(QStringLiteral("openssl"), step.split(QLatin1Char(' ')));
        if (openssl.state() != QProcess::NotRunning && (!openssl.waitForFinished(20000) || openssl.exitCode()))
            return false;
    }
    MetricsServerOptions options;
    options.web.certPem = readFile(m_dir.filePath(QStringLiteral("server.crt")));
    options.web.keyPem = readFile(m_dir.filePath(QStringLiteral("server.key")));
    options.web.users.insert(QStringLiteral("prometheus"), bcryptHash("s3cret", 4));
    options.failedLoginsPerMinute = failedLoginsPerMinute;
    m_server->setBody("energizer_up{link=\"a\",address=\"1\"} 1\n");
    return m_server->listen(options);
}

void TestMetrics::answers_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("status");

    QTest::newRow("GET /metrics") << QByteArray("GET") << "/metrics" << QByteArray() << 200;
    QTest::newRow("GET /other") << QByteArray("GET") << "/other" << QByteArray() << 404;
    QTest::newRow("GET /metrics/") << QByteArray("GET") << "/metrics/" << QByteArray() << 404;
    QTest::newRow("DELETE /metrics") << QByteArray("DELETE") << "/metrics" << QByteArray() << 405;
    QTest::newRow("POST /metrics") << QByteArray("POST") << "/metrics" << QByteArray("x=1") << 405;
    QTest::newRow("GET with a body") << QByteArray("GET") << "/metrics" << QByteArray("x=1") << 413;
}

void TestMetrics::answers()
{
    QFETCH(QByteArray, verb);
    QFETCH(QString, path);
    QFETCH(QByteArray, data);
    QFETCH(int, status);
    m_server->setBody("energizer_up{link=\"a\",address=\"1\"} 1\n");
    const Scrape scrape = fetch(verb, path, data);
    QCOMPARE(scrape.status, status);
    if (status == 200) {
        QCOMPARE(scrape.contentType, QByteArray("text/plain; version=0.0.4; charset=utf-8"));
        QCOMPARE(scrape.body, QByteArray("energizer_up{link=\"a\",address=\"1\"} 1\n"));
    }
}

// 32 idle connections (the limit in all) once froze the endpoint for good,
// and 8 slow ones (the limit per address) locked their address out.
void TestMetrics::connectionsNeverStopIt()
{
    MetricsServerOptions options;
    options.requestSeconds = 1;
    QVERIFY(m_server->listen(options));
    const quint16 port = m_server->serverPort();
    int asked = 0; // each scrape gets a body made for it
    m_server->setBodySource([&asked] { return "up " + QByteArray::number(++asked) + '\n'; });
    std::vector<std::unique_ptr<QTcpSocket>> idle; // 8 from each of 127.0.0.3..6, silent until cut
    for (int i = 0; i < 32; ++i)
        idle.push_back(connectFrom(QStringLiteral("127.0.0.%1").arg(3 + i / 8), port));
    for (auto& socket : idle)
        QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QAbstractSocket::UnconnectedState, 3000);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(getFrom(QStringLiteral("127.0.0.1"), port).endsWith("up 1\n"));
    QVERIFY(clock.elapsed() < 1000);

    std::vector<std::unique_ptr<QTcpSocket>> slow; // a header byte every 100 ms, never a whole request
    for (int i = 0; i < 8; ++i)
        slow.push_back(connectFrom(QStringLiteral("127.0.0.1"), port, "GET /metr"));
    QTimer trickle;
    connect(&trickle, &QTimer::timeout, [&slow] {
        for (auto& socket : slow)
            socket->write("X");
    });
    trickle.start(100);
    QVERIFY(getFrom(QStringLiteral("127.0.0.2"), port).endsWith("up 2\n"));
    for (auto& socket : slow)
        QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QAbstractSocket::UnconnectedState, 3000);
    QVERIFY(getFrom(QStringLiteral("127.0.0.1"), port).endsWith("up 3\n"));
}

void TestMetrics::login_data()
{
    QTest::addColumn<QByteArray>("login");
    QTest::addColumn<int>("failedBefore");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<int>("status");

    QTest::newRow("no credentials") << QByteArray() << 0 << "https" << 401;
    QTest::newRow("wrong password") << QByteArray("prometheus:s3cre") << 0 << "https" << 401;
    QTest::newRow("unknown user") << QByteArray("grafana:s3cret") << 0 << "https" << 401;
    QTest::newRow("right") << QByteArray("prometheus:s3cret") << 0 << "https" << 200;
    QTest::newRow("right after 3 failures") << QByteArray("prometheus:s3cret") << 3 << "https" << 429;
    QTest::newRow("plain HTTP to TLS") << QByteArray("prometheus:s3cret") << 0 << "http" << 0;
}

void TestMetrics::login()
{
    QFETCH(QByteArray, login);
    QFETCH(int, failedBefore);
    QFETCH(QString, scheme);
    QFETCH(int, status);
    QVERIFY2(listenWithLogin(3), qPrintable(m_server->errorString()));
    for (int i = 0; i < failedBefore; ++i)
        QCOMPARE(fetch("GET", "/metrics", {}, "prometheus:guess", scheme).status, 401);
    const Scrape scrape = fetch("GET", "/metrics", {}, login, scheme);
    QCOMPARE(scrape.status, status);
    QCOMPARE(scrape.body.startsWith("energizer_up"), status == 200);
    if (status == 401)
        QCOMPARE(scrape.challenge, QByteArray("Basic realm=\"energizer-gateway\""));
}

// A far miss (no such user) costs a bcrypt like a near miss, or timing would tell the names.
void TestMetrics::unknownUserTakesAsLong()
{
    const BasicAuth auth({{QStringLiteral("prometheus"), bcryptHash("s3cret", 8)}});
    const auto fastest = [&auth](const QByteArray& login) {
        qint64 best = std::numeric_limits<qint64>::max();
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer clock;
            clock.start();
            best = auth.check("Basic " + login.toBase64()) ? -1 : qMin(best, clock.nsecsElapsed());
        }
        return best;
    };
    const qint64 near = fastest("prometheus:s3cre");
    const qint64 far = fastest("grafana:x");
    QVERIFY2(far > near / 2, qPrintable(QStringLiteral("near miss %1 ns, far miss %2 ns").arg(near).arg(far)));
}

void TestMetrics::portTaken()
{
    MetricsServer second;
    MetricsServerOptions options;
    options.port = m_server->serverPort();
    QVERIFY(!second.listen(options));
    QVERIFY(!second.isListening());
    QVERIFY2(second.errorString().contains(QString::number(m_server->serverPort())), qPrintable(second.errorString()));
    QVERIFY2(second.errorString().contains(QStringLiteral("in use")), qPrintable(second.errorString()));
}

// Labels escaped; nothing but up for an energizer that does not answer.
void TestMetrics::text()
{
    EnergizerReading online;
    online.link = QStringLiteral("north \"A\" \\ 1"); // quote and backslash need escaping
    online.address = 3;
    online.up = true;
    online.fields = {{QStringLiteral("energizer_output_voltage_volts"), 1, {}, 8123.5},
                     {QStringLiteral("energizer_alarm"), 0, QStringLiteral("mains_fail"), 1}};
    EnergizerReading offline;
    offline.link = QStringLiteral("south");
    offline.address = 12;
    offline.fields = online.fields; // stale, from before it went quiet
    const QByteArray body = metricsText({online, offline}, {}, QStringLiteral("1.0.31"));
    QVERIFY(body.contains("energizer_up{link=\"north \\\"A\\\" \\\\ 1\",address=\"3\"} 1\n"));
    QVERIFY(body.contains("energizer_alarm{link=\"north \\\"A\\\" \\\\ 1\",address=\"3\",alarm=\"mains_fail\"} 1\n"));
    QVERIFY(body.contains("energizer_up{link=\"south\",address=\"12\"} 0\n"));
    QVERIFY(!body.contains("energizer_output_voltage_volts{link=\"south\""));
}

QTEST_GUILESS_MAIN(TestMetrics)
#include "tst_metrics.moc"
