// The window's dialogs without a link: the configuration dialog, its advanced
// options and its files; the connection settings and setting.ini; the level
// bar; the timeline and the trend.
#include "widgets/coloredprogressbar.h"
#include "widgets/configdlg.h"
#include "widgets/historydlg.h"
#include "widgets/settingsdlg.h"
#include "widgets/timelinemodel.h"
#include "widgets/trenddlg.h"
#include "services/configpush.h"
#include "services/historykeeper.h"
#include "services/timelinetext.h"
#include "testsettings.h"
#include "services/configmodel.h"
#include "services/configtransfer.h"
#include "protocol/configxml.h"
#include "link/energizerbus.h"
#include "link/station.h"

#include <qwt_plot.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

Q_DECLARE_METATYPE(ConfigBlock)

namespace {

template <class T = QWidget>
T* widget(QWidget* dialog, const QString& name)
{
    T* w = dialog->findChild<T*>(name);
    return w ? w : (qFatal("no widget %s", qPrintable(name)), nullptr);
}

// Parameter 25 stands for the whole re-arm count: low byte 25, high byte 26.
constexpr int Rearm = 25;

void setValue(ConfigBlock& block, int index, int value)
{
    setParam(block, index, index == Rearm ? value % 256 : value);
    if (index == Rearm)
        setParam(block, 26, value / 256);
}

// Random bytes, with the parameters whose widgets show fewer values than
// their field holds limited to what the widgets show; the advanced options'
// hidden widgets must take any value of their field.
ConfigBlock blockFittingWidgets(QRandomGenerator& rng)
{
    ConfigBlock block;
    for (quint8& b : block)
        b = static_cast<quint8>(rng.bounded(256));
    // A multiple of step within lo..hi.
    auto pick = [&rng](int lo, int hi, int step = 1) {
        lo = (lo + step - 1) / step;
        return step * (lo + static_cast<int>(rng.bounded(hi / step - lo + 1)));
    };
    const struct { int param, max; } limits[] = {{29, 4}, {0, 2},  {18, 1}, {19, 1}, {17, 99}, {61, 1},
                                                 {60, 3}, {62, 2}, {63, 2}, {64, 1}, {65, 1},  {66, 1},
                                                 {67, 1}, {68, 1}, {69, 1}, {72, 2}, {73, 1}, {23, 250}, {24, 250}};
    for (const auto& l : limits)
        setParam(block, l.param, pick(0, l.max));
    for (const auto& [param, digits] : {std::pair{20, 6}, {21, 4}, {22, 4}})
        setParam(block, param, QString::number(rng.bounded(1000000) + 1000000).right(digits));
    setValue(block, Rearm, pick(0, 65535, 6));
    // Per zone: alarm delay, condition level, control method, state at power
    // on, then the voltages (steps of 170 V) within their spin boxes.
    const struct { int offset, lo, hi, step; } fields[] = {{3, 1, 15, 1}, {4, 3, 6, 1}, {8, 0, 1, 1}, {9, 0, 2, 1},
        {10, 3000, 6000, 170}, {11, 2000, 5000, 170}, {12, 500, 1500, 170}, {13, 900, 1900, 170}, {14, 6000, 9700, 170}};
    for (int first : {30, 45})
        for (const auto& f : fields)
            setParam(block, first + f.offset, pick(f.lo, f.hi, f.step));
    return block;
}

// Runs action on the next modal dialog from inside its exec(), the first
// event loop to run.
void onNextModal(std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, [action] { action(QApplication::activeModalWidget()); });
}

// Opens the advanced options from dlg, lets edit change the widgets, then
// presses OK or Cancel.
void runAdvOptions(ConfigDlg& dlg, bool ok, std::function<void(QWidget*)> edit)
{
    onNextModal([ok, edit](QWidget* adv) {
        edit(adv);
        widget<QAbstractButton>(adv, ok ? "btnOK" : "btnCancel")->click();
    });
    widget<QAbstractButton>(&dlg, "btnShowAdvOptions")->click();
}

// The dialog on its own block and a station whose bus is never opened.
struct Dialog
{
    EnergizerBus bus;
    Station station{bus, 1, nullptr};
    ConfigTransfer transfer{station};
    ConfigModel model;
    ConfigDlg dlg{model, station, transfer, nullptr, QString()};

    void change(const std::function<void(ConfigBlock&)>& edit)
    {
        ConfigBlock block = model.block();
        edit(block);
        model.setBlock(block);
    }
};

// Time, value or check state.
QVariant shownValue(QWidget* w) { return w->metaObject()->userProperty().read(w); }

// Each widget named after a parameter (the forms use the file's element
// names, zone parameters with the zone's number) shows that parameter;
// counts the parameters so shown.
void checkNamedWidgets(QWidget* dialog, const ConfigBlock& block, int& named)
{
    for (int i = 0; i < ParamCount; ++i) {
        const QString name = paramInfo(i)->name + (i >= 30 && i < 60 ? QString::number(i < 45 ? 1 : 2) : QString());
        const double value = getParam(block, i).toDouble();
        for (QWidget* w : dialog->findChildren<QWidget*>(QRegularExpression("^(chk|spn|edt)" + name + '$'))) {
            ++named;
            QVERIFY2(qAbs(shownValue(w).toDouble() - value) < 0.05, qPrintable(name));
        }
        // Radio buttons stand for 0, 1, 2, ... in the order of their names.
        auto buttons = dialog->findChildren<QAbstractButton*>(QRegularExpression("^rBtn" + name + "_?\\d$"));
        std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->objectName() < b->objectName(); });
        named += !buttons.isEmpty();
        for (int k = 0; k < buttons.size(); ++k)
            QVERIFY2(buttons[k]->isChecked() == (k == value), qPrintable(name));
    }
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}



QString iniPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini");
}

// "key=value" of every stored key, sorted by key.
QStringList iniLines()
{
    QSettings ini(iniPath(), QSettings::IniFormat);
    QStringList lines;
    for (const QString& key : ini.allKeys())
        lines << key + QLatin1Char('=') + ini.value(key).toString();
    lines.sort();
    return lines;
}

// The own address the dialog falls back to, found here independently.
QString firstOwnAddress()
{
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && a.toString() != QLatin1String("127.0.0.1"))
            return a.toString();
    return {};
}

QStringList values(const Settings& s)
{
    QStringList list;
    for (const QVariant& v : QVariantList{s.comMode, s.netMode, s.ipAddress, s.ownIpAddress, s.portNumber,
                                          s.installerPin, s.energizerAddress, s.portName, s.baudRate, s.parity,
                                          s.stopBits, s.flowControl, s.parityText, s.stopBitsText})
        list << v.toString();
    return list;
}

} // namespace

class TstConfigDlg : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    QString path(const QString& name) const { return dir->filePath(name); }
    QStringList entries() const { return QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
    static QByteArray bytes(const ConfigBlock& block) { return QByteArray(reinterpret_cast<const char*>(block.data()), ConfigBlockSize); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QFile::remove(iniPath());
    }
    void cleanupTestCase() { QFile::remove(iniPath()); }

    void widgetsKeepEveryValue_data()
    {
        QTest::addColumn<ConfigBlock>("block");
        QTest::newRow("default") << defaultConfigBlock();
        ConfigBlock extremes = defaultConfigBlock();
        // Storage capacitor byte 255, arcing threshold, arcing filter, release filter.
        for (const auto& [param, value] : {std::pair{32, 994.5}, {35, 127.0}, {36, 7.0}, {37, 31.0}})
            setParam(extremes, param, value), setParam(extremes, param + 15, value);
        QTest::newRow("hidden at their limits") << extremes;
        QRandomGenerator rng(20261206);
        for (int i = 0; i < 80; ++i)
            QTest::addRow("random %d", i) << blockFittingWidgets(rng);
    }

    // A block shown and taken back, with "OK" in the advanced options on the
    // way, keeps all 52 bytes, and every widget shows its own parameter.
    void widgetsKeepEveryValue()
    {
        QFETCH(ConfigBlock, block);
        Dialog d;
        ConfigDlg& dlg = d.dlg;
        d.model.setReply(bytes(block));
        d.model.setReply(QByteArray(ConfigBlockSize - 1, '\x55')); // short: ignored
        int named = 0;
        checkNamedWidgets(&dlg, block, named);
        runAdvOptions(dlg, true, [&](QWidget* adv) { checkNamedWidgets(adv, block, named); });
        QCOMPARE(named, 29 + 27);
        dlg.updateRecord();
        QCOMPARE(bytes(d.model.block()).toHex(' '), bytes(block).toHex(' '));
    }

    void binding_data()
    {
        QTest::addColumn<int>("param");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("widgetName");
        QTest::addColumn<QVariant>("shown");
        QTest::addColumn<int>("writtenBack");

        QTest::newRow("service alarm 0 is checked") << 4 << 0 << "chkServiceAlarm" << QVariant(true) << 0;
        QTest::newRow("tamper alarm 1 is unchecked") << 5 << 1 << "chkTamperAlarm" << QVariant(false) << 1;
        QTest::newRow("strobe 2 as combined") << 18 << 2 << "rBtnZ1_12" << QVariant(true) << 1;
        QTest::newRow("LCD2 4") << 29 << 4 << "rBtnLCD2_battery" << QVariant(true) << 4;
        QTest::newRow("LCD2 7 keeps the shown button") << 29 << 7 << "rBtnLCD2_good" << QVariant(true) << 0;
        QTest::newRow("gate delay 100 clamped") << 17 << 100 << "spnGateAlarmDelay" << QVariant(99) << 99;
        QTest::newRow("expansion card 3 kept") << 72 << 3 << "cmbExpansionCardConfiguration" << QVariant("") << 3;
        QTest::newRow("off time 255 at maximum") << 24 << 255 << "teSirenOff" << QVariant(QTime(0, 4, 10)) << 250;
        QTest::newRow("condition level 7: none") << 49 << 7 << "rBtnCondLvl2_6" << QVariant(false) << 7;
        QTest::newRow("low power 2040 clamped") << 58 << 2040 << "spnFncLowPwrVltg2" << QVariant(1870) << 1870;
        QTest::newRow("low power 850 raised to 1020, the first step in range") << 43 << 850 << "spnFncLowPwrVltg1" << QVariant(1020) << 1020;
        QTest::newRow("re-arm largest count, 30 s dropped") << Rearm << 65535 << "spnDaySirenReArm" << QVariant(7) << 65532;
    }

    // A stored value, how it shows, and what is taken back without changes;
    // nothing else moves.
    void binding()
    {
        QFETCH(int, param);
        QFETCH(int, stored);
        QFETCH(QString, widgetName);
        QFETCH(QVariant, shown);
        QFETCH(int, writtenBack);

        Dialog d;
        ConfigDlg& dlg = d.dlg;
        d.change([&](ConfigBlock& block) { setValue(block, param, stored); });
        ConfigBlock expected = d.model.block();
        setValue(expected, param, writtenBack);
        // Not in the dialog: in the advanced options, taken back with "OK".
        QWidget* inDialog = dlg.findChild<QWidget*>(widgetName);
        QVariant seen = inDialog ? shownValue(inDialog) : QVariant();
        runAdvOptions(dlg, true, [&](QWidget* adv) { seen = inDialog ? seen : shownValue(widget(adv, widgetName)); });
        dlg.updateRecord();
        QCOMPARE(seen, shown);
        QVERIFY(d.model.block() == expected);
    }

    // PIN fields take digits only, six at most, and keep a leading zero. An
    // energizer may hold 0xF nibbles (no PIN set): "1521" shown in the edit
    // must not replace them unless the installer retypes the PIN.
    void pins()
    {
        Dialog d;
        ConfigDlg& dlg = d.dlg;
        d.change([](ConfigBlock& block) { block[10] = 0xFF, block[11] = 0xF2; });
        QCOMPARE(widget<QLineEdit>(&dlg, "edtMasterPIN")->text(), QStringLiteral("1521"));
        const ConfigBlock unshowable = d.model.block();
        dlg.updateRecord();
        QVERIFY(d.model.block() == unshowable);

        for (const auto& [edit, typed, kept] : {std::array<const char*, 3>{"edtInstallerPIN", "+1,2a3 4.567", "123456"},
                                                {"edtMasterPIN", "0421", "0421"}}) {
            auto* line = widget<QLineEdit>(&dlg, edit);
            line->selectAll();
            QTest::keyClicks(line, typed);
            QCOMPARE(line->text(), QString(kept));
        }
        dlg.updateRecord();
        QCOMPARE(d.model.block()[11], quint8(0x04));
        QCOMPARE(d.model.block()[10], quint8(0x21));
    }

    // Typed values are stored on "OK" only, and no re-arm time whose count
    // does not fit 16 bits. "OK" stores the advanced options' parameters only:
    // an edit in the dialog that is not stored yet stays shown.
    void advTypedValues()
    {
        const auto edit = [](QWidget* adv) {
            auto* days = widget<QSpinBox>(adv, "spnDaySirenReArm");
            auto* time = widget<QTimeEdit>(adv, "teSirenReArm");
            time->setTime(QTime(23, 59));
            days->setValue(7);
            QCOMPARE(time->time(), QTime(14, 2));
            // Leaving the last day lifts the limit again.
            days->setValue(6);
            time->setTime(QTime(23, 59));
            QCOMPARE(time->time(), QTime(23, 59));
            days->setValue(7);
        };
        Dialog d;
        ConfigDlg& dlg = d.dlg;
        auto* delay = widget<QSpinBox>(&dlg, "spnGateAlarmDelay");
        QVERIFY(delay->value() != 42);
        delay->setValue(42);
        ConfigBlock expected = d.model.block();
        runAdvOptions(dlg, false, edit);
        QVERIFY(d.model.block() == expected);
        runAdvOptions(dlg, true, edit);
        setValue(expected, Rearm, (7 * 1440 + 14 * 60 + 2) * 6);
        QVERIFY(d.model.block() == expected);
        QCOMPARE(delay->value(), 42);
    }

    void saveAndLoad_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("no suffix") << "setup" << "setup.xml";
        QTest::newRow("upper-case suffix") << "SETUP.XML" << "SETUP.XML";
        QTest::newRow("other suffix") << "setup.txt" << "setup.txt.xml";
        QTest::newRow("suffix inside") << "setup.xml.bak" << "setup.xml.bak.xml";
    }

    // The file holds what the widgets show, an edit not yet stored included
    // (loading is fileChangesOnlyWhatItHolds', the file format tst_configxml's).
    void saveAndLoad()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        QRandomGenerator rng(7);
        ConfigBlock expected = blockFittingWidgets(rng);
        Dialog saving;
        ConfigDlg& saver = saving.dlg;
        saving.model.setReply(bytes(expected));
        widget<QSpinBox>(&saver, "spnGateAlarmDelay")->setValue(42);
        setParam(expected, 17, 42);
        saver.askSaveFileName = [&] { return path(chosen); };
        saver.writeToFile();
        QCOMPARE(entries(), QStringList{written});
        QCOMPARE(readAll(path(written)), configToXml(expected));
        QVERIFY(saver.windowTitle().endsWith(' ' + path(written)));
    }

    void fileChangesOnlyWhatItHolds_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("chosen"); // empty: file dialog cancelled
        // Runs as root in CI, so permissions cannot make a directory unwritable.
        QTest::newRow("save: directory is a file") << true << "plain/setup.xml";
        QTest::newRow("save: name is a directory") << true << "folder.xml";
        QTest::newRow("save: disk refuses the write") << true << "setup.xml";
        QTest::newRow("load: cancelled") << false << "";
        QTest::newRow("load: not XML") << false << "plain";
        QTest::newRow("load: foreign XML") << false << "foreign.xml";
        QTest::newRow("load: one parameter, the rest kept") << false << "one.xml";
    }

    // A failed save keeps the old file, a refused load the dialog's values,
    // a load the values of the parameters the file does not hold.
    void fileChangesOnlyWhatItHolds()
    {
        QFETCH(bool, save);
        QFETCH(QString, chosen);
        const bool sizeLimit = save && chosen == QLatin1String("setup.xml"); // the disk refuses the write
        const QList<QPair<QString, QByteArray>> files = {{"plain", "GateAlarmDelay=5\n"},
            {"setup.xml", "<Configuration>old</Configuration>\n"},
            {"foreign.xml", "<Setup><Options><LCD2 value=\"1\"/></Options></Setup>"},
            {"one.xml", "<Configuration><ZoneConfiguration2><FncAlmDelay value=\"9\"/></ZoneConfiguration2></Configuration>"}};
        for (const auto& [name, content] : files) {
            QFile file(path(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        }
        QVERIFY(QDir(dir->path()).mkdir("folder.xml"));
        const QStringList entriesBefore = entries();
        Dialog d;
        ConfigDlg& dlg = d.dlg;
        QRandomGenerator rng(5);
        d.model.setReply(bytes(blockFittingWidgets(rng)));
        ConfigBlock before = d.model.block();
        const bool loads = chosen == QLatin1String("one.xml");
        if (loads)
            setParam(before, 48, 9);
        const QString title = dlg.windowTitle();

        dlg.askSaveFileName = dlg.askOpenFileName = [&] { return chosen.isEmpty() ? chosen : path(chosen); };
        QString boxText;
        if (!chosen.isEmpty() && !loads) // a cancelled file dialog shows no box
            onNextModal([&](QWidget* box) { boxText = static_cast<QMessageBox*>(box)->text(), box->close(); });
        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        const rlimit limit{sizeLimit ? rlim_t(256) : unlimited.rlim_cur, unlimited.rlim_max}; // writes past 256 bytes refused
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        save ? dlg.writeToFile() : dlg.loadFromFile();
        setrlimit(RLIMIT_FSIZE, &unlimited);
        // Refused with a reason (a load names the file too), never silently.
        QCOMPARE(boxText.isEmpty(), chosen.isEmpty() || loads);
        QCOMPARE(dlg.exchangeText().contains("one.xml holds 1 of the 74 parameters"), loads);
        QVERIFY(save || chosen.isEmpty() || loads || boxText.startsWith(QDir::toNativeSeparators(path(chosen))));
        QVERIFY(d.model.block() == before);
        QVERIFY(loads ? dlg.windowTitle().endsWith(' ' + path(chosen)) : dlg.windowTitle() == title);
        QCOMPARE(entries(), entriesBefore);
        for (const auto& [name, content] : files)
            QCOMPARE(readAll(path(name)), content);
    }

    void firstRun()
    {
        // A FIFO where the file belongs is left alone: opening it would block before the window shows.
        QVERIFY(::mkfifo(QFile::encodeName(iniPath()).constData(), 0600) == 0);
        const QStringList fromFifo = values(SettingsDlg().settings());
        QVERIFY(!QFileInfo(iniPath()).isFile());
        QFile::remove(iniPath());
        SettingsDlg dlg;
        QVERIFY(widget<QRadioButton>(&dlg, "rbUDPserver")->isChecked());
        QVERIFY(widget<QRadioButton>(&dlg, "rbTCPserver")->isHidden());
        const QString own = firstOwnAddress();
        auto* ports = widget<QComboBox>(&dlg, "serialPortInfoListBox");
        QCOMPARE(values(dlg.settings()), QStringList({"0", "0", "192.168.0.1", own, "6128", "407318", "1", ports->currentText(),
                                                      "19200", "0", "1", "0", "None", "1"}));
        QCOMPARE(fromFifo, values(dlg.settings()));
        QCOMPARE(iniLines(), QStringList({"IPAddress=192.168.0.1", "UDP=0", "comMode=0", "ownIPAddress=" + own,
                                          "portNumber=6128"}));

        // Serial mode first; the energizer address stays editable in both.
        for (bool toNetwork : {true, false}) {
            widget<QRadioButton>(&dlg, toNetwork ? "rbTCP" : "rbSerial")->setChecked(true);
            for (const auto& [box, network] : {std::pair{"selectBox", false}, {"parametersBox", false}, {"groupBox", true}})
                QCOMPARE(widget<QGroupBox>(&dlg, box)->isEnabled(), network == toNetwork);
            QVERIFY(widget<QSpinBox>(&dlg, "spnEnergizerAddress")->isEnabled());
        }

        // Ports the system does not list (pseudo-terminals, odd drivers) can be typed.
        const int count = ports->count();
        ports->lineEdit()->selectAll();
        QTest::keyClicks(ports->lineEdit(), QStringLiteral("/dev/pts/7"));
        QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
        QCOMPARE(ports->count(), count);
        QTest::mouseClick(widget<QPushButton>(&dlg, "btnApply"), Qt::LeftButton);
        QCOMPARE(dlg.settings().portName, QStringLiteral("/dev/pts/7"));
    }

    void storedValues_data()
    {
        QTest::addColumn<QStringList>("stored"); // comMode, UDP, portNumber
        QTest::addColumn<QStringList>("expected"); // the same as kept
        QTest::newRow("network, udp client") << QStringList{"1", "1", "7000"} << QStringList{"1", "1", "7000"};
        QTest::newRow("UDP 2 selects the hidden TCP server") << QStringList{"1", "2", "6128"} << QStringList{"1", "2", "6128"};
        QTest::newRow("comMode 7 means network") << QStringList{"7", "0", "6128"} << QStringList{"1", "0", "6128"};
        QTest::newRow("text that is no number") << QStringList{"serial", "abc", "port"} << QStringList{"0", "0", "0"};
        QTest::newRow("port above 16 bits clamps") << QStringList{"1", "0", "70000"} << QStringList{"1", "0", "65535"};
        // Beyond 32 bits the default, not whatever the low bits say.
        QTest::newRow("port beyond 31 bits") << QStringList{"1", "0", "2147483648"} << QStringList{"1", "0", "6128"};
        QTest::newRow("UDP and port beyond 32 bits") << QStringList{"1", "4294967297", "4294973424"} << QStringList{"1", "0", "6128"};
    }

    void storedValues()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, expected);

        // An own address this machine does not have is replaced at once.
        writeSettingsIni(QStringLiteral("127.0.0.1"), 0, 0, 0, QStringLiteral("203.0.113.77"));
        for (int i = 0; i < 3; ++i) // each QSettings writes its key as it goes
            QSettings(iniPath(), QSettings::IniFormat).setValue(QStringList{"comMode", "UDP", "portNumber"}[i], stored[i]);
        SettingsDlg dlg;
        const QString own = firstOwnAddress();
        QCOMPARE(values(dlg.settings()).mid(0, 5), QStringList({expected[0], expected[1], "127.0.0.1", own, expected[2]}));
        QCOMPARE(widget<QSpinBox>(&dlg, "spnPort")->value(), expected[2].toInt());
        QCOMPARE(iniLines(), QStringList({"IPAddress=127.0.0.1", "UDP=" + expected[1], "comMode=" + expected[0],
                                          "ownIPAddress=" + own, "portNumber=" + expected[2]}));
    }

    void cancelKeepsRecordApplyTakesEdits()
    {
        writeSettingsIni(QStringLiteral("127.0.0.1"), 1);
        SettingsDlg dlg;
        const QStringList before = values(dlg.settings());
        const QStringList fileBefore = iniLines();

        widget<QRadioButton>(&dlg, "rbTCP")->setChecked(true);
        widget<QRadioButton>(&dlg, "rbUDPclient")->setChecked(true);
        widget<QLineEdit>(&dlg, "edtIP")->setText(QStringLiteral("127.0.0.2"));
        widget<QSpinBox>(&dlg, "spnPort")->setValue(4242);
        widget<QSpinBox>(&dlg, "spnEnergizerAddress")->setValue(17);
        widget<QLineEdit>(&dlg, "edtInstallerPIN")->setText(QStringLiteral("1234"));
        widget<QComboBox>(&dlg, "serialPortInfoListBox")->setEditText(QStringLiteral("ttyX"));
        // The lists are not in the order of QSerialPort's values: Mark (5) comes before Space (4).
        for (const auto& [box, index] : {std::pair{"baudRateBox", 3}, {"parityBox", 3}, {"stopBitsBox", 1}, {"flowControlBox", 2}})
            widget<QComboBox>(&dlg, box)->setCurrentIndex(index);
        QTest::mouseClick(widget<QPushButton>(&dlg, "btnCancel"), Qt::LeftButton);
        QCOMPARE(values(dlg.settings()), before);
        QCOMPARE(iniLines(), fileBefore);

        // The unapplied edits stay in the widgets and a later Apply takes them;
        // energizer address and PIN are not kept in the file.
        QTest::mouseClick(widget<QPushButton>(&dlg, "btnApply"), Qt::LeftButton);
        QCOMPARE(values(dlg.settings()), QStringList({"1", "1", "127.0.0.2", before[3], "4242", "1234", "17", "ttyX",
                                                      "115200", "5", "3", "2", "Mark", "1.5"}));
        QCOMPARE(iniLines(), QStringList({"IPAddress=127.0.0.2", "UDP=1", "comMode=1", "ownIPAddress=" + before[3],
                                          "portNumber=4242"}));
    }

    void levels_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QColor>("fill"); // none: the blue gradient of level 0
        QTest::newRow("0 blue gradient") << 0 << QColor();
        // Both edges of every band.
        QTest::newRow("1 red") << 1 << QColor(Qt::red);
        QTest::newRow("3 red") << 3 << QColor(Qt::red);
        QTest::newRow("4 yellow") << 4 << QColor(Qt::yellow);
        QTest::newRow("6 yellow") << 6 << QColor(Qt::yellow);
        QTest::newRow("7 green") << 7 << QColor(Qt::green);
        QTest::newRow("9 green, full") << 9 << QColor(Qt::green);
    }

    // The level's share filled in its band's colour, the rest light grey, and
    // the level as one dark digit in the middle, not a percentage.
    void levels()
    {
        QFETCH(int, level);
        QFETCH(QColor, fill);
        const int W = 180, H = 22;
        ColoredProgressBar bar;
        bar.setRange(0, 9);
        bar.setFormat(QString());
        bar.setValue(level);
        bar.resize(W, H);
        QImage image(W, H, QImage::Format_ARGB32);
        image.fill(Qt::white);
        bar.render(&image);

        const auto near = [](QRgb a, QColor b) {
            return qAbs(qRed(a) - b.red()) <= 6 && qAbs(qGreen(a) - b.green()) <= 6 && qAbs(qBlue(a) - b.blue()) <= 6;
        };
        // Top left to bottom right of level 0's gradient.
        QVERIFY(fill.isValid() || (near(image.pixel(1, 1), QColor(33, 152, 192)) && near(image.pixel(W - 2, H - 2), QColor(13, 92, 166))));
        const int split = W * level / 9;
        QRect text;
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                const QRgb c = image.pixel(x, y);
                if (qRed(c) < 70 && qGreen(c) < 70 && qBlue(c) < 70)
                    text |= QRect(x, y, 1, 1);
                // Rows near the top and bottom edge, clear of the digit.
                if (fill.isValid() && (y == 3 || y == H - 4) && x >= 2 && x < W - 2 && qAbs(x - split) >= 2)
                    QVERIFY2(c == (x < split ? fill : QColor(Qt::lightGray)).rgb(), qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
            }
        }
        QVERIFY(qAbs(text.center().x() - W / 2) <= 2 && qAbs(text.center().y() - H / 2) <= 2 && text.width() < W / 6);
    }

    // History entries and events of this energizer in one list, newest first;
    // an event that records an entry is that entry's line; the kind boxes filter.
    void timelineMergesAndFilters_data()
    {
        QTest::addColumn<QStringList>("hidden");
        QTest::addColumn<QStringList>("kinds");
        QTest::newRow("all") << QStringList() << QStringList{"zone 2 off", "written", "read", "alarm raised: gate", "off line"};
        QTest::newRow("configuration only") << QStringList{"chkConnection", "chkAlarms", "chkFaults", "chkZones"}
                                            << QStringList{"written", "read"};
        QTest::newRow("no configuration, no zones") << QStringList{"chkConfiguration", "chkZones"}
                                                    << QStringList{"alarm raised: gate", "off line"};
    }
    void timelineMergesAndFilters()
    {
        QFETCH(QStringList, hidden);
        QFETCH(QStringList, kinds);
        const QString link = QStringLiteral("udp-127.0.0.1-6128");
        HistoryStore history(path(QStringLiteral("history.sqlite")));
        TimelineStore timeline(path(QStringLiteral("timeline.sqlite")));
        const qint64 read = history.add(link, 1, HistoryKind::Read, defaultConfigBlock()).value;
        ConfigBlock changed = defaultConfigBlock();
        setValue(changed, 17, 3);
        const qint64 written = history.add(link, 1, HistoryKind::Written, changed).value;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const auto event = [&](qint64 offsetMs, TimelineKind kind, const QString& detail, int address = 1) {
            TimelineEvent e;
            e.timeMs = now + offsetMs;
            e.link = link;
            e.address = address;
            e.kind = kind;
            e.detail = detail;
            e.historyId = kind == TimelineKind::ConfigRead ? read : 0;
            return e;
        };
        QCOMPARE(timeline.write({event(-7200000, TimelineKind::Offline, {}), event(-3600000, TimelineKind::AlarmRaised, "gate"),
                                 event(0, TimelineKind::ConfigRead, {}), event(3600000, TimelineKind::ZoneOff, "2"),
                                 event(-60000, TimelineKind::ZoneOn, "1", 2)},
                                {}),
                 QString());

        HistoryKeeper keeper(&history);
        keeper.setEnergizer(link, 1);
        Dialog d;
        ConfigPush push(d.transfer, d.station, keeper);
        HistoryDlg dlg(keeper, &timeline, d.transfer, push);
        for (const QString& box : hidden)
            widget<QCheckBox>(&dlg, box)->setChecked(false);
        QStringList shown;
        const TimelineModel& model = dlg.model();
        for (int row = 0; row < model.rowCount(); ++row)
            shown << model.index(row, TimelineModel::KindColumn).data().toString();
        QCOMPARE(shown, kinds);
        const QVector<qint64> ids = kinds.contains("read") ? QVector<qint64>{written, read} : QVector<qint64>();
        QCOMPARE(dlg.shownIds(), ids);
    }

    // The CSV export holds the readings of the range shown, as energizer-cli trend writes them.
    void trendExportsWhatIsShown()
    {
        const QString link = QStringLiteral("udp-127.0.0.1-6128");
        TimelineStore store(path(QStringLiteral("timeline.sqlite")));
        const qint64 first = QDateTime::currentMSecsSinceEpoch() / 60000 - 300;
        QVector<TimelineReading> readings, expected;
        for (int address : {1, 2}) {
            for (qint64 minute = first; minute < first + 180; ++minute) {
                TimelineReading r;
                r.link = link;
                r.address = address;
                r.minute = minute;
                for (int s = 0; s < TimelineSeriesCount; ++s) {
                    r.min[s] = 100 * s + minute % 7;
                    r.mean[s] = r.min[s] + 10;
                    r.max[s] = r.min[s] + 20 + address;
                }
                readings << r;
                if (address == 1 && minute >= first + 60 && minute <= first + 119)
                    expected << r;
            }
        }
        QCOMPARE(store.write({}, readings), QString());
        ConfigModel config;
        TrendDlg dlg(&store, link, 1, config);
        dlg.showRange((first + 60) * 60000, (first + 119) * 60000);
        const QString csv = path(QStringLiteral("trend.csv"));
        dlg.askSaveFileName = [csv] { return csv; };
        widget<QPushButton>(&dlg, "btnExport")->click();
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), trendText(expected, QStringLiteral("csv")));
        file.close();

        // Zoomed in: the part shown.
        auto* plot = dlg.findChild<QwtPlot*>();
        plot->setAxisScale(QwtPlot::xBottom, (first + 70) * 60000.0, (first + 79) * 60000.0);
        plot->replot();
        widget<QPushButton>(&dlg, "btnExport")->click();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), trendText(expected.mid(10, 10), QStringLiteral("csv")));
    }
};

QTEST_MAIN(TstConfigDlg)
#include "tst_configdlg.moc"
