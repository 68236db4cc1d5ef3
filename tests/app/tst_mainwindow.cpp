#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/configdlg.h"
#include "device/energizer.h"
#include "settings/settingsdlg.h"
#include "testsettings.h"

#include <QAction>
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
    {"lblMagneticSwitch", &Energizer::magneticSwitchOk}, {"lblTamper", &Energizer::tamperOk},
    {"lblSyncMaster", &Energizer::syncMaster}, {"lblSyncLoss", &Energizer::syncOk},
    {"lblService", &Energizer::serviceOk}, {"lblAux", &Energizer::auxFuseOk},
    {"lblGateAlarm", &Energizer::gateAlarmOk}, {"lblPanicAlarm", &Energizer::panicAlarmOk},
    {"lblMainsFail", &Energizer::mainsOk}, {"lblBatteryFuse", &Energizer::batteryFuseOk},
    {"lblBatteryFlat", &Energizer::batteryFlatOk}, {"lblCommStatus", &Energizer::online},
    {"lblON1", &Energizer::fenceOn1}, {"lblHV1", &Energizer::fenceHv1},
    {"lblON2", &Energizer::fenceOn2}, {"lblHV2", &Energizer::fenceHv2},
    {"lblVout1", &Energizer::voutOk1}, {"lblSCR1", &Energizer::scrOk1},
    {"lblFlyback1", &Energizer::flybackOk1}, {"lblInterference1", &Energizer::interferenceOk1},
    {"lblVout2", &Energizer::voutOk2}, {"lblSCR2", &Energizer::scrOk2},
    {"lblFlyback2", &Energizer::flybackOk2}, {"lblInterference2", &Energizer::interferenceOk2},
    {"lbl_I_Gate", &Energizer::gateInputOk}, {"lbl_I_ON1", &Energizer::on1Input},
    {"lbl_I_ON2", &Energizer::on2Input}, {"lbl_I_Panic", &Energizer::panicInputOk},
    {"lbl_I_HV1", &Energizer::hv1Input}, {"lbl_I_HV2", &Energizer::hv2Input},
    {"lblStrobe1", &Energizer::strobe1Ok}, {"lblStrobe2", &Energizer::strobe2Ok},
    {"lblSirene", &Energizer::sirenOk},
};

QImage image(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Energizer Configurator"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0.31"));
        QVERIFY(module.bind(QHostAddress(QHostAddress::LocalHost), 0));
        writeSettingsIni(QStringLiteral("127.0.0.1"), module.localPort());

        window = new MainWindow;
        // No replies come, so keep the poll timer from resetting the panel mid-test.
        pollTimer->stop();
        red = image(QPixmap(QStringLiteral(":/images/redStone.png")));
        green = image(QPixmap(QStringLiteral(":/images/greenStone.png")));
        QVERIFY(!red.isNull() && red != green);
    }

    void cleanupTestCase()
    {
        delete window;
        QLocale::setDefault(startLocale);
    }

    void init()
    {
        QLocale::setDefault(startLocale);
        energizer->reset();
    }

    void startState()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral("Energizer Configurator v1.0.31"));
        QVERIFY(!widget<QPushButton>("btnConfig")->isEnabled());
        QCOMPARE(stones(), QString(stoneFlags.size(), 'R'));
        QCOMPARE(text("edtStatus1"), QStringLiteral("Bad"));
        QCOMPARE(text("edtStatus2"), QStringLiteral("Bad"));
        QVERIFY(widget<QProgressBar>("pbFence1")->inherits("ColoredProgressBar"));
        QVERIFY(widget<QProgressBar>("pbFence2")->inherits("ColoredProgressBar"));
    }

    void configButtonSaysWhyItIsDisabled()
    {
        auto* config = widget<QPushButton>("btnConfig");
        QVERIFY(config->toolTip().contains(QLatin1String("No configuration")));
        const auto receive = [](const char* pin) {
            ConfigBlock block = defaultConfigBlock();
            setParam(block, 20, QString::fromLatin1(pin));
            configDlg->setConfig(QByteArray(reinterpret_cast<const char*>(block.data()), ConfigBlockSize));
        };
        receive("111111");
        window->checkInstallerPin();
        QVERIFY(!config->isEnabled());
        QVERIFY(config->toolTip().contains(QLatin1String("Installer PIN")));
        receive(DefaultInstallerPin);
        window->checkInstallerPin();
        QVERIFY(config->isEnabled());
        QVERIFY(config->toolTip().isEmpty());
        // The PIN as typed: a leading zero makes it another PIN. Applying reopens the link, which checks again.
        auto* settings = window->findChild<SettingsDlg*>();
        settings->findChild<QLineEdit*>(QStringLiteral("edtInstallerPIN"))->setText(QStringLiteral("0407318"));
        QTimer::singleShot(0, settings->findChild<QPushButton*>(QStringLiteral("btnApply")), &QPushButton::click);
        widget<QAction>("actSerialParams")->trigger();
        QVERIFY(!config->isEnabled());
    }

    void everyStoneFollowsItsFlag()
    {
        // One flag at a time: its own stone turns green and no other does.
        for (int i = 0; i < stoneFlags.size(); ++i) {
            energizer->reset();
            energizer->*(stoneFlags[i].second) = true;
            emit energizer->paramChanged();
            QString expected(stoneFlags.size(), 'R');
            expected[i] = 'G';
            const QString shown = stones();
            QVERIFY2(shown == expected, qPrintable(QLatin1String(stoneFlags[i].first) + " set: " + shown));
        }
    }

    void numbersInLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("battery");
        QTest::addColumn<QString>("supply");

        // The six zone voltages ignore the locale; battery and supply follow it.
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "13.6" << "1,234.6";
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << "13,6" << "1.234,6";
    }

    void numbersInLocale()
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

        const QStringList got{text("edtOVoltage1"), text("edtOVoltage2"), text("edtRVoltage1"), text("edtRVoltage2"),
                              text("edtCVoltage1"), text("edtCVoltage2"), text("edtBatteryVoltage"),
                              text("edtSupplyVoltage"), text("edtStatus1"), text("edtStatus2")};
        QCOMPARE(got, QStringList({"5000", "6.25", "1593.75", "1.23457e+06", "0.3", "-12.5", battery, supply,
                                   "Good", ""}));
        QCOMPARE(widget<QProgressBar>("pbFence1")->value(), 4);
        QCOMPARE(widget<QProgressBar>("pbFence2")->value(), 9);

        // A reset brings the start look back, whatever came before.
        energizer->reset();
        QCOMPARE(text("edtBatteryVoltage"), locale.toString(0.0, 'f', 1));
        QCOMPARE(text("edtStatus2"), QStringLiteral("Bad"));
        QCOMPARE(widget<QProgressBar>("pbFence2")->value(), 0);
    }

    void zoneButtonsMirrorWithoutSendingCommands()
    {
        const auto zoneCommandsReceived = [this] {
            int count = 0;
            QTest::qWait(300);
            while (module.hasPendingDatagrams()) {
                const QByteArray data = module.receiveDatagram().data();
                count += data.size() == 7 && quint8(data.at(2)) == 0x05;
            }
            return count;
        };
        zoneCommandsReceived(); // drop what the start-up sent

        const QPair<const char*, bool Energizer::*> zones[] = {{"btnON1", &Energizer::fenceOn1},
            {"btnHV1", &Energizer::fenceHv1}, {"btnON2", &Energizer::fenceOn2}, {"btnHV2", &Energizer::fenceHv2}};
        for (int pattern : {0b1001, 0b0110, 0}) {
            for (int i = 0; i < 4; ++i)
                energizer->*(zones[i].second) = pattern >> i & 1;
            emit energizer->paramChanged();
            for (int i = 0; i < 4; ++i)
                QVERIFY2(widget<QPushButton>(zones[i].first)->isChecked() == bool(pattern >> i & 1), zones[i].first);
        }
        QCOMPARE(zoneCommandsReceived(), 0);

        // A user's click does send one, over the same loopback link.
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::mouseClick(widget<QPushButton>("btnON2"), Qt::LeftButton);
        QCOMPARE(zoneCommandsReceived(), 1);
    }

private:
    template <typename T>
    T* widget(const char* name) const
    {
        T* w = window->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("missing widget %s", name);
        return w;
    }
    QString text(const char* lineEdit) const { return widget<QLineEdit>(lineEdit)->text(); }
    // One letter per stone: R red, G green, - none, ? anything else.
    QString stones() const
    {
        QString letters;
        for (const auto& stone : stoneFlags) {
            const QImage shown = image(widget<QLabel>(stone.first)->pixmap(Qt::ReturnByValue));
            letters += shown.isNull() ? '-' : shown == red ? 'R' : shown == green ? 'G' : '?';
        }
        return letters;
    }

    QUdpSocket module; // stands in for the network module on loopback
    MainWindow* window = nullptr;
    QImage red, green;
    QLocale startLocale;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
