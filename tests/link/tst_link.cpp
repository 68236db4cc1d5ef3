// The link end to end against energizer-sim on loopback and on a pseudo-terminal.
#include "simprocess.h"
#include "testsettings.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/configdlg.h"
#include "device/energizer.h"
#include "settings/settingsdlg.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QSpinBox>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <functional>

namespace {

// Frames to energizer address 1 as the simulator logs them.
const QString StatusRequest = QStringLiteral("01 01 01 E3");
const QString ConfigRead = QStringLiteral("01 01 02 01");
const QString ZoneCommand = QStringLiteral("01 01 05");
const QString ConfigWrite = QStringLiteral("01 01 04");
const QString StatusReply = QStringLiteral("01 01 81");
const QString RX = QStringLiteral("RX");

qint64 now() { return SimProcess::nowMs(); }

template <class T>
T* child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

QString statusText(MainWindow& window) { return child<QLabel>(&window, "statusLabel")->text(); }

// Opens the settings dialog from the menu, lets edit() change it and applies.
void applySettings(MainWindow& window, const std::function<void(SettingsDlg&)>& edit)
{
    auto* dialog = window.findChild<SettingsDlg*>();
    QVERIFY(dialog);
    QTimer::singleShot(0, dialog, [dialog, edit] {
        edit(*dialog);
        child<QPushButton>(dialog, "btnApply")->click();
    });
    child<QAction>(&window, "actSerialParams")->trigger();
}

// The system does not list a pseudo-terminal: its path is typed in.
void chooseSerial(MainWindow& window, const QString& path, int baudIndex = 1)
{
    applySettings(window, [&path, baudIndex](SettingsDlg& dialog) {
        child<QRadioButton>(&dialog, "rbSerial")->setChecked(true);
        child<QComboBox>(&dialog, "serialPortInfoListBox")->setEditText(path);
        child<QComboBox>(&dialog, "baudRateBox")->setCurrentIndex(baudIndex);
    });
}

quint16 unusedUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

// A listener, UDP and TCP, that must never hear from the link.
struct Decoy
{
    QUdpSocket udp;
    QTcpServer tcp;
    int heard = 0;
    Decoy(const QString& address, quint16 port)
    {
        udp.bind(QHostAddress(address), port);
        tcp.listen(QHostAddress(address), port);
        QObject::connect(&udp, &QUdpSocket::readyRead, [this] {
            while (udp.hasPendingDatagrams())
                heard += udp.receiveDatagram().isValid();
        });
        QObject::connect(&tcp, &QTcpServer::newConnection, [this] { ++heard; });
    }
};

} // namespace

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void session_data();
    void session();
    void faultyReplies_data();
    void faultyReplies();
    void udpClientRole();
};

void TestLink::init()
{
    if (qEnvironmentVariableIsEmpty("EC_SIM"))
        QSKIP("EC_SIM not set");
}

void TestLink::session_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("netMode");
    QTest::addColumn<QString>("firstFrame");
    QTest::newRow("udp server") << "udp" << 0 << ConfigRead;
    // The request made while still connecting is dropped; the first status reply brings the configuration read.
    QTest::newRow("tcp server") << "tcp" << 2 << StatusRequest;
    QTest::newRow("serial") << "pty" << 0 << ConfigRead;
}

void TestLink::session()
{
    QFETCH(QString, kind);
    QFETCH(int, netMode);
    QFETCH(QString, firstFrame);
    const bool serial = kind == QLatin1String("pty");
    QTemporaryDir dir;
    const QString endpoint = serial ? dir.filePath(QStringLiteral("energizer")) : QStringLiteral("0");
    const QStringList simArgs{QStringLiteral("--verbose"), QLatin1String("--") + kind, endpoint};
    SimProcess sim;
    QVERIFY(!sim.start(simArgs).isEmpty());
    const quint16 port = serial ? unusedUdpPort() : sim.port();
    Decoy otherHost(QStringLiteral("127.0.0.2"), port);
    Decoy defaultPort(QStringLiteral("127.0.0.1"), 6128);
    writeSettingsIni(QStringLiteral("127.0.0.1"), port, 1, netMode);

    MainWindow window;
    auto* btnConfig = child<QPushButton>(&window, "btnConfig");
    QVERIFY(!btnConfig->isEnabled());
    QCOMPARE(statusText(window), QStringLiteral("Configuration is not loaded from energizer"));
    int portFailures = 0;
    if (serial) {
        connect(serialPort, &QSerialPort::errorOccurred, this, [&portFailures](QSerialPort::SerialPortError error) {
            // More than one is a busy loop on a port that should have been closed.
            portFailures += error == QSerialPort::ReadError || error == QSerialPort::ResourceError;
        });
        chooseSerial(window, QString());
        QCOMPARE(statusText(window), QStringLiteral("Not available serial ports"));
        chooseSerial(window, dir.filePath(QStringLiteral("missing")));
        QVERIFY(statusText(window).startsWith(QLatin1String("Connection failed. ")));
        QVERIFY(!serialPort->isOpen());
        // A port without modem lines is used all the same.
        chooseSerial(window, endpoint);
        QVERIFY(serialPort->isOpen());
    }
    const qint64 started = now();

    // The configuration is read, its PIN matches the default one, and no more reads follow.
    QTRY_VERIFY_WITH_TIMEOUT(btnConfig->isEnabled(), 2500);
    QCOMPARE(sim.firstFrame(RX), firstFrame);
    if (firstFrame == ConfigRead)
        QVERIFY(sim.frames(RX, ConfigRead).first() - started < 700);
    QTRY_VERIFY(energizer->online && energizer->batteryVoltage > 0); // a status reply decoded
    QCOMPARE(statusText(window), serial ? QStringLiteral("Connected to %1 : 19200, 8 bits, No parity, 1 stop, No Flow Control").arg(endpoint)
                                        : QStringLiteral("Connected to 127.0.0.1 : %1").arg(port));

    // Panel values follow the simulator: its state, an alarm set on its console, a zone click from the panel.
    QString state = sim.command(QStringLiteral("state"), QStringLiteral("STATE"));
    const auto stateBit = [&state](const char* key) {
        return state.section(QLatin1String(key) + QLatin1Char('='), 1).left(1) == QLatin1String("1");
    };
    QCOMPARE(energizer->fenceOn1, stateBit("on1"));
    QCOMPARE(child<QPushButton>(&window, "btnHV2")->isChecked(), stateBit("hv2"));
    QVERIFY(energizer->tamperOk);
    QVERIFY(!sim.command(QStringLiteral("set tamper 1"), QStringLiteral("OK")).isEmpty());
    auto* btnON1 = child<QPushButton>(&window, "btnON1");
    const bool wasOn = energizer->fenceOn1;
    btnON1->click();
    QTRY_COMPARE_WITH_TIMEOUT(sim.count(RX, ZoneCommand), 1, 300);
    state = sim.command(QStringLiteral("state"), QStringLiteral("STATE"));
    QCOMPARE(stateBit("on1"), !wasOn);
    QTRY_VERIFY_WITH_TIMEOUT(energizer->fenceOn1 == !wasOn && !energizer->tamperOk, 1600);
    QCOMPARE(btnON1->isChecked(), !wasOn);

    // A configuration write changes the energizer's own block.
    auto* delay = child<QSpinBox>(configDlg, "spnGateAlarmDelay");
    delay->setValue(delay->value() == 33 ? 34 : 33);
    child<QPushButton>(configDlg, "btnWriteEnerg")->click();
    QTRY_COMPARE_WITH_TIMEOUT(sim.count(RX, ConfigWrite), 1, 300);
    const QByteArray block = sim.block();
    QCOMPARE(block.size(), 52);
    QCOMPARE(int(quint8(block.at(35))), delay->value());
    QCOMPARE(block.mid(3, 48), QByteArray(reinterpret_cast<const char*>(configDlg->configBlock.data()) + 3, 48));

    // One status request a second throughout.
    const QList<qint64> polls = sim.frames(RX, StatusRequest);
    QVERIFY(polls.size() >= 2);
    for (int i = 1; i < polls.size(); ++i)
        QVERIFY2(qAbs(polls.at(i) - polls.at(i - 1) - 1000) < 250, qPrintable(QString::number(polls.at(i) - polls.at(i - 1))));
    QCOMPARE(sim.count(RX, ConfigRead), 1);

    if (kind == QLatin1String("udp")) {
        // A PIN that does not match keeps the configuration reads coming.
        applySettings(window, [](SettingsDlg& dialog) {
            child<QLineEdit>(&dialog, "edtInstallerPIN")->setText(QStringLiteral("000000"));
        });
        QVERIFY(!btnConfig->isEnabled());
        const qint64 wrongPinAt = now();
        QTRY_VERIFY_WITH_TIMEOUT(sim.count(RX, ConfigRead, wrongPinAt) >= 3, 2900);
        QVERIFY(!btnConfig->isEnabled());

        // A new module address: the old one hears nothing more.
        Decoy moved(QStringLiteral("127.0.0.3"), port);
        applySettings(window, [](SettingsDlg& dialog) {
            child<QLineEdit>(&dialog, "edtIP")->setText(QStringLiteral("127.0.0.3"));
        });
        QTest::qWait(200); // the old module's log catches up with what went out before
        const int heardBefore = sim.count(RX, QString());
        QTRY_VERIFY_WITH_TIMEOUT(moved.heard >= 2, 1600);
        QCOMPARE(sim.count(RX, QString()), heardBefore);
    } else {
        // The energizer goes away and comes back at the same place; the poll cycle reconnects by itself.
        sim.stop();
        if (serial) {
            QTRY_VERIFY_WITH_TIMEOUT(!serialPort->isOpen(), 500);
            QVERIFY(!energizer->online);
            QTest::qWait(300);
            QCOMPARE(portFailures, 1);
        }
        SimProcess again;
        QVERIFY(!again.start({QStringLiteral("--verbose"), QLatin1String("--") + kind, serial ? endpoint : QString::number(port)}).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(again.count(RX, StatusRequest) >= 2 && energizer->online, 4500);
        if (serial) {
            // The text names what was applied.
            chooseSerial(window, endpoint, 0);
            QTRY_VERIFY_WITH_TIMEOUT(again.count(RX, ConfigRead) >= 1, 1500);
            QTRY_COMPARE_WITH_TIMEOUT(statusText(window),
                                      QStringLiteral("Connected to %1 : 9600, 8 bits, No parity, 1 stop, No Flow Control").arg(endpoint), 2500);
            QCOMPARE(serialPort->baudRate(), 9600);
        }
    }
    QCOMPARE(otherHost.heard, 0);
    QCOMPARE(defaultPort.heard, 0);
}

void TestLink::faultyReplies_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("netMode");
    QTest::addColumn<QStringList>("faults");
    QTest::newRow("udp, 5-byte pieces 10 ms apart, then silence")
        << "udp" << 0 << QStringList{"--split", "5:10", "--silent-after", "3"};
    QTest::newRow("tcp, each reply merged with the next") << "tcp" << 2 << QStringList{"--merge"};
}

void TestLink::faultyReplies()
{
    QFETCH(QString, kind);
    QFETCH(int, netMode);
    QFETCH(QStringList, faults);
    SimProcess sim;
    QVERIFY(!sim.start(QStringList{QStringLiteral("--verbose"), QLatin1String("--") + kind, QStringLiteral("0")} + faults).isEmpty());
    writeSettingsIni(QStringLiteral("127.0.0.1"), sim.port(), 1, netMode);
    MainWindow window;
    qint64 offlineAt = -1;
    connect(energizer, &Energizer::paramChanged, this, [&offlineAt] {
        if (!energizer->online && offlineAt < 0 && !energizer->mainsOk && energizer->batteryVoltage == 0.0)
            offlineAt = now();
    });
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(&window, "btnConfig")->isEnabled(), 3500);
    QTRY_VERIFY_WITH_TIMEOUT(energizer->online, 2000);
    QVERIFY(energizer->batteryVoltage > 0);
    if (!faults.contains(QStringLiteral("--silent-after")))
        return;

    // Two status replies, then none: the panel resets 3000 ms after the last, and polling goes on.
    QTRY_COMPARE_WITH_TIMEOUT(sim.count(QStringLiteral("TX"), StatusReply), 2, 3000);
    offlineAt = -1;
    const qint64 lastReply = sim.frames(QStringLiteral("TX"), StatusReply).last();
    QTRY_VERIFY_WITH_TIMEOUT(offlineAt > 0, 5000);
    QVERIFY2(offlineAt - lastReply > 3000 && offlineAt - lastReply < 4300, qPrintable(QString::number(offlineAt - lastReply)));
    QCOMPARE(energizer->fenceCondition1, QStringLiteral("Bad"));
    QTRY_VERIFY_WITH_TIMEOUT(sim.count(RX, StatusRequest, offlineAt - 5) >= 1, 300);
}

void TestLink::udpClientRole()
{
    // The module sends from its port to the same port on this PC's chosen address
    // (here 127.0.0.1, with the module on 127.0.0.2).
    QUdpSocket module;
    const quint16 port = unusedUdpPort();
    QVERIFY(module.bind(QHostAddress(QStringLiteral("127.0.0.2")), port));
    writeSettingsIni(QStringLiteral("127.0.0.1"), unusedUdpPort());
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
    QCOMPARE(QString::fromLatin1(request.data().toHex(' ').toUpper()), ConfigRead);
    QCOMPARE(request.senderPort(), int(port));

    // Zone 1 on in low voltage, 13.625 V battery; accepted from the module only.
    QByteArray reply(27, '\0');
    reply[0] = 0x01;
    reply[1] = 0x01;
    reply[2] = char(0x81);
    reply[9] = 0x6D;
    reply[13] = char(0x81);
    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0));
    stranger.writeDatagram(reply, request.senderAddress(), port);
    QTest::qWait(150);
    QVERIFY(!energizer->online);
    module.writeDatagram(reply, request.senderAddress(), port);
    QTRY_VERIFY_WITH_TIMEOUT(energizer->online, 500);
    QCOMPARE(energizer->batteryVoltage, 13.625);
    QVERIFY(energizer->fenceOn1 && !energizer->fenceHv1);
}

QTEST_MAIN(TestLink)
#include "tst_link.moc"
