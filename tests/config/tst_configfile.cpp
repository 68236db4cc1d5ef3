// "Write to file" and "Load from file" with the file dialogs bypassed.
#include "config/configdlg.h"

#include "configtestutil.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(ConfigBlock)

namespace {

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
    const auto element = [](const char* name, const char* value) {
        return QByteArray("    <") + name + " value=\"" + value + "\"/>\n";
    };
    QByteArray zone;
    for (const auto& [name, value] : std::initializer_list<std::pair<const char*, const char*>>{
             {"FncInterferenceAlarm", "1"}, {"FncAlmByps", "0"}, {"StrgCapMaxAlldPwr", "476"},
             {"FncAlmDelay", "3"}, {"FncConditionChckLvl", "4"}, {"FncArcingDtctTreshold", "22"},
             {"FncArcingDtctFilter", "2"}, {"FncArcingReleaseFilter", "10"}, {"FncControlMethod", "1"},
             {"FncStateAtPowerOn", "2"}, {"FncHighVltgChkThreshold", "3910"}, {"FncHighVltgAlrmThreshold", "2890"},
             {"FncLowVltgAlrmThreshold", "680"}, {"FncLowPwrVltg", "1360"}, {"FncHighPwrVltg", "8160"}})
        zone += element(name, value);

    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<Configuration Company=\"Ravlin (Pty) Ltd\">\n"
                      "  <Options>\n";
    for (const auto& [name, value] : std::initializer_list<std::pair<const char*, const char*>>{
             {"LCD1", "15"}, {"LCD2", "0"}, {"SilentAlrm", "0"}, {"ActiveState", "0"}, {"AlmMute", "0"},
             {"ServiceAlrm", "1"}, {"TamperAlrm", "1"}, {"MagSwitch", "1"}, {"Solar", "0"}, {"ServiceTelNo", "0"},
             {"ShowKeyPress", "1"}, {"AlrmSensor", "0"}, {"MainFailChime", "1"}, {"PassiveSync", "0"},
             {"GateAlarmByps", "0"}, {"GateAlarmInst", "0"}, {"GateChime", "1"}, {"GateChimeClose", "0"},
             {"GateAlarmDelay", "60"}, {"Z1StrobeRlyFunc", "0"}, {"Z2StrobeRlyFunc", "0"},
             {"InstallerPIN", "407318"}, {"MasterPIN", DefaultMasterPin}, {"ResetPIN", DefaultResetPin},
             {"ArmRelayFunc", "0"}, {"AlarmOnTime", "120"}, {"AlarmOffTime", "180"}, {"AlarmRearmTimeLow", "192"},
             {"AlarmRearmTimeHigh", "33"}, {"EventsBeforeRearm", "3"}})
        text += element(name, value);
    text += "  </Options>\n  <ZoneConfiguration1>\n" + zone + "  </ZoneConfiguration1>\n  <ZoneConfiguration2>\n" + zone
            + "  </ZoneConfiguration2>\n  <Inputs>\n";
    for (const char* name : {"GateInputFunction", "PanicInputFunction", "ZoneOnOffInputFunction1",
                             "ZoneOnOffInputFunction2", "ZoneHiLoInputFunction1", "ZoneHiLoInputFunction2",
                             "ZoneOnOffInputToggle1", "ZoneOnOffInputToggle2", "ZoneHiLoInputToggle1",
                             "ZoneHiLoInputToggle2"})
        text += element(name, "0");
    text += "  </Inputs>\n  <Network>\n";
    text += element("SlaveEnergizerPresent", "0") + element("BigNetworkAddress", "1")
            + element("ExpansionCardConfiguration", "0") + element("NetworkAdapterType", "0");
    text += "  </Network>\n</Configuration>\n";
    return text;
}

// Refuses writes past a few hundred bytes in this process while alive.
class FileSizeLimit
{
public:
    FileSizeLimit()
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = 256;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }

private:
    rlimit saved{};
    void (*previousHandler)(int) = nullptr;
};

} // namespace

class TstConfigFile : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void saveThenLoad_data();
    void saveThenLoad();
    void defaultFileText();
    void suffix_data();
    void suffix();
    void cancelledDialogs();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void malformedLoadChangesNothing_data();
    void malformedLoadChangesNothing();
    void loadFillsWidgets();

private:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

void TstConfigFile::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("Energizer Configurator"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.31"));
    QVERIFY(dir.isValid());
}

void TstConfigFile::init()
{
    const auto entries = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        QFileInfo info(path(entry));
        if (info.isDir())
            QDir(info.filePath()).removeRecursively();
        else
            QFile::remove(info.filePath());
    }
}

void TstConfigFile::saveThenLoad_data()
{
    QTest::addColumn<ConfigBlock>("block");
    QTest::newRow("default") << defaultConfigBlock();
    QRandomGenerator rng(31);
    for (int i = 0; i < 40; ++i)
        QTest::addRow("random %d", i) << blockFittingConfigDlg(rng);
}

void TstConfigFile::saveThenLoad()
{
    QFETCH(ConfigBlock, block);
    ConfigDlg saver;
    saver.configBlock = block;
    saver.updateUi();
    saver.askSaveFileName = [this] { return path("round"); };
    saver.writeToFile();
    QCOMPARE(saver.windowTitle(), titleFor(path("round.xml")));

    ConfigDlg loader;
    loader.askOpenFileName = [this] { return path("round.xml"); };
    loader.loadFromFile();
    QCOMPARE(loader.windowTitle(), titleFor(path("round.xml")));
    QCOMPARE(allParams(loader), allParams(saver));
}

void TstConfigFile::defaultFileText()
{
    ConfigDlg dlg;
    dlg.askSaveFileName = [this] { return path("default.xml"); };
    dlg.writeToFile();
    QCOMPARE(readAll(path("default.xml")), ::defaultFileText());
}

void TstConfigFile::suffix_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no suffix") << "setup" << "setup.xml";
    QTest::newRow("suffix") << "setup.xml" << "setup.xml";
    QTest::newRow("upper-case suffix") << "SETUP.XML" << "SETUP.XML";
    QTest::newRow("mixed-case suffix") << "setup.Xml" << "setup.Xml";
    QTest::newRow("other suffix") << "setup.txt" << "setup.txt.xml";
    QTest::newRow("suffix inside") << "setup.xml.bak" << "setup.xml.bak.xml";
    QTest::newRow("dot only") << "setup." << "setup..xml";
}

void TstConfigFile::suffix()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    ConfigDlg dlg;
    dlg.askSaveFileName = [&] { return path(chosen); };
    dlg.writeToFile();
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    QCOMPARE(files, QStringList{written});
    QCOMPARE(dlg.fileName, path(written));
    QCOMPARE(dlg.windowTitle(), titleFor(path(written)));
}

void TstConfigFile::cancelledDialogs()
{
    ConfigDlg dlg;
    dlg.askSaveFileName = [] { return QString(); };
    dlg.askOpenFileName = [] { return QString(); };
    dlg.setParam(17, 42);
    dlg.updateUi();
    const ConfigBlock before = dlg.configBlock;
    dlg.writeToFile();
    dlg.loadFromFile();
    QVERIFY(QDir(dir.path()).isEmpty());
    QVERIFY(dlg.configBlock == before);
    QCOMPARE(dlg.windowTitle(), Untitled);
    QCOMPARE(widget<QSpinBox>(&dlg, "spnGateAlarmDelay")->value(), 42);
}

void TstConfigFile::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("sizeLimit");
    // Runs as root in CI, so permissions cannot make a directory unwritable.
    QTest::newRow("directory is a file") << "plain/setup.xml" << false;
    QTest::newRow("name is a directory") << "folder.xml" << false;
    QTest::newRow("disk refuses the write") << "setup.xml" << true;
}

void TstConfigFile::failedSaveKeepsOldFile()
{
    QFETCH(QString, target);
    QFETCH(bool, sizeLimit);
    const QByteArray old = "<Configuration>old</Configuration>\n";
    QVERIFY(writeAll(path("plain"), old));
    QVERIFY(QDir(dir.path()).mkdir("folder.xml"));
    QVERIFY(writeAll(path("setup.xml"), old));
    const QStringList entriesBefore = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    ConfigDlg dlg;
    dlg.askSaveFileName = [&] { return path(target); };
    QString boxTitle;
    QString boxText;
    onNextModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxTitle = box->windowTitle();
            boxText = box->text();
        }
        modal->close();
    });
    {
        std::unique_ptr<FileSizeLimit> limit(sizeLimit ? new FileSizeLimit : nullptr);
        dlg.writeToFile();
    }

    QCOMPARE(boxTitle, QStringLiteral("File writting error"));
    QVERIFY(!boxText.isEmpty());
    QCOMPARE(readAll(path("setup.xml")), old);
    QCOMPARE(readAll(path("plain")), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entriesBefore);
    QCOMPARE(dlg.windowTitle(), Untitled);
}

void TstConfigFile::malformedLoadChangesNothing_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no such file
    QTest::newRow("missing file") << QByteArray();
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("not XML") << QByteArray("GateAlarmDelay=5\n");
    QTest::newRow("cut short") << ::defaultFileText().left(700);
    QTest::newRow("unclosed element") << QByteArray("<Configuration><Options><GateAlarmDelay value=\"5\"/>");
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe<\x01", 5);
}

void TstConfigFile::malformedLoadChangesNothing()
{
    QFETCH(QByteArray, content);
    if (!content.isNull())
        QVERIFY(writeAll(path("bad.xml"), content));
    ConfigDlg dlg;
    QRandomGenerator rng(5);
    dlg.configBlock = blockFittingConfigDlg(rng);
    dlg.updateUi();
    const ConfigBlock before = dlg.configBlock;
    const int shownDelay = widget<QSpinBox>(&dlg, "spnGateAlarmDelay")->value();

    dlg.askOpenFileName = [this] { return path("bad.xml"); };
    dlg.loadFromFile();
    QVERIFY(dlg.configBlock == before);
    QCOMPARE(widget<QSpinBox>(&dlg, "spnGateAlarmDelay")->value(), shownDelay);
    QCOMPARE(dlg.windowTitle(), Untitled);
}

void TstConfigFile::loadFillsWidgets()
{
    QVERIFY(writeAll(path("short.xml"), "<Other><Options><GateAlarmDelay value=\"45\"/>"
                                        "<MasterPIN value=\"98\"/></Options></Other>"));
    ConfigDlg dlg;
    dlg.setParam(71, 17);
    dlg.updateUi();
    dlg.askOpenFileName = [this] { return path("short.xml"); };
    dlg.loadFromFile();
    QCOMPARE(widget<QSpinBox>(&dlg, "spnGateAlarmDelay")->value(), 45);
    QCOMPARE(widget<QSpinBox>(&dlg, "spnBigNetworkAddress")->value(), 0);
    QCOMPARE(dlg.getParam(21).toString(), QStringLiteral("981515"));
    QCOMPARE(dlg.windowTitle(), titleFor(path("short.xml")));
}

QTEST_MAIN(TstConfigFile)
#include "tst_configfile.moc"
