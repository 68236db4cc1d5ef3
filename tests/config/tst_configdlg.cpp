// The configuration dialog's widgets against its record, without a link.
#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/advoptionsdlg.h"
#include "config/configdlg.h"

#include "configtestutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(ConfigBlock)

class TstConfigDlg : public QObject
{
    Q_OBJECT
private slots:
    void defaultBlockShown();
    void updateRecordKeepsBlock_data();
    void updateRecordKeepsBlock();
    void binding_data();
    void binding();
    void choiceWithoutButtonKeepsOldButton();
    void checkBoxesWriteBack_data();
    void checkBoxesWriteBack();
    void pinInput_data();
    void pinInput();
    void unshowablePinKeptUnlessRetyped();
    void defaultAfterReceive();
    void dialogsFitShownSize(); // last: builds the main window, which sets the globals
    void cleanupTestCase();

private:
    std::unique_ptr<MainWindow> window;
};

void TstConfigDlg::defaultBlockShown()
{
    ConfigDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Configuration"));
    QCOMPARE(widget<QTabWidget>(&dlg, "tabWidget")->currentIndex(), 0);
    QVERIFY(widget<QGroupBox>(&dlg, "gbPainc")->isHidden());

    const QStringList checkedBoxes = {"chkMainFailChime", "chkMagSwitch", "chkShowKeyPress", "chkGateChime"};
    const auto boxes = dlg.findChildren<QCheckBox*>();
    QCOMPARE(boxes.size(), 20);
    for (QCheckBox* box : boxes)
        QVERIFY2(box->isChecked() == checkedBoxes.contains(box->objectName()), qPrintable(box->objectName()));

    const QStringList checkedRadios = {
        "rBtnLCD2_good", "rBtnZ1_1", "rBtnZ2_2", "rBtnGateInputFunction0", "rBtnZoneOnOffInputFunction1_0",
        "rBtnZoneOnOffInputToggle1_0", "rBtnZoneHiLoInputFunction1_0", "rBtnZoneHiLoInputToggle1_0",
        "rBtnZoneOnOffInputFunction2_0", "rBtnZoneOnOffInputToggle2_0", "rBtnZoneHiLoInputFunction2_0",
        "rBtnZoneHiLoInputToggle2_0", "rBtnPanicInputFunction0", "rBtnArmRelayFunc0"};
    const auto radios = dlg.findChildren<QRadioButton*>();
    QCOMPARE(radios.size(), 36);
    for (QRadioButton* radio : radios)
        QVERIFY2(radio->isChecked() == checkedRadios.contains(radio->objectName()), qPrintable(radio->objectName()));

    QCOMPARE(widget<QSpinBox>(&dlg, "spnGateAlarmDelay")->value(), 60);
    QCOMPARE(widget<QSpinBox>(&dlg, "spnBigNetworkAddress")->value(), 1);
    QCOMPARE(widget<QComboBox>(&dlg, "cmbExpansionCardConfiguration")->currentText(), QStringLiteral("Configuration 0"));
    QCOMPARE(widget<QLineEdit>(&dlg, "edtInstallerPIN")->text(), QStringLiteral("407318"));
    QCOMPARE(widget<QLineEdit>(&dlg, "edtMasterPIN")->text(), QString::fromLatin1(DefaultMasterPin));
    QCOMPARE(widget<QLineEdit>(&dlg, "edtResetPIN")->text(), QString::fromLatin1(DefaultResetPin));
}

void TstConfigDlg::updateRecordKeepsBlock_data()
{
    QTest::addColumn<ConfigBlock>("block");
    QTest::newRow("default") << defaultConfigBlock();
    QRandomGenerator rng(20261206);
    for (int i = 0; i < 200; ++i)
        QTest::addRow("random %d", i) << blockFittingConfigDlg(rng);
}

void TstConfigDlg::updateRecordKeepsBlock()
{
    QFETCH(ConfigBlock, block);
    ConfigDlg dlg;
    dlg.setConfig(QByteArray(reinterpret_cast<const char*>(block.data()), ConfigBlockSize));
    dlg.updateRecord();
    for (int i = 0; i < ConfigBlockSize; ++i)
        QVERIFY2(dlg.configBlock[i] == block[i], qPrintable(QStringLiteral("byte %1").arg(i)));
}

// A stored value, what its widget shows, and what updateRecord stores back.
void TstConfigDlg::binding_data()
{
    QTest::addColumn<int>("param");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("widgetName");
    QTest::addColumn<int>("shown"); // check state, or value, or current index
    QTest::addColumn<int>("writtenBack");

    QTest::newRow("service alarm 0 is checked") << 4 << 0 << "chkServiceAlarm" << 1 << 0;
    QTest::newRow("service alarm 1 is unchecked") << 4 << 1 << "chkServiceAlarm" << 0 << 1;
    QTest::newRow("tamper alarm 0 is checked") << 5 << 0 << "chkTamperAlarm" << 1 << 0;
    QTest::newRow("silent alarm 1") << 1 << 1 << "chkSilentAlarm" << 1 << 1;
    QTest::newRow("bypass zone 2") << 46 << 1 << "chkFncAlarmBypass2" << 1 << 1;
    QTest::newRow("adapter type 3 as 1") << 73 << 3 << "chkNetworkAdapterType" << 1 << 1;
    QTest::newRow("strobe 2 as combined") << 18 << 2 << "rBtnZ1_12" << 1 << 1;
    QTest::newRow("strobe 3 as combined") << 19 << 3 << "rBtnZ2_12" << 1 << 1;
    QTest::newRow("hidden panic input") << 61 << 1 << "rBtnPanicInputFunction1" << 1 << 1;
    QTest::newRow("gate input 3") << 60 << 3 << "rBtnGateInputFunction3" << 1 << 3;
    QTest::newRow("LCD2 4") << 29 << 4 << "rBtnLCD2_battery" << 1 << 4;
    QTest::newRow("arm relay 2") << 0 << 2 << "rBtnArmRelayFunc2" << 1 << 2;
    QTest::newRow("gate delay 99") << 17 << 99 << "spnGateAlarmDelay" << 99 << 99;
    QTest::newRow("gate delay 100 clamped") << 17 << 100 << "spnGateAlarmDelay" << 99 << 99;
    QTest::newRow("gate delay 255 clamped") << 17 << 255 << "spnGateAlarmDelay" << 99 << 99;
    QTest::newRow("network address 63") << 71 << 63 << "spnBigNetworkAddress" << 63 << 63;
    QTest::newRow("expansion card 2") << 72 << 2 << "cmbExpansionCardConfiguration" << 2 << 2;
    QTest::newRow("expansion card 3 kept") << 72 << 3 << "cmbExpansionCardConfiguration" << -1 << 3;
    QTest::newRow("expansion card 15 kept") << 72 << 15 << "cmbExpansionCardConfiguration" << -1 << 15;
}

void TstConfigDlg::binding()
{
    QFETCH(int, param);
    QFETCH(int, stored);
    QFETCH(QString, widgetName);
    QFETCH(int, shown);
    QFETCH(int, writtenBack);

    ConfigDlg dlg;
    dlg.setParam(param, stored);
    dlg.updateUi();
    QWidget* w = widget<QWidget>(&dlg, widgetName);
    QVERIFY(w);
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        QCOMPARE(int(button->isChecked()), shown);
    else if (auto* spin = qobject_cast<QSpinBox*>(w))
        QCOMPARE(spin->value(), shown);
    else if (auto* combo = qobject_cast<QComboBox*>(w))
        QCOMPARE(combo->currentIndex(), shown);

    const ConfigBlock before = dlg.configBlock;
    dlg.updateRecord();
    QCOMPARE(dlg.getParam(param).toInt(), writtenBack);
    // Nothing else moves.
    ConfigBlock expected = before;
    setParam(expected, param, writtenBack);
    QVERIFY(dlg.configBlock == expected);
}

void TstConfigDlg::choiceWithoutButtonKeepsOldButton()
{
    ConfigDlg dlg;
    dlg.setParam(29, 1);
    dlg.updateUi();
    dlg.setParam(29, 7);
    dlg.updateUi();
    QVERIFY(widget<QRadioButton>(&dlg, "rBtnLCD2_vpeak")->isChecked());
    dlg.updateRecord();
    QCOMPARE(dlg.getParam(29).toInt(), 1);
}

void TstConfigDlg::checkBoxesWriteBack_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("param");
    QTest::addColumn<bool>("inverted");
    QTest::newRow("service") << "chkServiceAlarm" << 4 << true;
    QTest::newRow("tamper") << "chkTamperAlarm" << 5 << true;
    QTest::newRow("mute") << "chkAlarmMute" << 3 << false;
    QTest::newRow("slave") << "chkSlaveEnergizerPresent" << 70 << false;
    QTest::newRow("relays open") << "chkActiveState" << 2 << false;
}

void TstConfigDlg::checkBoxesWriteBack()
{
    QFETCH(QString, box);
    QFETCH(int, param);
    QFETCH(bool, inverted);
    ConfigDlg dlg;
    auto* check = widget<QCheckBox>(&dlg, box);
    QVERIFY(check);
    for (bool checked : {true, false}) {
        check->setChecked(checked);
        dlg.updateRecord();
        QCOMPARE(dlg.getParam(param).toInt(), int(checked != inverted));
    }
}

void TstConfigDlg::pinInput_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("installer seventh digit") << "edtInstallerPIN" << "1234567" << "123456";
    QTest::newRow("master fifth digit") << "edtMasterPIN" << "12345" << "1234";
    QTest::newRow("reset fifth digit") << "edtResetPIN" << "98765" << "9876";
    QTest::newRow("letters") << "edtInstallerPIN" << "1a2B3" << "123";
    QTest::newRow("sign") << "edtMasterPIN" << "+12" << "12";
    QTest::newRow("minus") << "edtMasterPIN" << "-12" << "12";
    QTest::newRow("separators") << "edtInstallerPIN" << "1,234 5.6" << "123456";
    QTest::newRow("leading zero") << "edtResetPIN" << "0042" << "0042";
}

void TstConfigDlg::pinInput()
{
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    ConfigDlg dlg;
    auto* line = widget<QLineEdit>(&dlg, edit);
    QVERIFY(line);
    line->clear();
    QTest::keyClicks(line, typed);
    QCOMPARE(line->text(), kept);
}

// An energizer may hold 0xF nibbles (no PIN set); "1515" shown in the edit
// must not replace them behind the installer's back.
void TstConfigDlg::unshowablePinKeptUnlessRetyped()
{
    ConfigDlg dlg;
    dlg.configBlock[10] = 0xFF;
    dlg.configBlock[11] = 0xF2;
    dlg.updateUi();
    auto* master = widget<QLineEdit>(&dlg, "edtMasterPIN");
    QCOMPARE(master->text(), QStringLiteral("1521"));
    const ConfigBlock shown = dlg.configBlock;
    dlg.updateRecord();
    QVERIFY(dlg.configBlock == shown);

    master->selectAll();
    QTest::keyClicks(master, "4321");
    dlg.updateRecord();
    QCOMPARE(dlg.configBlock[11], quint8(0x43));
    QCOMPARE(dlg.configBlock[10], quint8(0x21));
}

void TstConfigDlg::defaultAfterReceive()
{
    ConfigDlg dlg;
    QRandomGenerator rng(7);
    const ConfigBlock received = blockFittingConfigDlg(rng);
    dlg.setConfig(QByteArray(reinterpret_cast<const char*>(received.data()), ConfigBlockSize));
    QVERIFY(dlg.configReceived);

    dlg.setConfig(QByteArray(ConfigBlockSize - 1, '\x55')); // short: ignored
    QVERIFY(dlg.configBlock == received);

    widget<QAbstractButton>(&dlg, "btnDefault")->click();
    QVERIFY(dlg.configBlock == defaultConfigBlock());
    QVERIFY(dlg.configReceived);
    QCOMPARE(widget<QSpinBox>(&dlg, "spnGateAlarmDelay")->value(), 60);
}

// The main window shows the configuration dialog at 888 x 600 and the advanced
// options at their form's 1090 x 550; with the main window's button style
// sheet and a 9 pt desktop font, neither may need more, or it grows past them.
void TstConfigDlg::dialogsFitShownSize()
{
    QUdpSocket module; // the link goes here, on loopback, and is never answered
    QVERIFY(module.bind(QHostAddress(QHostAddress::LocalHost), 0));
    QFile ini(QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(QStringLiteral("ownIPAddress=\nIPAddress=127.0.0.1\nportNumber=%1\ncomMode=1\nUDP=0\n")
                  .arg(module.localPort())
                  .toLatin1());
    ini.close();

    const QFont startFont = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    window = std::make_unique<MainWindow>();
    pollTimer->stop();
    QVERIFY(!widget<QPushButton>(configDlg, "btnShowAdvOptions")->styleSheet().isEmpty());

    const QSize config = configDlg->minimumSizeHint();
    QVERIFY2(config.width() <= 888 && config.height() <= 600,
             qPrintable(QStringLiteral("%1 x %2").arg(config.width()).arg(config.height())));
    AdvOptionsDlg advanced(configDlg);
    const QSize adv = advanced.minimumSizeHint();
    QVERIFY2(adv.width() <= 1090 && adv.height() <= 550,
             qPrintable(QStringLiteral("%1 x %2").arg(adv.width()).arg(adv.height())));
    QApplication::setFont(startFont);
}

void TstConfigDlg::cleanupTestCase()
{
    window.reset();
}

QTEST_MAIN(TstConfigDlg)
#include "tst_configdlg.moc"
