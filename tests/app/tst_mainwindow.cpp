#include "app/globals.h"
#include "app/mainwindow.h"
#include "device/energizer.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

namespace {

// Every stone of the panel and the flag it shows (green when true).
const QVector<QPair<const char*, bool Energizer::*>> stoneFlags = {
    {"lblMagneticSwitch", &Energizer::magneticSwitchOk},
    {"lblTamper", &Energizer::tamperOk},
    {"lblSyncMaster", &Energizer::syncMaster},
    {"lblSyncLoss", &Energizer::syncOk},
    {"lblService", &Energizer::serviceOk},
    {"lblAux", &Energizer::auxFuseOk},
    {"lblGateAlarm", &Energizer::gateAlarmOk},
    {"lblPanicAlarm", &Energizer::panicAlarmOk},
    {"lblMainsFail", &Energizer::mainsOk},
    {"lblBatteryFuse", &Energizer::batteryFuseOk},
    {"lblBatteryFlat", &Energizer::batteryFlatOk},
    {"lblCommStatus", &Energizer::online},
    {"lblON1", &Energizer::fenceOn1},
    {"lblHV1", &Energizer::fenceHv1},
    {"lblON2", &Energizer::fenceOn2},
    {"lblHV2", &Energizer::fenceHv2},
    {"lblVout1", &Energizer::voutOk1},
    {"lblSCR1", &Energizer::scrOk1},
    {"lblFlyback1", &Energizer::flybackOk1},
    {"lblInterference1", &Energizer::interferenceOk1},
    {"lblVout2", &Energizer::voutOk2},
    {"lblSCR2", &Energizer::scrOk2},
    {"lblFlyback2", &Energizer::flybackOk2},
    {"lblInterference2", &Energizer::interferenceOk2},
    {"lbl_I_Gate", &Energizer::gateInputOk},
    {"lbl_I_ON1", &Energizer::on1Input},
    {"lbl_I_ON2", &Energizer::on2Input},
    {"lbl_I_Panic", &Energizer::panicInputOk},
    {"lbl_I_HV1", &Energizer::hv1Input},
    {"lbl_I_HV2", &Energizer::hv2Input},
    {"lblStrobe1", &Energizer::strobe1Ok},
    {"lblStrobe2", &Energizer::strobe2Ok},
    {"lblSirene", &Energizer::sirenOk},
};

QImage normalized(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

enum class Stone { None, Red, Green, Other };

const char* stoneName(Stone s)
{
    switch (s) {
    case Stone::Red: return "red";
    case Stone::Green: return "green";
    case Stone::None: return "none";
    default: return "other";
    }
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void startState();
    void everyStoneFollowsItsFlag();
    void numbersInLocale_data();
    void numbersInLocale();
    void zoneButtonsMirrorWithoutSendingCommands();

private:
    template <typename T>
    T* widget(const char* name) const
    {
        T* w = window->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("missing widget %s", name);
        return w;
    }
    Stone stoneOf(const char* name) const;

    QUdpSocket module; // stands in for the network module on loopback
    MainWindow* window = nullptr;
    QImage red, green;
    QLocale startLocale;
};

void TestMainWindow::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("Energizer Configurator"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.31"));
    QVERIFY(module.bind(QHostAddress(QHostAddress::LocalHost), 0));

    QFile ini(QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(QStringLiteral("ownIPAddress=\nIPAddress=127.0.0.1\nportNumber=%1\ncomMode=1\nUDP=0\n")
                  .arg(module.localPort())
                  .toLatin1());
    ini.close();

    window = new MainWindow;
    // No replies come, so keep the poll timer from resetting the panel mid-test.
    pollTimer->stop();
    red = normalized(QPixmap(QStringLiteral(":/images/redStone.png")).toImage());
    green = normalized(QPixmap(QStringLiteral(":/images/greenStone.png")).toImage());
    QVERIFY(!red.isNull() && !green.isNull());
    QVERIFY(red != green);
}

void TestMainWindow::cleanupTestCase()
{
    delete window;
    QLocale::setDefault(startLocale);
}

void TestMainWindow::init()
{
    QLocale::setDefault(startLocale);
    energizer->reset();
}

Stone TestMainWindow::stoneOf(const char* name) const
{
    const QPixmap* pixmap = widget<QLabel>(name)->pixmap();
    if (!pixmap || pixmap->isNull())
        return Stone::None;
    const QImage image = normalized(pixmap->toImage());
    return image == red ? Stone::Red : image == green ? Stone::Green : Stone::Other;
}

void TestMainWindow::startState()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Energizer Configurator v1.0.31"));
    QVERIFY(!widget<QPushButton>("btnConfig")->isEnabled());
    QVERIFY(widget<QPushButton>("btnScope")->isEnabled());

    for (const auto& stone : stoneFlags) {
        QVERIFY2(stoneOf(stone.first) == Stone::Red, stone.first);
        auto* label = widget<QLabel>(stone.first);
        QCOMPARE(label->maximumSize(), QSize(16, 16));
        QVERIFY(label->hasScaledContents());
    }
    QCOMPARE(widget<QLineEdit>("edtStatus1")->text(), QStringLiteral("Bad"));
    QCOMPARE(widget<QLineEdit>("edtStatus2")->text(), QStringLiteral("Bad"));
    for (const char* name : {"edtOVoltage1", "edtRVoltage1", "edtCVoltage1", "edtOVoltage2", "edtRVoltage2",
                             "edtCVoltage2", "edtBatteryVoltage", "edtSupplyVoltage", "edtStatus1"}) {
        QVERIFY2(widget<QLineEdit>(name)->isReadOnly(), name);
    }
    for (const char* name : {"btnON1", "btnHV1", "btnON2", "btnHV2"}) {
        QVERIFY2(widget<QPushButton>(name)->isCheckable(), name);
        QVERIFY2(!widget<QPushButton>(name)->isChecked(), name);
    }
    for (const char* name : {"pbFence1", "pbFence2"}) {
        auto* bar = widget<QProgressBar>(name);
        QVERIFY(bar->inherits("ColoredProgressBar"));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 9);
        QCOMPARE(bar->value(), 0);
    }

    // Exit closes the window; reopen it for the rest.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    widget<QAction>("actExit")->trigger();
    QVERIFY(!window->isVisible());
}

void TestMainWindow::everyStoneFollowsItsFlag()
{
    // One flag at a time: its own stone turns green and no other does.
    for (const auto& lit : stoneFlags) {
        energizer->reset();
        energizer->*(lit.second) = true;
        emit energizer->paramChanged();
        for (const auto& stone : stoneFlags) {
            const Stone expected = stone.first == lit.first ? Stone::Green : Stone::Red;
            const Stone got = stoneOf(stone.first);
            if (got != expected)
                QFAIL(qPrintable(QStringLiteral("%1 set: %2 shows %3").arg(lit.first, stone.first,
                                                                             stoneName(got))));
        }
    }
}

void TestMainWindow::numbersInLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("battery");
    QTest::addColumn<QString>("supply");

    // The six zone voltages ignore the locale; battery and supply follow it.
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "13.6" << "1,234.6";
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << "13,6" << "1.234,6";
}

void TestMainWindow::numbersInLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, battery);
    QFETCH(QString, supply);
    QLocale::setDefault(locale);

    energizer->outputVoltage1 = 5000.0;
    energizer->outputVoltage2 = 6.25;
    energizer->returnVoltage1 = 1593.75;
    energizer->returnVoltage2 = 1234567.0;
    energizer->capVoltage1 = 0.1 + 0.2;
    energizer->capVoltage2 = -12.5;
    energizer->batteryVoltage = 13.625;
    energizer->supplyVoltage = 1234.56;
    energizer->fenceCondition1 = QStringLiteral("Good");
    energizer->fenceCondition2 = QString();
    energizer->fenceLevel1 = 4;
    energizer->fenceLevel2 = 9;
    emit energizer->paramChanged();

    QCOMPARE(widget<QLineEdit>("edtOVoltage1")->text(), QStringLiteral("5000"));
    QCOMPARE(widget<QLineEdit>("edtOVoltage2")->text(), QStringLiteral("6.25"));
    QCOMPARE(widget<QLineEdit>("edtRVoltage1")->text(), QStringLiteral("1593.75"));
    QCOMPARE(widget<QLineEdit>("edtRVoltage2")->text(), QStringLiteral("1.23457e+06"));
    QCOMPARE(widget<QLineEdit>("edtCVoltage1")->text(), QStringLiteral("0.3"));
    QCOMPARE(widget<QLineEdit>("edtCVoltage2")->text(), QStringLiteral("-12.5"));
    QCOMPARE(widget<QLineEdit>("edtBatteryVoltage")->text(), battery);
    QCOMPARE(widget<QLineEdit>("edtSupplyVoltage")->text(), supply);
    QCOMPARE(widget<QLineEdit>("edtStatus1")->text(), QStringLiteral("Good"));
    QCOMPARE(widget<QLineEdit>("edtStatus2")->text(), QString());
    QCOMPARE(widget<QProgressBar>("pbFence1")->value(), 4);
    QCOMPARE(widget<QProgressBar>("pbFence2")->value(), 9);

    // A reset brings the start look back, whatever came before.
    energizer->reset();
    QCOMPARE(widget<QLineEdit>("edtOVoltage2")->text(), QStringLiteral("0"));
    QCOMPARE(widget<QLineEdit>("edtBatteryVoltage")->text(), locale.toString(0.0, 'f', 1));
    QCOMPARE(widget<QLineEdit>("edtStatus2")->text(), QStringLiteral("Bad"));
    QCOMPARE(widget<QProgressBar>("pbFence2")->value(), 0);
}

void TestMainWindow::zoneButtonsMirrorWithoutSendingCommands()
{
    const auto zoneCommandsReceived = [this] {
        int count = 0;
        QTest::qWait(300);
        while (module.hasPendingDatagrams()) {
            const QByteArray data = module.receiveDatagram().data();
            if (data.size() == 7 && quint8(data.at(2)) == 0x05)
                ++count;
        }
        return count;
    };
    zoneCommandsReceived(); // drop what the start-up sent

    struct Zones { bool on1, hv1, on2, hv2; };
    for (const Zones z : {Zones{true, false, false, true}, Zones{false, true, true, false},
                          Zones{true, true, true, true}, Zones{false, false, false, false}}) {
        energizer->fenceOn1 = z.on1;
        energizer->fenceHv1 = z.hv1;
        energizer->fenceOn2 = z.on2;
        energizer->fenceHv2 = z.hv2;
        emit energizer->paramChanged();
        QCOMPARE(widget<QPushButton>("btnON1")->isChecked(), z.on1);
        QCOMPARE(widget<QPushButton>("btnHV1")->isChecked(), z.hv1);
        QCOMPARE(widget<QPushButton>("btnON2")->isChecked(), z.on2);
        QCOMPARE(widget<QPushButton>("btnHV2")->isChecked(), z.hv2);
    }
    QCOMPARE(zoneCommandsReceived(), 0);

    // A user's click does send one, over the same loopback link.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::mouseClick(widget<QPushButton>("btnON2"), Qt::LeftButton);
    QCOMPARE(zoneCommandsReceived(), 1);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
