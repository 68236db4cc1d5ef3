// The configuration dialog, its advanced options and its files, without a link.
#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/advoptionsdlg.h"
#include "config/configdlg.h"
#include "testsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QUdpSocket>
#include <QMessageBox>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>

Q_DECLARE_METATYPE(ConfigBlock)

namespace {

// Widget of a dialog by object name; warns when missing.
template <class T>
T* widget(QWidget* dialog, const QString& name)
{
    T* w = dialog->findChild<T*>(name);
    if (!w)
        qWarning("no widget %s", qPrintable(name));
    return w;
}

// Random bytes, with the parameters whose configuration dialog widget shows
// fewer values than their field limited to what it shows.
ConfigBlock blockFittingConfigDlg(QRandomGenerator& rng)
{
    ConfigBlock block;
    for (quint8& b : block)
        b = static_cast<quint8>(rng.bounded(256));
    const struct { int param, max; } limits[] = {{29, 4}, {0, 2},  {18, 1}, {19, 1}, {17, 99}, {61, 1},
                                                 {60, 3}, {62, 2}, {63, 2}, {64, 1}, {65, 1},  {66, 1},
                                                 {67, 1}, {68, 1}, {69, 1}, {72, 2}, {73, 1}};
    for (const auto& l : limits)
        setParam(block, l.param, static_cast<int>(rng.bounded(l.max + 1)));
    for (const auto& [param, digits] : {std::pair{20, 6}, {21, 4}, {22, 4}})
        setParam(block, param, QString::number(rng.bounded(int(std::pow(10, digits)))).rightJustified(digits, '0'));
    return block;
}

// Runs action on the next modal dialog once it is shown (from inside its exec()).
void onNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

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


const QString Untitled = QStringLiteral("Configuration");

QString titleFor(const QString& path)
{
    return QStringLiteral("Energizer Configurator 1.0.31 ") + path;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QVariantList allParams(const ConfigDlg& dlg)
{
    QVariantList values;
    for (int i = 0; i < ParamCount; ++i)
        values.append(dlg.getParam(i));
    return values;
}

// The saved default configuration, written out by hand.
QByteArray defaultFileText()
{
    const auto group = [](const char* name, const QByteArray& values) {
        QByteArray text = QByteArray("  <") + name + ">\n";
        for (const QByteArray& pair : values.split(' '))
            text += "    <" + pair.left(pair.indexOf('=')) + " value=\"" + pair.mid(pair.indexOf('=') + 1) + "\"/>\n";
        return text + "  </" + name + ">\n";
    };
    const QByteArray zone = "FncInterferenceAlarm=1 FncAlmByps=0 StrgCapMaxAlldPwr=476 FncAlmDelay=3 "
                            "FncConditionChckLvl=4 FncArcingDtctTreshold=22 FncArcingDtctFilter=2 "
                            "FncArcingReleaseFilter=10 FncControlMethod=1 FncStateAtPowerOn=2 "
                            "FncHighVltgChkThreshold=3910 FncHighVltgAlrmThreshold=2890 FncLowVltgAlrmThreshold=680 "
                            "FncLowPwrVltg=1360 FncHighPwrVltg=8160";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuration Company=\"Ravlin (Pty) Ltd\">\n"
        + group("Options", QByteArray("LCD1=15 LCD2=0 SilentAlrm=0 ActiveState=0 AlmMute=0 ServiceAlrm=1 TamperAlrm=1 "
                                      "MagSwitch=1 Solar=0 ServiceTelNo=0 ShowKeyPress=1 AlrmSensor=0 MainFailChime=1 "
                                      "PassiveSync=0 GateAlarmByps=0 GateAlarmInst=0 GateChime=1 GateChimeClose=0 "
                                      "GateAlarmDelay=60 Z1StrobeRlyFunc=0 Z2StrobeRlyFunc=0 InstallerPIN=407318 "
                                      "MasterPIN=") + DefaultMasterPin + " ResetPIN=" + DefaultResetPin
                               + " ArmRelayFunc=0 AlarmOnTime=120 AlarmOffTime=180 AlarmRearmTimeLow=192 "
                                 "AlarmRearmTimeHigh=33 EventsBeforeRearm=3")
        + group("ZoneConfiguration1", zone) + group("ZoneConfiguration2", zone)
        + group("Inputs", "GateInputFunction=0 PanicInputFunction=0 ZoneOnOffInputFunction1=0 "
                          "ZoneOnOffInputFunction2=0 ZoneHiLoInputFunction1=0 ZoneHiLoInputFunction2=0 "
                          "ZoneOnOffInputToggle1=0 ZoneOnOffInputToggle2=0 ZoneHiLoInputToggle1=0 ZoneHiLoInputToggle2=0")
        + group("Network", "SlaveEnergizerPresent=0 BigNetworkAddress=1 ExpansionCardConfiguration=0 NetworkAdapterType=0")
        + "</Configuration>\n";
}

// Refuses writes past 256 bytes in this process while alive.
struct FileSizeLimit
{
    rlimit saved{};
    FileSizeLimit()
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{256, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
};

} // namespace

class TstConfigDlg : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void defaultBlockShown();
    void roundTrip_data();
    void roundTrip();
    void binding_data();
    void binding();
    void pinInput_data();
    void pinInput();
    void unshowablePinKeptUnlessRetyped();
    void advDefaultShown();
    void advOkWithoutChangesKeepsBlock_data();
    void advOkWithoutChangesKeepsBlock();
    void advStoredValues_data();
    void advStoredValues();
    void advTypedValues_data();
    void advTypedValues();
    void defaultTextAndSuffix_data();
    void defaultTextAndSuffix();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void malformedLoadChangesNothing_data();
    void malformedLoadChangesNothing();
    void dialogsFitShownSize(); // last: builds the main window, which sets the globals

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString path(const QString& name) const { return dir->filePath(name); }
    QStringList entries() const { return QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
};

void TstConfigDlg::init()
{
    QCoreApplication::setApplicationName(QStringLiteral("Energizer Configurator"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.31"));
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

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

void TstConfigDlg::roundTrip_data()
{
    QTest::addColumn<ConfigBlock>("block");
    QTest::newRow("default") << defaultConfigBlock();
    QRandomGenerator rng(20261206);
    for (int i = 0; i < 100; ++i)
        QTest::addRow("random %d", i) << blockFittingConfigDlg(rng);
}

// Widgets and back leave all 52 bytes; a file and back all 74 values.
void TstConfigDlg::roundTrip()
{
    QFETCH(ConfigBlock, block);
    ConfigDlg saver;
    saver.setConfig(QByteArray(reinterpret_cast<const char*>(block.data()), ConfigBlockSize));
    saver.setConfig(QByteArray(ConfigBlockSize - 1, '\x55')); // short: ignored
    saver.updateRecord();
    for (int i = 0; i < ConfigBlockSize; ++i)
        QVERIFY2(saver.configBlock[i] == block[i], qPrintable(QStringLiteral("byte %1").arg(i)));

    saver.askSaveFileName = [this] { return path("round.xml"); };
    saver.writeToFile();
    ConfigDlg loader;
    loader.askOpenFileName = [this] { return path("round.xml"); };
    loader.loadFromFile();
    QCOMPARE(loader.windowTitle(), titleFor(path("round.xml")));
    QCOMPARE(allParams(loader), allParams(saver));
    QCOMPARE(widget<QSpinBox>(&loader, "spnGateAlarmDelay")->value(), saver.getParam(17).toInt());
}

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

void TstConfigDlg::advDefaultShown()
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

void TstConfigDlg::advOkWithoutChangesKeepsBlock_data()
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

void TstConfigDlg::advOkWithoutChangesKeepsBlock()
{
    QFETCH(ConfigBlock, block);
    ConfigDlg dlg;
    dlg.configBlock = block;
    runAdvOptions(dlg, true);
    for (int i = 0; i < ConfigBlockSize; ++i)
        QVERIFY2(dlg.configBlock[i] == block[i], qPrintable(QStringLiteral("byte %1").arg(i)));
}

// A stored value, how it shows, and what "OK" without changes stores.
void TstConfigDlg::advStoredValues_data()
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

void TstConfigDlg::advStoredValues()
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

void TstConfigDlg::advTypedValues_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

// Typed values are stored on "OK" only, and no re-arm time whose count does not fit 16 bits.
void TstConfigDlg::advTypedValues()
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

void TstConfigDlg::defaultTextAndSuffix_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no suffix") << "setup" << "setup.xml";
    QTest::newRow("upper-case suffix") << "SETUP.XML" << "SETUP.XML";
    QTest::newRow("other suffix") << "setup.txt" << "setup.txt.xml";
    QTest::newRow("suffix inside") << "setup.xml.bak" << "setup.xml.bak.xml";
}

void TstConfigDlg::defaultTextAndSuffix()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    ConfigDlg dlg;
    dlg.askSaveFileName = [&] { return path(chosen); };
    dlg.writeToFile();
    QCOMPARE(entries(), QStringList{written});
    QCOMPARE(readAll(path(written)), defaultFileText());
    QCOMPARE(dlg.windowTitle(), titleFor(path(written)));
}

void TstConfigDlg::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("sizeLimit");
    // Runs as root in CI, so permissions cannot make a directory unwritable.
    QTest::newRow("directory is a file") << "plain/setup.xml" << false;
    QTest::newRow("name is a directory") << "folder.xml" << false;
    QTest::newRow("disk refuses the write") << "setup.xml" << true;
}

void TstConfigDlg::failedSaveKeepsOldFile()
{
    QFETCH(QString, target);
    QFETCH(bool, sizeLimit);
    const QByteArray old = "<Configuration>old</Configuration>\n";
    QVERIFY(writeAll(path("plain"), old) && writeAll(path("setup.xml"), old) && QDir(dir->path()).mkdir("folder.xml"));
    const QStringList entriesBefore = entries();

    ConfigDlg dlg;
    dlg.askSaveFileName = [&] { return path(target); };
    QString boxTitle;
    onNextModal([&](QWidget* box) {
        boxTitle = box->windowTitle();
        box->close();
    });
    {
        std::unique_ptr<FileSizeLimit> limit(sizeLimit ? new FileSizeLimit : nullptr);
        dlg.writeToFile();
    }
    QCOMPARE(boxTitle, QStringLiteral("File writting error"));
    QCOMPARE(readAll(path("setup.xml")), old);
    QCOMPARE(readAll(path("plain")), old);
    QCOMPARE(entries(), entriesBefore);
    QCOMPARE(dlg.windowTitle(), Untitled);
}

void TstConfigDlg::malformedLoadChangesNothing_data()
{
    QTest::addColumn<QString>("chosen"); // empty: dialog cancelled
    QTest::addColumn<QByteArray>("content"); // null: no such file
    QTest::newRow("cancelled") << "" << QByteArray();
    QTest::newRow("missing file") << "bad.xml" << QByteArray();
    QTest::newRow("not XML") << "bad.xml" << QByteArray("GateAlarmDelay=5\n");
    QTest::newRow("cut short") << "bad.xml" << defaultFileText().left(700);
    QTest::newRow("foreign XML") << "bad.xml" << QByteArray("<Setup><Options><LCD2 value=\"1\"/></Options></Setup>");
}

void TstConfigDlg::malformedLoadChangesNothing()
{
    QFETCH(QString, chosen);
    QFETCH(QByteArray, content);
    QVERIFY(content.isNull() || writeAll(path(chosen), content));
    ConfigDlg dlg;
    QRandomGenerator rng(5);
    dlg.configBlock = blockFittingConfigDlg(rng);
    dlg.updateUi();
    const ConfigBlock before = dlg.configBlock;
    const int shownDelay = widget<QSpinBox>(&dlg, "spnGateAlarmDelay")->value();

    dlg.askOpenFileName = [&] { return chosen.isEmpty() ? chosen : path(chosen); };
    QString boxText;
    if (!chosen.isEmpty()) {
        onNextModal([&](QWidget* box) {
            boxText = static_cast<QMessageBox*>(box)->text();
            box->close();
        });
    }
    dlg.loadFromFile();
    // Refused with the file's name and a reason, never silently.
    QCOMPARE(boxText.startsWith(QDir::toNativeSeparators(path(chosen)) + QStringLiteral(" was not loaded.\n")),
             !chosen.isEmpty());
    QVERIFY(dlg.configBlock == before);
    QCOMPARE(widget<QSpinBox>(&dlg, "spnGateAlarmDelay")->value(), shownDelay);
    QCOMPARE(dlg.windowTitle(), Untitled);
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
