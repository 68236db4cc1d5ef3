#include "linkharness.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "device/energizer.h"
#include "settings/settingsdlg.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The pseudo-terminal is not listed by the system: its path is typed in.
void chooseSerial(MainWindow& window, const QString& path, int baudIndex = 1)
{
    applySettings(window, [&path, baudIndex](SettingsDlg& dialog) {
        child<QRadioButton>(&dialog, "rbSerial")->setChecked(true);
        child<QComboBox>(&dialog, "serialPortInfoListBox")->setEditText(path);
        child<QComboBox>(&dialog, "baudRateBox")->setCurrentIndex(baudIndex);
    });
}

} // namespace

class TestLinkSerial : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void pseudoTerminal();
};

void TestLinkSerial::init()
{
    if (qEnvironmentVariableIsEmpty("EC_SIM"))
        QSKIP("EC_SIM not set");
}

void TestLinkSerial::pseudoTerminal()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("energizer"));
    Sim sim;
    QVERIFY(sim.start({QStringLiteral("--pty"), path}));

    // Start on a network link to a dead loopback port, then switch to the typed port.
    writeSettingsIni(1, 0, QStringLiteral("127.0.0.1"), unusedUdpPort());
    MainWindow window;
    int portFailures = 0;
    connect(serialPort, &QSerialPort::errorOccurred, this, [&portFailures](QSerialPort::SerialPortError error) {
        // Counted while the port stays open: each one is a turn of a busy loop.
        portFailures += (error == QSerialPort::ReadError || error == QSerialPort::ResourceError) && serialPort->isOpen();
    });

    // No port named at all, then one that does not exist.
    chooseSerial(window, QString());
    QCOMPARE(statusText(window), QStringLiteral("Not available serial ports"));
    QVERIFY(!serialPort->isOpen());
    chooseSerial(window, dir.filePath(QStringLiteral("missing")));
    QVERIFY(statusText(window).startsWith(QLatin1String("Connection failed. ")));
    QVERIFY(!serialPort->isOpen());
    QVERIFY(!energizer->online);

    chooseSerial(window, path);
    QVERIFY(serialPort->isOpen());

    // A port without modem lines is used: configuration request at once, then polls.
    auto* btnConfig = child<QPushButton>(&window, "btnConfig");
    QTRY_VERIFY_WITH_TIMEOUT(btnConfig->isEnabled(), 800);
    QCOMPARE(sim.firstFrame(QStringLiteral("RX")), Wire::ConfigRead);
    QTRY_VERIFY_WITH_TIMEOUT(energizer->online && sim.count(QStringLiteral("RX"), Wire::StatusRequest) >= 2, 2600);
    QCOMPARE(statusText(window),
             QStringLiteral("Connected to %1 : 19200, 8 bits, No parity, 1 stop, No Flow Control").arg(path));

    // A zone click goes out on the line; the next status sets the button.
    auto* btnHV2 = child<QPushButton>(&window, "btnHV2");
    const bool wasHigh = energizer->fenceHv2;
    btnHV2->click();
    QTRY_VERIFY_WITH_TIMEOUT(sim.count(QStringLiteral("RX"), Wire::ZoneCommand) == 1, 300);
    QTRY_VERIFY_WITH_TIMEOUT(energizer->fenceHv2 == !wasHigh, 1600);
    QCOMPARE(btnHV2->isChecked(), !wasHigh);

    // The energizer side disappears: the port is closed at the first error.
    sim.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!serialPort->isOpen(), 500);
    QVERIFY(!energizer->online);
    QTest::qWait(300);
    QCOMPARE(portFailures, 1);

    // It comes back at the same path; the poll cycle reopens the port.
    Sim again;
    QVERIFY(again.start({QStringLiteral("--pty"), path}));
    QTRY_VERIFY_WITH_TIMEOUT(energizer->online, 3500);
    QTRY_VERIFY_WITH_TIMEOUT(again.count(QStringLiteral("RX"), Wire::StatusRequest) >= 1, 1500);

    // The text names what was applied.
    chooseSerial(window, path, 0);
    QTRY_VERIFY_WITH_TIMEOUT(again.count(QStringLiteral("RX"), Wire::ConfigRead) >= 1, 1500);
    QTRY_COMPARE_WITH_TIMEOUT(statusText(window),
                              QStringLiteral("Connected to %1 : 9600, 8 bits, No parity, 1 stop, No Flow Control").arg(path),
                              2500);
    QCOMPARE(serialPort->baudRate(), 9600);
}

QTEST_MAIN(TestLinkSerial)
#include "tst_link_serial.moc"
