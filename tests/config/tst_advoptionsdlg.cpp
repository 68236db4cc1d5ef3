// The advanced options dialog, run from the configuration dialog's button.
#include "config/advoptionsdlg.h"
#include "config/configdlg.h"

#include "configdlgtestutil.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QtTest>

namespace {

// Opens the advanced options from dlg, lets edit change the widgets, then
// presses OK or Cancel.
void runAdvOptions(ConfigDlg& dlg, bool ok, std::function<void(QWidget*)> edit = {})
{
    onNextModal([ok, edit](QWidget* adv) {
        if (edit)
            edit(adv);
        widget<QAbstractButton>(adv, ok ? "btnOK" : "btnCancel")->click();
    });
    widget<QAbstractButton>(&dlg, "btnShowAdvOptions")->click();
}

// Parameter 25 stands for the whole re-arm count: low byte 25, high byte 26.
constexpr int Rearm = 25;

int paramValue(const ConfigDlg& dlg, int index)
{
    return dlg.getParam(index).toInt() + (index == Rearm ? 256 * dlg.getParam(26).toInt() : 0);
}

void setParamValue(ConfigDlg& dlg, int index, int value)
{
    dlg.setParam(index, index == Rearm ? value % 256 : value);
    if (index == Rearm)
        dlg.setParam(26, value / 256);
}

// Time, value or check state.
QVariant shownValue(QWidget* w)
{
    return w->metaObject()->userProperty().read(w);
}

// Visible widgets clamp, so only blocks whose values they can show survive
// "OK" unchanged; the hidden ones must take any value of their field.
ConfigBlock blockFittingAdvOptions(QRandomGenerator& rng)
{
    ConfigBlock block;
    for (quint8& b : block)
        b = static_cast<quint8>(rng.bounded(256));
    // A multiple of step within lo..hi.
    auto pick = [&rng](int lo, int hi, int step = 1) {
        lo = (lo + step - 1) / step;
        return step * (lo + static_cast<int>(rng.bounded(hi / step - lo + 1)));
    };
    const int rearm = pick(0, 65535, 6);
    for (const auto& [param, value] :
         {std::pair{23, pick(0, 250)}, {24, pick(0, 250)}, {25, rearm % 256}, {26, rearm / 256}})
        setParam(block, param, value);
    // Alarm delay, condition level, control method, state at power on, then
    // the voltages (steps of 170 V) within their spin boxes.
    const struct { int offset, lo, hi, step; } fields[] = {{3, 1, 15, 1}, {4, 3, 6, 1}, {8, 0, 1, 1}, {9, 0, 2, 1},
        {10, 3000, 6000, 170}, {11, 2000, 5000, 170}, {12, 500, 1500, 170}, {13, 900, 1900, 170}, {14, 6000, 9700, 170}};
    for (int first : {30, 45})
        for (const auto& f : fields)
            setParam(block, first + f.offset, pick(f.lo, f.hi, f.step));
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
    void typedValues_data();
    void typedValues();
};

void TstAdvOptionsDlg::defaultShown()
{
    const QList<QPair<QString, QVariant>> zone = {
        {"chkFncInterferenceAlarm%1", true},   {"spnFncAlmDelay%1", 3},
        {"rBtnFncStateAtPowerOn%1_3", true},   {"rBtnCondLvl%1_4", true},
        {"rBtnFncControlMethod%1_2", true},    {"spnFncLowPwrVltg%1", 1360},
        {"spnFncHighPwrVltg%1", 8160},         {"spnFncLowVltgAlrmThreshold%1", 680},
        {"spnFncHighVltgAlrmThreshold%1", 2890}, {"spnFncHighVltgChkThreshold%1", 3910},
        {"spnStrgCapMaxAlldPwr%1", 475.8}};
    const QList<QPair<QString, QVariant>> siren = {
        {"teSirenOn", QTime(0, 2, 0)},  {"teSirenOff", QTime(0, 3, 0)}, {"spnEventsBeforeRearm", 3},
        {"spnDaySirenReArm", 1},        {"teSirenReArm", QTime(0, 0)}};
    ConfigDlg dlg;
    runAdvOptions(dlg, false, [&](QWidget* adv) {
        for (int z : {1, 2}) {
            for (const auto& [name, value] : zone)
                QVERIFY2(shownValue(widget<QWidget>(adv, name.arg(z))) == value, qPrintable(name.arg(z)));
            QVERIFY(widget<QWidget>(adv, QStringLiteral("spnStrgCapMaxAlldPwr%1").arg(z))->isHidden());
        }
        for (const auto& [name, value] : siren)
            QVERIFY2(shownValue(widget<QWidget>(adv, name)) == value, qPrintable(name));
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
    for (int i = 0; i < 60; ++i)
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

    QTest::newRow("off time 255 at maximum") << 24 << 255 << "teSirenOff" << QVariant(QTime(0, 4, 10)) << 250;
    QTest::newRow("alarm delay 0 as 1") << 48 << 0 << "spnFncAlmDelay2" << QVariant(1) << 1;
    QTest::newRow("condition level 7: none") << 49 << 7 << "rBtnCondLvl2_6" << QVariant(false) << 7;
    QTest::newRow("low power 2040 clamped") << 58 << 2040 << "spnFncLowPwrVltg2" << QVariant(1900) << 1870;
    QTest::newRow("hidden threshold 120") << 50 << 120 << "spnFncArcingDtctTreshold2" << QVariant(120) << 120;
    QTest::newRow("re-arm 1000 units drop 40 s") << Rearm << 1000 << "teSirenReArm" << QVariant(QTime(2, 46)) << 996;
    QTest::newRow("re-arm largest count") << Rearm << 65535 << "spnDaySirenReArm" << QVariant(7) << 65532;
}

void TstAdvOptionsDlg::storedValues()
{
    QFETCH(int, param);
    QFETCH(int, stored);
    QFETCH(QString, widgetName);
    QFETCH(QVariant, shown);
    QFETCH(int, afterOk);

    ConfigDlg dlg;
    setParamValue(dlg, param, stored);
    QVariant seen;
    runAdvOptions(dlg, true, [&](QWidget* adv) { seen = shownValue(widget<QWidget>(adv, widgetName)); });
    QCOMPARE(seen, shown);
    QCOMPARE(paramValue(dlg, param), afterOk);
}

void TstAdvOptionsDlg::typedValues_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

// Typed values are stored on "OK" only, and no re-arm time whose count does not fit 16 bits.
void TstAdvOptionsDlg::typedValues()
{
    QFETCH(bool, ok);
    ConfigDlg dlg;
    const ConfigBlock before = dlg.configBlock;
    runAdvOptions(dlg, ok, [](QWidget* adv) {
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
        widget<QTimeEdit>(adv, "teSirenOn")->setTime(QTime(0, 2, 5));
        widget<QCheckBox>(adv, "chkFncInterferenceAlarm2")->setChecked(false);
        widget<QRadioButton>(adv, "rBtnCondLvl1_6")->setChecked(true);
    });
    if (!ok) {
        QVERIFY(dlg.configBlock == before);
        return;
    }
    QCOMPARE(paramValue(dlg, Rearm), (7 * 1440 + 14 * 60 + 2) * 6);
    QCOMPARE(paramValue(dlg, 23), 125);
    QCOMPARE(paramValue(dlg, 45), 0);
    QCOMPARE(paramValue(dlg, 34), 6);
}

QTEST_MAIN(TstAdvOptionsDlg)
#include "tst_advoptionsdlg.moc"
