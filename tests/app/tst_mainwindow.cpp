// The main window: the CONFIG button and its PIN check, the panel's numbers,
// and the zone buttons, against a loopback module that never answers.
#include "app/globals.h"
#include "app/mainwindow.h"
#include "widgets/configdlg.h"
#include "services/configmodel.h"
#include "protocol/energizer.h"
#include "widgets/settingsdlg.h"
#include "testsettings.h"

#include <QAction>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {
QStringList logged;
void keepMessage(QtMsgType, const QMessageLogContext&, const QString& message) { logged << message; }
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(module.bind(QHostAddress(QHostAddress::LocalHost), 0));
        writeSettingsIni(QStringLiteral("127.0.0.1"), module.localPort());
        window = std::make_unique<MainWindow>();
        // No replies come, so keep the poll timer from resetting the panel mid-test.
        pollTimer->stop();
    }

    void init()
    {
        QLocale::setDefault(startLocale);
        energizer->reset();
    }

    void configButtonSaysWhyItIsDisabled()
    {
        auto* config = widget<QPushButton>("btnConfig");
        QVERIFY(!config->isEnabled());
        QVERIFY(config->toolTip().contains(QLatin1String("No configuration")));
        const auto receive = [this](const char* pin) {
            ConfigBlock block = defaultConfigBlock();
            setParam(block, 20, QString::fromLatin1(pin));
            window->configModel().setReply(QByteArray(reinterpret_cast<const char*>(block.data()), ConfigBlockSize));
            window->checkInstallerPin();
        };
        receive("111111");
        QVERIFY(!config->isEnabled());
        QVERIFY(config->toolTip().contains(QLatin1String("Installer PIN")));
        receive(DefaultInstallerPin);
        QVERIFY(config->isEnabled());
        QVERIFY(config->toolTip().isEmpty());
        // The PIN as typed: a leading zero makes it another PIN. Applying reopens the link, which checks again.
        auto* settings = window->findChild<SettingsDlg*>();
        settings->findChild<QLineEdit*>(QStringLiteral("edtInstallerPIN"))->setText(QStringLiteral("0407318"));
        QTimer::singleShot(0, settings->findChild<QPushButton*>(QStringLiteral("btnApply")), &QPushButton::click);
        widget<QAction>("actSerialParams")->trigger();
        QVERIFY(!config->isEnabled());
    }

    // The PIN typed in the settings unlocks CONFIG only when it is the
    // energizer's exactly: not a longer PIN that starts with or contains
    // it, nor its first digits. The trace says whether they match, never the digits.
    void installerPinMustMatchExactly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("unlocks");
        QTest::newRow("the same") << QString::fromLatin1(DefaultInstallerPin) << true;
        QTest::newRow("starts with it") << QStringLiteral("4073185") << false;
        QTest::newRow("contains it") << QStringLiteral("94073185") << false;
        QTest::newRow("its first digits") << QStringLiteral("4073") << false;
    }

    void installerPinMustMatchExactly()
    {
        QFETCH(QString, typed);
        QFETCH(bool, unlocks);
        auto* settings = window->findChild<SettingsDlg*>();
        settings->findChild<QLineEdit*>(QStringLiteral("edtInstallerPIN"))->setText(typed);
        QTimer::singleShot(0, settings->findChild<QPushButton*>(QStringLiteral("btnApply")), &QPushButton::click);
        widget<QAction>("actSerialParams")->trigger();
        QCOMPARE(settings->settings().installerPin, typed);
        ConfigBlock block = defaultConfigBlock();
        setParam(block, 20, QString::fromLatin1(DefaultInstallerPin));
        window->configModel().setReply(QByteArray(reinterpret_cast<const char*>(block.data()), ConfigBlockSize));
        logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
        window->checkInstallerPin();
        qInstallMessageHandler(previous);
        QCOMPARE(widget<QPushButton>("btnConfig")->isEnabled(), unlocks);
        QVERIFY(!logged.isEmpty());
        for (const QString& line : qAsConst(logged))
            QVERIFY2(!line.contains(QLatin1String("4073")), qPrintable(line));
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
        energizer->fenceLevel2 = 9;
        emit energizer->paramChanged();
        QStringList got;
        for (const char* edit : {"edtOVoltage1", "edtOVoltage2", "edtRVoltage1", "edtRVoltage2", "edtCVoltage1",
                                 "edtCVoltage2", "edtBatteryVoltage", "edtSupplyVoltage"})
            got << widget<QLineEdit>(edit)->text();
        QCOMPARE(got, QStringList({"5000", "6.25", "1593.75", "1.23457e+06", "0.3", "-12.5", battery, supply}));
        QCOMPARE(widget<QProgressBar>("pbFence2")->value(), 9);
    }

    // The buttons follow the zones without sending commands; a click sends one.
    void zoneButtonsMirrorWithoutSendingCommands()
    {
        const auto zoneCommands = [this] {
            int count = 0;
            while (module.hasPendingDatagrams()) {
                const QByteArray data = module.receiveDatagram().data();
                count += data.size() == 7 && quint8(data.at(2)) == 0x05;
            }
            return count;
        };
        zoneCommands(); // drop what the start-up sent

        const QPair<const char*, bool Energizer::*> zones[] = {{"btnON1", &Energizer::fenceOn1},
            {"btnHV1", &Energizer::fenceHv1}, {"btnON2", &Energizer::fenceOn2}, {"btnHV2", &Energizer::fenceHv2}};
        for (int pattern : {0b1001, 0b0110, 0}) {
            for (int i = 0; i < 4; ++i)
                energizer->*(zones[i].second) = pattern >> i & 1;
            emit energizer->paramChanged();
            for (int i = 0; i < 4; ++i)
                QVERIFY2(widget<QPushButton>(zones[i].first)->isChecked() == bool(pattern >> i & 1), zones[i].first);
        }

        // Loopback delivers in order, so a command sent by mistake above
        // arrives before the click's and makes the count more than one.
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTest::mouseClick(widget<QPushButton>("btnON2"), Qt::LeftButton);
        int sent = 0;
        QTRY_VERIFY((sent += zoneCommands()) > 0);
        QCOMPARE(sent, 1);
    }

private:
    template <typename T>
    T* widget(const char* name) const
    {
        T* w = window->findChild<T*>(QLatin1String(name));
        return w ? w : (qFatal("missing widget %s", name), nullptr);
    }

    QUdpSocket module; // stands in for the network module on loopback
    std::unique_ptr<MainWindow> window;
    QLocale startLocale;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
