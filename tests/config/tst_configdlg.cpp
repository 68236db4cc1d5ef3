// The configuration dialog's widgets against its record, without a link.
#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/advoptionsdlg.h"
#include "config/configdlg.h"

#include "configdlgtestutil.h"
#include "testsettings.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QUdpSocket>
#include <QtTest>

class TstConfigDlg : public QObject
{
    Q_OBJECT
private slots:
    void defaultBlockShown();
    void updateRecordKeepsBlock_data();
    void updateRecordKeepsBlock();
    void binding_data();
    void binding();
    void pinInput_data();
    void pinInput();
    void unshowablePinKeptUnlessRetyped();
    void dialogsFitShownSize(); // last: builds the main window, which sets the globals
};

void TstConfigDlg::defaultBlockShown()
{
    ConfigDlg dlg;
    QCOMPARE(widget<QTabWidget>(&dlg, "tabWidget")->currentIndex(), 0);
    QVERIFY(widget<QWidget>(&dlg, "gbPainc")->isHidden());

    const QStringList checked = {"chkMainFailChime", "chkMagSwitch", "chkShowKeyPress", "chkGateChime",
        "rBtnLCD2_good", "rBtnZ1_1", "rBtnZ2_2", "rBtnGateInputFunction0", "rBtnZoneOnOffInputFunction1_0",
        "rBtnZoneOnOffInputToggle1_0", "rBtnZoneHiLoInputFunction1_0", "rBtnZoneHiLoInputToggle1_0",
        "rBtnZoneOnOffInputFunction2_0", "rBtnZoneOnOffInputToggle2_0", "rBtnZoneHiLoInputFunction2_0",
        "rBtnZoneHiLoInputToggle2_0", "rBtnPanicInputFunction0", "rBtnArmRelayFunc0"};
    const auto buttons = dlg.findChildren<QAbstractButton*>(QRegularExpression("^(chk|rBtn)"));
    QCOMPARE(buttons.size(), 20 + 36);
    for (QAbstractButton* button : buttons)
        QVERIFY2(button->isChecked() == checked.contains(button->objectName()), qPrintable(button->objectName()));

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
    for (int i = 0; i < 100; ++i)
        QTest::addRow("random %d", i) << blockFittingConfigDlg(rng);
}

void TstConfigDlg::updateRecordKeepsBlock()
{
    QFETCH(ConfigBlock, block);
    ConfigDlg dlg;
    dlg.setConfig(QByteArray(reinterpret_cast<const char*>(block.data()), ConfigBlockSize));
    dlg.setConfig(QByteArray(ConfigBlockSize - 1, '\x55')); // short: ignored
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
    QTest::newRow("tamper alarm 1 is unchecked") << 5 << 1 << "chkTamperAlarm" << 0 << 1;
    QTest::newRow("strobe 2 as combined") << 18 << 2 << "rBtnZ1_12" << 1 << 1;
    QTest::newRow("hidden panic input") << 61 << 1 << "rBtnPanicInputFunction1" << 1 << 1;
    QTest::newRow("LCD2 4") << 29 << 4 << "rBtnLCD2_battery" << 1 << 4;
    QTest::newRow("LCD2 7 keeps the shown button") << 29 << 7 << "rBtnLCD2_good" << 1 << 0;
    QTest::newRow("gate delay 100 clamped") << 17 << 100 << "spnGateAlarmDelay" << 99 << 99;
    QTest::newRow("expansion card 3 kept") << 72 << 3 << "cmbExpansionCardConfiguration" << -1 << 3;
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
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        QCOMPARE(int(button->isChecked()), shown);
    else if (auto* spin = qobject_cast<QSpinBox*>(w))
        QCOMPARE(spin->value(), shown);
    else
        QCOMPARE(qobject_cast<QComboBox*>(w)->currentIndex(), shown);

    ConfigBlock expected = dlg.configBlock; // nothing else moves
    setParam(expected, param, writtenBack);
    dlg.updateRecord();
    QVERIFY(dlg.configBlock == expected);
}

void TstConfigDlg::pinInput_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("installer seventh digit") << "edtInstallerPIN" << "1234567" << "123456";
    QTest::newRow("letters") << "edtInstallerPIN" << "1a2B3" << "123";
    QTest::newRow("sign") << "edtMasterPIN" << "+12" << "12";
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
    line->clear();
    QTest::keyClicks(line, typed);
    QCOMPARE(line->text(), kept);
}

// An energizer may hold 0xF nibbles (no PIN set); "1521" shown in the edit
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

// The main window shows the configuration dialog at 888 x 600 and the advanced
// options at their form's 1090 x 550; with the main window's button style
// sheet and a 9 pt desktop font, neither may need more.
void TstConfigDlg::dialogsFitShownSize()
{
    QUdpSocket module; // the link's target, never answered
    QVERIFY(module.bind(QHostAddress(QHostAddress::LocalHost), 0));
    writeSettingsIni(QStringLiteral("127.0.0.1"), module.localPort());
    QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    MainWindow window;
    pollTimer->stop();
    QVERIFY(!widget<QPushButton>(configDlg, "btnShowAdvOptions")->styleSheet().isEmpty());

    const QSize config = configDlg->minimumSizeHint();
    const QSize adv = AdvOptionsDlg(configDlg).minimumSizeHint();
    const QString sizes = QStringLiteral("%1 x %2, %3 x %4").arg(config.width()).arg(config.height());
    QVERIFY2(config.boundedTo({888, 600}) == config && adv.boundedTo({1090, 550}) == adv,
             qPrintable(sizes.arg(adv.width()).arg(adv.height())));
}

QTEST_MAIN(TstConfigDlg)
#include "tst_configdlg.moc"
