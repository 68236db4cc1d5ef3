#include "linkharness.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/configdlg.h"
#include "device/energizer.h"
#include "settings/settingsdlg.h"

#include <QComboBox>
#include <QSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QUdpSocket>
#include <QtTest>

namespace {

// A listener that must never hear from the link.
struct Decoy
{
    QUdpSocket udp;
    QTcpServer tcp;
    int heard = 0;
    Decoy(const QHostAddress& address, quint16 port)
    {
        udp.bind(address, port);
        tcp.listen(address, port);
        QObject::connect(&udp, &QUdpSocket::readyRead, [this] {
            while (udp.hasPendingDatagrams()) {
                udp.receiveDatagram();
                ++heard;
            }
        });
        QObject::connect(&tcp, &QTcpServer::newConnection, [this] { ++heard; });
    }
};

} // namespace

class TestLinkUdp : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void serverRole();
    void splitReplies();
    void silenceResetsPanel();
    void clientRoleBindsAndAssociates();
};

void TestLinkUdp::init()
{
    if (qEnvironmentVariableIsEmpty("EC_SIM"))
        QSKIP("EC_SIM not set");
}

void TestLinkUdp::serverRole()
{
    Sim sim;
    QVERIFY(sim.start({QStringLiteral("--udp"), QStringLiteral("0")}));
    const quint16 port = sim.port();
    // Same port on another loopback address, and the default module port.
    Decoy otherHost(QHostAddress(QStringLiteral("127.0.0.2")), port);
    Decoy defaultPort(QHostAddress::LocalHost, 6128);
    writeSettingsIni(1, 0, QStringLiteral("127.0.0.1"), port);

    const qint64 started = nowMs();
    MainWindow window;
    auto* btnConfig = child<QPushButton>(&window, "btnConfig");
    QVERIFY(!btnConfig->isEnabled());
    QCOMPARE(statusText(window), QStringLiteral("Configuration is not loaded from energizer"));

    // The configuration is asked for at once; its PIN matches the default one.
    QTRY_VERIFY_WITH_TIMEOUT(btnConfig->isEnabled(), 800);
    QCOMPARE(sim.firstFrame(QStringLiteral("RX")), Wire::ConfigRead);
    QVERIFY(sim.frames(QStringLiteral("RX"), Wire::ConfigRead).first() - started < 700);

    // One status request a second, and no more configuration requests.
    QTRY_VERIFY_WITH_TIMEOUT(sim.count(QStringLiteral("RX"), Wire::StatusRequest) >= 3, 3600);
    const QList<qint64> polls = sim.frames(QStringLiteral("RX"), Wire::StatusRequest);
    QVERIFY2(polls.first() - started > 800 && polls.first() - started < 1700, qPrintable(QString::number(polls.first() - started)));
    for (int i = 1; i < polls.size(); ++i)
        QVERIFY2(qAbs(polls.at(i) - polls.at(i - 1) - 1000) < 250, "poll period");
    QCOMPARE(sim.count(QStringLiteral("RX"), Wire::ConfigRead), 1);
    QCOMPARE(statusText(window), QStringLiteral("Connected to 127.0.0.1 : %1").arg(port));

    // Panel values follow the simulated energizer.
    QTRY_VERIFY(energizer->online);
    QString state = sim.command(QStringLiteral("state"), QStringLiteral("STATE"));
    QVERIFY(!state.isEmpty());
    const auto stateBit = [&state](const char* key) {
        return state.section(QLatin1String(key) + QLatin1Char('='), 1).left(1) == QLatin1String("1");
    };
    QCOMPARE(energizer->fenceOn1, stateBit("on1"));
    QCOMPARE(energizer->fenceHv2, stateBit("hv2"));
    QCOMPARE(child<QPushButton>(&window, "btnHV1")->isChecked(), stateBit("hv1"));
    QVERIFY(energizer->tamperOk);
    sim.command(QStringLiteral("set tamper 1"), QString());
    QTRY_VERIFY_WITH_TIMEOUT(!energizer->tamperOk, 1600);
    QVERIFY(energizer->batteryVoltage > 0);

    // A zone click reaches the energizer; the next status sets the buttons.
    auto* btnON1 = child<QPushButton>(&window, "btnON1");
    const bool wasOn = energizer->fenceOn1;
    btnON1->click();
    QTRY_COMPARE_WITH_TIMEOUT(sim.count(QStringLiteral("RX"), Wire::ZoneCommand), 1, 300);
    state = sim.command(QStringLiteral("state"), QStringLiteral("STATE"));
    QCOMPARE(stateBit("on1"), !wasOn);
    QTRY_VERIFY_WITH_TIMEOUT(energizer->fenceOn1 == !wasOn, 1600);
    QCOMPARE(btnON1->isChecked(), !wasOn);

    // A configuration write changes the energizer's block.
    const QString before = sim.command(QStringLiteral("dump"), QStringLiteral("CONFIG"));
    int delayIndex = -1;
    for (int i = 0; i < ParamCount; ++i) {
        if (qstrcmp(paramInfo(i)->name, "GateAlarmDelay") == 0)
            delayIndex = i;
    }
    QVERIFY(delayIndex >= 0);
    configDlg->setParam(delayIndex, (configDlg->getParam(delayIndex).toInt() + 7) % 100);
    configDlg->updateUi();
    configDlg->writeEnerg();
    QTRY_COMPARE_WITH_TIMEOUT(sim.count(QStringLiteral("RX"), Wire::ConfigWrite), 1, 300);
    const QString after = sim.command(QStringLiteral("dump"), QStringLiteral("CONFIG"));
    QVERIFY(after != before);
    const QStringList dumped = after.mid(7).split(QLatin1Char(' '));
    QCOMPARE(dumped.size(), 52);
    for (int i = 3; i <= 50; ++i)
        QCOMPARE(dumped.at(i).toUInt(nullptr, 16), uint(configDlg->configBlock[std::size_t(i)]));

    // A PIN that does not match keeps the configuration requests coming.
    applySettings(window, [](SettingsDlg& dialog) {
        child<QLineEdit>(&dialog, "edtInstallerPIN")->setText(QStringLiteral("000000"));
    });
    QVERIFY(!btnConfig->isEnabled());
    const qint64 wrongPinAt = nowMs();
    QTRY_VERIFY_WITH_TIMEOUT(sim.count(QStringLiteral("RX"), Wire::StatusRequest, wrongPinAt) >= 2, 2600);
    QTRY_VERIFY_WITH_TIMEOUT(sim.count(QStringLiteral("RX"), Wire::ConfigRead, wrongPinAt) >= 3, 300);
    QVERIFY(!btnConfig->isEnabled());

    // A new module address in the settings: the old one hears nothing more.
    Decoy moved(QHostAddress(QStringLiteral("127.0.0.3")), port);
    applySettings(window, [](SettingsDlg& dialog) {
        child<QLineEdit>(&dialog, "edtIP")->setText(QStringLiteral("127.0.0.3"));
    });
    QTest::qWait(200); // the old module's log catches up with what went out before
    const int heardBefore = sim.count(QStringLiteral("RX"), QString());
    QTRY_VERIFY_WITH_TIMEOUT(moved.heard >= 2, 1600);
    QCOMPARE(sim.count(QStringLiteral("RX"), QString()), heardBefore);

    QCOMPARE(otherHost.heard, 0);
    QCOMPARE(defaultPort.heard, 0);
}

void TestLinkUdp::splitReplies()
{
    // Replies in 5-byte datagrams 10 ms apart still decode and still enable CONFIG.
    Sim sim;
    QVERIFY(sim.start({QStringLiteral("--udp"), QStringLiteral("0"), QStringLiteral("--split"), QStringLiteral("5:10")}));
    writeSettingsIni(1, 0, QStringLiteral("127.0.0.1"), sim.port());
    MainWindow window;
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(&window, "btnConfig")->isEnabled(), 2500);
    QTRY_VERIFY_WITH_TIMEOUT(energizer->online, 1800);
    QVERIFY(energizer->batteryVoltage > 0);
    QVERIFY(energizer->fenceCondition1 != QLatin1String("Bad") || energizer->fenceLevel1 > 0);
}

void TestLinkUdp::silenceResetsPanel()
{
    // The energizer answers the configuration read and two polls, then goes quiet.
    Sim sim;
    QVERIFY(sim.start({QStringLiteral("--udp"), QStringLiteral("0"), QStringLiteral("--silent-after"), QStringLiteral("3")}));
    writeSettingsIni(1, 0, QStringLiteral("127.0.0.1"), sim.port());
    MainWindow window;
    qint64 offlineAt = -1;
    connect(energizer, &Energizer::paramChanged, this, [&offlineAt] {
        if (!energizer->online && offlineAt < 0 && !energizer->mainsOk && energizer->batteryVoltage == 0.0)
            offlineAt = nowMs();
    });
    QTRY_VERIFY_WITH_TIMEOUT(sim.count(QStringLiteral("TX"), Wire::StatusReply) == 2, 3000);
    QTRY_VERIFY(energizer->online);
    offlineAt = -1;
    const qint64 lastReply = sim.frames(QStringLiteral("TX"), Wire::StatusReply).last();
    QTRY_VERIFY_WITH_TIMEOUT(offlineAt > 0, 5000);
    const qint64 quiet = offlineAt - lastReply;
    QVERIFY2(quiet > 3000 && quiet < 4300, qPrintable(QString::number(quiet)));
    QCOMPARE(energizer->fenceCondition1, QStringLiteral("Bad"));
    // Polling goes on: the frame that noticed the silence still went out.
    QTRY_VERIFY_WITH_TIMEOUT(sim.count(QStringLiteral("RX"), Wire::StatusRequest, offlineAt - 5) >= 1, 300);
}

void TestLinkUdp::clientRoleBindsAndAssociates()
{
    // A module in the UDP-client role sends from its port to the same port
    // on this PC's chosen address (here 127.0.0.1 beside a module on 127.0.0.2).
    QUdpSocket module;
    const quint16 port = unusedUdpPort();
    QVERIFY(module.bind(QHostAddress(QStringLiteral("127.0.0.2")), port));
    writeSettingsIni(1, 0, QStringLiteral("127.0.0.1"), unusedUdpPort());
    MainWindow window;
    applySettings(window, [port](SettingsDlg& dialog) {
        child<QRadioButton>(&dialog, "rbTCP")->setChecked(true);
        child<QRadioButton>(&dialog, "rbUDPclient")->setChecked(true);
        auto* ownIp = child<QComboBox>(&dialog, "cbOwnIP");
        ownIp->addItem(QStringLiteral("127.0.0.1"));
        ownIp->setCurrentText(QStringLiteral("127.0.0.1"));
        child<QLineEdit>(&dialog, "edtIP")->setText(QStringLiteral("127.0.0.2"));
        child<QSpinBox>(&dialog, "spnPort")->setValue(port);
    });
    QTRY_VERIFY_WITH_TIMEOUT(module.hasPendingDatagrams(), 500);
    const QNetworkDatagram request = module.receiveDatagram();
    QCOMPARE(request.data().toHex(' ').toUpper(), Wire::ConfigRead.toLatin1());
    QCOMPARE(request.senderPort(), int(port));

    // An answer from the module reaches the link; one from elsewhere does not.
    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0));
    stranger.writeDatagram(handMadeStatusReply(), request.senderAddress(), port);
    QTest::qWait(150);
    QVERIFY(!energizer->online);
    module.writeDatagram(handMadeStatusReply(), request.senderAddress(), port);
    QTRY_VERIFY_WITH_TIMEOUT(energizer->online, 500);
    QCOMPARE(energizer->batteryVoltage, 13.625);
    QVERIFY(energizer->fenceOn1);
    QVERIFY(!energizer->fenceHv1);
}

QTEST_MAIN(TestLinkUdp)
#include "tst_link_udp.moc"
