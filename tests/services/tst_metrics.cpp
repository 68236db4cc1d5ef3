// The metrics endpoint on 127.0.0.1, scraped for real, and its text; promtool
// checks the gateway's real text in tst_gateway.
#include "services/metricsserver.h"
#include "services/metricstext.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

const QHostAddress loopback(QHostAddress::LocalHost);

struct Scrape
{
    int status = 0;
    QByteArray contentType;
    QByteArray body;
};

} // namespace

class TestMetrics : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void answers_data();
    void answers();
    void idleClientBlocksNobody();
    void portTaken();
    void text();

private:
    Scrape fetch(const QByteArray& verb, const QString& path, const QByteArray& data = {});

    std::unique_ptr<MetricsServer> m_server;
    QNetworkAccessManager m_manager;
};

void TestMetrics::init()
{
    // Straight to loopback, whatever http_proxy says.
    m_manager.setProxy(QNetworkProxy::NoProxy);
    m_server = std::make_unique<MetricsServer>();
    QVERIFY2(m_server->listen(loopback, 0), qPrintable(m_server->errorString()));
    QVERIFY(m_server->serverPort() != 0);
}

Scrape TestMetrics::fetch(const QByteArray& verb, const QString& path, const QByteArray& data)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server->serverPort()).arg(path)));
    if (!data.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/plain"));
    std::unique_ptr<QNetworkReply> reply(m_manager.sendCustomRequest(request, verb, data));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!finished.wait(5000))
        return {};
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->readAll()};
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

// A client that sends half a request and goes quiet must not hold up a scrape.
void TestMetrics::idleClientBlocksNobody()
{
    QTcpSocket idle;
    QSignalSpy written(&idle, &QTcpSocket::bytesWritten);
    connect(&idle, &QTcpSocket::connected, &idle, [&idle] { idle.write("GET /metr"); });
    idle.connectToHost(loopback, m_server->serverPort());
    QVERIFY(written.wait(5000));

    int asked = 0;
    m_server->setBodySource([&asked] { return QByteArray::number(++asked) + '\n'; });
    QCOMPARE(fetch("GET", "/metrics").body, QByteArray("1\n"));
    QCOMPARE(fetch("GET", "/metrics").body, QByteArray("2\n"));
}

void TestMetrics::portTaken()
{
    MetricsServer second;
    QVERIFY(!second.listen(loopback, m_server->serverPort()));
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
