// The advanced options dialog, run from the configuration dialog's button.
#include "config/advoptionsdlg.h"
#include "config/configdlg.h"

#include "configtestutil.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(ConfigBlock)

namespace {

// Opens the advanced options from dlg, lets edit change the widgets, then
// presses OK or Cancel.
void runAdvOptions(ConfigDlg& dlg, bool ok, std::function<void(QWidget*)> edit = {})
{
    clickOnNextModal(ok ? "btnOK" : "btnCancel", std::move(edit));
    widget<QAbstractButton>(&dlg, "btnShowAdvOptions")->click();
}

int rearmUnits(const ConfigDlg& dlg)
{
    return dlg.getParam(26).toInt() * 256 + dlg.getParam(25).toInt();
}

void setRearmUnits(ConfigDlg& dlg, int units)
{
    dlg.setParam(26, units / 256);
    dlg.setParam(25, units % 256);
}

// Visible widgets clamp, so only blocks whose values they can show survive
// "OK" unchanged; the hidden ones must take any value of their field.
ConfigBlock blockFittingAdvOptions(QRandomGenerator& rng)
{
    ConfigBlock block;
    for (quint8& b : block)
        b = static_cast<quint8>(rng.bounded(256));
    auto pick = [&rng](int lo, int hi) { return lo + static_cast<int>(rng.bounded(hi - lo + 1)); };
    setParam(block, 23, pick(0, 250));
    setParam(block, 24, pick(0, 250));
    const int units = 6 * pick(0, 65535 / 6);
    setParam(block, 26, units / 256);
    setParam(block, 25, units % 256);
    for (int first : {30, 45}) {
        setParam(block, first + 3, pick(1, 15));  // alarm delay
        setParam(block, first + 4, pick(3, 6));   // condition level
        setParam(block, first + 8, pick(0, 1));   // control method
        setParam(block, first + 9, pick(0, 2));   // state at power on
        // Voltage bytes whose volts (byte * 170) lie inside the spin box.
        const struct { int offset, lo, hi; } volts[] = {
            {10, 3000, 6000}, {11, 2000, 5000}, {12, 500, 1500}, {13, 900, 1900}, {14, 6000, 9700}};
        for (const auto& v : volts)
            setParam(block, first + v.offset, 170 * pick(int(std::ceil(v.lo / 170.0)), v.hi / 170));
    }
    return block;
}

} // namespace

class TstAdvOptionsDlg : public QObject
{
    Q_OBJECT
private slots:
    void defaultShown();
    void okWithoutChangesKeepsBlock_data();
    void okWithoutChangesKeepsBlock();
    void storedValues_data();
    void storedValues();
    void edits_data();
    void edits();
    void rearmLimitedToSixteenBits();
    void cancelKeepsBlock();
};

void TstAdvOptionsDlg::defaultShown()
{
    ConfigDlg dlg;
    runAdvOptions(dlg, false, [](QWidget* adv) {
        QVERIFY(qobject_cast<AdvOptionsDlg*>(adv));
        for (char z : {'1', '2'}) {
            const QString n(z);
            QVERIFY(widget<QCheckBox>(adv, "chkFncInterferenceAlarm" + n)->isChecked());
            QCOMPARE(widget<QSpinBox>(adv, "spnFncAlmDelay" + n)->value(), 3);
            QVERIFY(widget<QRadioButton>(adv, "rBtnFncStateAtPowerOn" + n + "_3")->isChecked());
            QVERIFY(widget<QRadioButton>(adv, "rBtnCondLvl" + n + "_4")->isChecked());
            QVERIFY(widget<QRadioButton>(adv, "rBtnFncControlMethod" + n + "_2")->isChecked());
            QCOMPARE(widget<QSpinBox>(adv, "spnFncLowPwrVltg" + n)->value(), 1360);
            QCOMPARE(widget<QSpinBox>(adv, "spnFncHighPwrVltg" + n)->value(), 8160);
            QCOMPARE(widget<QSpinBox>(adv, "spnFncLowVltgAlrmThreshold" + n)->value(), 680);
            QCOMPARE(widget<QSpinBox>(adv, "spnFncHighVltgAlrmThreshold" + n)->value(), 2890);
            QCOMPARE(widget<QSpinBox>(adv, "spnFncHighVltgChkThreshold" + n)->value(), 3910);
            QCOMPARE(widget<QDoubleSpinBox>(adv, "spnStrgCapMaxAlldPwr" + n)->value(), 475.8);
            QVERIFY(widget<QDoubleSpinBox>(adv, "spnStrgCapMaxAlldPwr" + n)->isHidden());
        }
        QCOMPARE(widget<QTimeEdit>(adv, "teSirenOn")->time(), QTime(0, 2, 0));
        QCOMPARE(widget<QTimeEdit>(adv, "teSirenOff")->time(), QTime(0, 3, 0));
        QCOMPARE(widget<QSpinBox>(adv, "spnEventsBeforeRearm")->value(), 3);
        QCOMPARE(widget<QSpinBox>(adv, "spnDaySirenReArm")->value(), 1);
        QCOMPARE(widget<QTimeEdit>(adv, "teSirenReArm")->time(), QTime(0, 0));
    });
}

void TstAdvOptionsDlg::okWithoutChangesKeepsBlock_data()
{
    QTest::addColumn<ConfigBlock>("block");
    QTest::newRow("default") << defaultConfigBlock();
    ConfigBlock extremes = defaultConfigBlock();
    for (int first : {30, 45}) {
        setParam(extremes, first + 2, 994.5); // storage capacitor byte 255
        setParam(extremes, first + 5, 127);   // arcing threshold
        setParam(extremes, first + 6, 7);     // arcing filter
        setParam(extremes, first + 7, 31);    // release filter
    }
    QTest::newRow("hidden at their limits") << extremes;
    QRandomGenerator rng(4242);
    for (int i = 0; i < 100; ++i)
        QTest::addRow("random %d", i) << blockFittingAdvOptions(rng);
}

void TstAdvOptionsDlg::okWithoutChangesKeepsBlock()
{
    QFETCH(ConfigBlock, block);
    ConfigDlg dlg;
    dlg.configBlock = block;
    runAdvOptions(dlg, true);
    for (int i = 0; i < ConfigBlockSize; ++i)
        QVERIFY2(dlg.configBlock[i] == block[i], qPrintable(QStringLiteral("byte %1").arg(i)));
}

// A stored value, how it shows, and what "OK" without changes stores.
void TstAdvOptionsDlg::storedValues_data()
{
    QTest::addColumn<int>("param");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("widgetName");
    QTest::addColumn<QVariant>("shown");
    QTest::addColumn<int>("afterOk");

    QTest::newRow("on time 90") << 23 << 90 << "teSirenOn" << QVariant(QTime(0, 1, 30)) << 90;
    QTest::newRow("off time 255 at maximum") << 24 << 255 << "teSirenOff" << QVariant(QTime(0, 4, 10)) << 250;
    QTest::newRow("alarm delay 0 as 1") << 48 << 0 << "spnFncAlmDelay2" << QVariant(1) << 1;
    QTest::newRow("condition level 2: none") << 34 << 2 << "rBtnCondLvl1_3" << QVariant(false) << 2;
    QTest::newRow("condition level 7: none") << 49 << 7 << "rBtnCondLvl2_6" << QVariant(false) << 7;
    QTest::newRow("power-on state 3: none") << 54 << 3 << "rBtnFncStateAtPowerOn2_3" << QVariant(false) << 3;
    QTest::newRow("interference off") << 45 << 0 << "chkFncInterferenceAlarm2" << QVariant(false) << 0;
    QTest::newRow("low power 1530") << 43 << 1530 << "spnFncLowPwrVltg1" << QVariant(1530) << 1530;
    QTest::newRow("low power 2040 clamped") << 58 << 2040 << "spnFncLowPwrVltg2" << QVariant(1900) << 1870;
    QTest::newRow("hidden threshold 120") << 50 << 120 << "spnFncArcingDtctTreshold2" << QVariant(120) << 120;
}

void TstAdvOptionsDlg::storedValues()
{
    QFETCH(int, param);
    QFETCH(int, stored);
    QFETCH(QString, widgetName);
    QFETCH(QVariant, shown);
    QFETCH(int, afterOk);

    ConfigDlg dlg;
    dlg.setParam(param, stored);
    QVariant seen;
    runAdvOptions(dlg, true, [&](QWidget* adv) {
        QWidget* w = widget<QWidget>(adv, widgetName);
        if (auto* time = qobject_cast<QTimeEdit*>(w))
            seen = time->time();
        else if (auto* spin = qobject_cast<QSpinBox*>(w))
            seen = spin->value();
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            seen = button->isChecked();
    });
    QCOMPARE(seen, shown);
    QCOMPARE(dlg.getParam(param).toInt(), afterOk);
}

// Siren times as typed and the counts they store.
void TstAdvOptionsDlg::edits_data()
{
    QTest::addColumn<int>("storedUnits");
    QTest::addColumn<int>("shownDays");
    QTest::addColumn<QTime>("shownTime");
    QTest::addColumn<int>("days");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("units");

    // -1 days: leave the widgets as shown.
    QTest::newRow("1000 units drop 40 s") << 1000 << 0 << QTime(2, 46) << -1 << QTime() << 996;
    QTest::newRow("largest count") << 65535 << 7 << QTime(14, 2) << -1 << QTime() << 65532;
    QTest::newRow("zero") << 0 << 0 << QTime(0, 0) << -1 << QTime() << 0;
    QTest::newRow("1 day 00:01") << 8640 << 1 << QTime(0, 0) << 1 << QTime(0, 1) << (1440 + 1) * 6;
    QTest::newRow("6 days 23:59") << 8640 << 1 << QTime(0, 0) << 6 << QTime(23, 59) << (6 * 1440 + 23 * 60 + 59) * 6;
    QTest::newRow("7 days 14:02") << 8640 << 1 << QTime(0, 0) << 7 << QTime(14, 2) << 65532;
}

void TstAdvOptionsDlg::edits()
{
    QFETCH(int, storedUnits);
    QFETCH(int, shownDays);
    QFETCH(QTime, shownTime);
    QFETCH(int, days);
    QFETCH(QTime, time);
    QFETCH(int, units);

    ConfigDlg dlg;
    setRearmUnits(dlg, storedUnits);
    int seenDays = -1;
    QTime seenTime;
    runAdvOptions(dlg, true, [&](QWidget* adv) {
        seenDays = widget<QSpinBox>(adv, "spnDaySirenReArm")->value();
        seenTime = widget<QTimeEdit>(adv, "teSirenReArm")->time();
        if (days >= 0) {
            widget<QSpinBox>(adv, "spnDaySirenReArm")->setValue(days);
            widget<QTimeEdit>(adv, "teSirenReArm")->setTime(time);
        }
        widget<QTimeEdit>(adv, "teSirenOn")->setTime(QTime(0, 2, 5));
    });
    QCOMPARE(seenDays, shownDays);
    QCOMPARE(seenTime, shownTime);
    QCOMPARE(rearmUnits(dlg), units);
    QCOMPARE(dlg.getParam(23).toInt(), 125);
}

// No way of entering a re-arm time whose count does not fit 16 bits.
void TstAdvOptionsDlg::rearmLimitedToSixteenBits()
{
    ConfigDlg dlg;
    runAdvOptions(dlg, true, [](QWidget* adv) {
        auto* days = widget<QSpinBox>(adv, "spnDaySirenReArm");
        auto* time = widget<QTimeEdit>(adv, "teSirenReArm");
        time->setTime(QTime(23, 59));
        days->setValue(7);
        QCOMPARE(time->time(), QTime(14, 2));
        time->setTime(QTime(20, 0));
        QCOMPARE(time->time(), QTime(14, 2));
        days->setValue(99);
        QCOMPARE(days->value(), 7);
        // Leaving the last day lifts the limit again.
        days->setValue(6);
        time->setTime(QTime(23, 59));
        QCOMPARE(time->time(), QTime(23, 59));
        days->setValue(7);
    });
    QCOMPARE(rearmUnits(dlg), 65532);
}

void TstAdvOptionsDlg::cancelKeepsBlock()
{
    ConfigDlg dlg;
    const ConfigBlock before = dlg.configBlock;
    runAdvOptions(dlg, false, [](QWidget* adv) {
        widget<QTimeEdit>(adv, "teSirenOn")->setTime(QTime(0, 0, 5));
        widget<QSpinBox>(adv, "spnDaySirenReArm")->setValue(5);
        widget<QSpinBox>(adv, "spnFncHighPwrVltg1")->setValue(9700);
        widget<QCheckBox>(adv, "chkFncInterferenceAlarm2")->setChecked(false);
        widget<QRadioButton>(adv, "rBtnCondLvl1_6")->setChecked(true);
    });
    QVERIFY(dlg.configBlock == before);
}

QTEST_MAIN(TstAdvOptionsDlg)
#include "tst_advoptionsdlg.moc"
