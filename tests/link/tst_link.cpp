// The link end to end against energizer-sim on loopback and on a pseudo-terminal.
#include "simprocess.h"
#include "testsettings.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "protocol/energizer.h"
#include "widgets/settingsdlg.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
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
    void session_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("netMode");
        QTest::addColumn<QString>("firstFrame");
        QTest::newRow("udp server") << "udp" << 0 << ConfigRead;
        // The request made while still connecting is dropped; the first status reply brings the configuration read.
        QTest::newRow("tcp server") << "tcp" << 2 << StatusRequest;
        QTest::newRow("serial") << "pty" << 0 << ConfigRead;
    }

    void session()
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
        // A serial link uses no port: any free one stands in the settings.
        Decoy otherHost(QStringLiteral("127.0.0.2"), serial ? 0 : sim.port());
        const quint16 port = otherHost.udp.localPort();
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
        QCOMPARE(sim.frames(RX, firstFrame).value(0, -1), sim.frames(RX, QString()).value(0));
        if (firstFrame == ConfigRead)
            QVERIFY(sim.frames(RX, ConfigRead).first() - started < 900); // at opening, not after a status
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
        QTRY_COMPARE(sim.count(RX, ZoneCommand), 1);
        state = sim.command(QStringLiteral("state"), QStringLiteral("STATE"));
        QCOMPARE(stateBit("on1"), !wasOn);
        QTRY_VERIFY(energizer->fenceOn1 == !wasOn && !energizer->tamperOk);
        QCOMPARE(btnON1->isChecked(), !wasOn);

        // One status request a second throughout.
        const QList<qint64> polls = sim.frames(RX, StatusRequest);
        QVERIFY(polls.size() >= 2);
        const qint64 mean = (polls.last() - polls.first()) / (polls.size() - 1);
        QVERIFY2(mean > 800 && mean < 1300, qPrintable(QString::number(mean)));
        QCOMPARE(sim.count(RX, ConfigRead), 1);

        if (kind == QLatin1String("udp")) {
            // A PIN that does not match keeps the configuration reads coming.
            applySettings(window, [](SettingsDlg& dialog) {
                child<QLineEdit>(&dialog, "edtInstallerPIN")->setText(QStringLiteral("000000"));
            });
            QVERIFY(!btnConfig->isEnabled());
            const qint64 wrongPinAt = now();
            QTRY_VERIFY(sim.count(RX, ConfigRead, wrongPinAt) >= 3);
            QVERIFY(!btnConfig->isEnabled());

            // A new module address: the old one hears nothing more.
            Decoy moved(QStringLiteral("127.0.0.3"), port);
            applySettings(window, [](SettingsDlg& dialog) {
                child<QLineEdit>(&dialog, "edtIP")->setText(QStringLiteral("127.0.0.3"));
            });
            // A round trip through its console: the old module has logged all that reached it.
            QVERIFY(!sim.command(QStringLiteral("state"), QStringLiteral("STATE")).isEmpty());
            const int heardBefore = sim.count(RX, QString());
            QTRY_VERIFY(moved.heard >= 2);
            QCOMPARE(sim.count(RX, QString()), heardBefore);
        } else if (serial) {
            // The adapter goes away and comes back at the same path; the poll cycle reopens it.
            sim.stop();
            QTRY_VERIFY_WITH_TIMEOUT(!serialPort->isOpen(), 500);
            QVERIFY(!energizer->online);
            SimProcess again;
            QVERIFY(!again.start({QStringLiteral("--verbose"), QStringLiteral("--pty"), endpoint}).isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(again.count(RX, StatusRequest) >= 2 && energizer->online, 4500);
            QCOMPARE(portFailures, 1);
            // The text names what was applied.
            chooseSerial(window, endpoint, 0);
            QTRY_COMPARE_WITH_TIMEOUT(statusText(window),
                                      QStringLiteral("Connected to %1 : 9600, 8 bits, No parity, 1 stop, No Flow Control").arg(endpoint), 2500);
        }
        QCOMPARE(otherHost.heard, 0);
        QCOMPARE(defaultPort.heard, 0);
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
