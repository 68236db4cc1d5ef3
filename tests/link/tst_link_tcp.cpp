#include "linkharness.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "device/energizer.h"

#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

class TestLinkTcp : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void serverRoleAndReconnection();
    void mergedReplies();
};

void TestLinkTcp::init()
{
    if (qEnvironmentVariableIsEmpty("EC_SIM"))
        QSKIP("EC_SIM not set");
}

void TestLinkTcp::serverRoleAndReconnection()
{
    Sim sim;
    QVERIFY(sim.start({QStringLiteral("--tcp"), QStringLiteral("0")}));
    const quint16 port = sim.port();
    QTcpServer otherHost;
    QVERIFY(otherHost.listen(QHostAddress(QStringLiteral("127.0.0.2")), port));
    writeSettingsIni(1, 2, QStringLiteral("127.0.0.1"), port);

    MainWindow window;
    auto* btnConfig = child<QPushButton>(&window, "btnConfig");
    QCOMPARE(statusText(window), QStringLiteral("Configuration is not loaded from energizer"));

    // The request made while still connecting is dropped; the first status
    // reply brings the configuration request, and its PIN enables CONFIG.
    QTRY_VERIFY_WITH_TIMEOUT(btnConfig->isEnabled(), 2500);
    QCOMPARE(sim.firstFrame(QStringLiteral("RX")), Wire::StatusRequest);
    QVERIFY(energizer->online);
    QCOMPARE(statusText(window), QStringLiteral("Connected to 127.0.0.1 : %1").arg(port));
    QTRY_VERIFY_WITH_TIMEOUT(sim.count(QStringLiteral("RX"), Wire::StatusRequest) >= 3, 2600);
    QCOMPARE(sim.count(QStringLiteral("RX"), Wire::ConfigRead), 1);

    // The energizer goes away: the panel resets after 3 s without a reply.
    sim.stop();
    const qint64 stoppedAt = nowMs();
    QTRY_VERIFY_WITH_TIMEOUT(!energizer->online, 5000);
    QVERIFY2(nowMs() - stoppedAt > 2000, qPrintable(QString::number(nowMs() - stoppedAt)));

    // It comes back on the same port; the poll cycle reconnects by itself.
    Sim again;
    QVERIFY(again.start({QStringLiteral("--tcp"), QString::number(port)}));
    QTRY_VERIFY_WITH_TIMEOUT(energizer->online, 3500);
    QTRY_VERIFY_WITH_TIMEOUT(again.count(QStringLiteral("RX"), Wire::StatusRequest) >= 2, 2600);
    QVERIFY(!otherHost.hasPendingConnections());
}

void TestLinkTcp::mergedReplies()
{
    // Each reply held back and written together with the next one.
    Sim sim;
    QVERIFY(sim.start({QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--merge")}));
    writeSettingsIni(1, 2, QStringLiteral("127.0.0.1"), sim.port());
    MainWindow window;
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(&window, "btnConfig")->isEnabled(), 3500);
    QVERIFY(energizer->online);
    QVERIFY(energizer->batteryVoltage > 0);
}

QTEST_MAIN(TestLinkTcp)
#include "tst_link_tcp.moc"
