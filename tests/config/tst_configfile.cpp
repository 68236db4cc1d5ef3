// "Write to file" and "Load from file" with the file dialogs bypassed.
#include "config/configdlg.h"

#include "configdlgtestutil.h"

#include <QDir>
#include <QFile>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

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

class TstConfigFile : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void saveThenLoad_data();
    void saveThenLoad();
    void defaultTextAndSuffix_data();
    void defaultTextAndSuffix();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void malformedLoadChangesNothing_data();
    void malformedLoadChangesNothing();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString path(const QString& name) const { return dir->filePath(name); }
    QStringList entries() const { return QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
};

void TstConfigFile::init()
{
    QCoreApplication::setApplicationName(QStringLiteral("Energizer Configurator"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.31"));
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TstConfigFile::saveThenLoad_data()
{
    QTest::addColumn<ConfigBlock>("block");
    QTest::newRow("default") << defaultConfigBlock();
    QRandomGenerator rng(31);
    for (int i = 0; i < 30; ++i)
        QTest::addRow("random %d", i) << blockFittingConfigDlg(rng);
}

void TstConfigFile::saveThenLoad()
{
    QFETCH(ConfigBlock, block);
    ConfigDlg saver;
    saver.configBlock = block;
    saver.updateUi();
    saver.askSaveFileName = [this] { return path("round.xml"); };
    saver.writeToFile();

    ConfigDlg loader;
    loader.askOpenFileName = [this] { return path("round.xml"); };
    loader.loadFromFile();
    QCOMPARE(loader.windowTitle(), titleFor(path("round.xml")));
    QCOMPARE(allParams(loader), allParams(saver));
    QCOMPARE(widget<QSpinBox>(&loader, "spnGateAlarmDelay")->value(), saver.getParam(17).toInt());
}

void TstConfigFile::defaultTextAndSuffix_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no suffix") << "setup" << "setup.xml";
    QTest::newRow("upper-case suffix") << "SETUP.XML" << "SETUP.XML";
    QTest::newRow("other suffix") << "setup.txt" << "setup.txt.xml";
    QTest::newRow("suffix inside") << "setup.xml.bak" << "setup.xml.bak.xml";
}

void TstConfigFile::defaultTextAndSuffix()
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

void TstConfigFile::malformedLoadChangesNothing_data()
{
    QTest::addColumn<QString>("chosen"); // empty: dialog cancelled
    QTest::addColumn<QByteArray>("content"); // null: no such file
    QTest::newRow("cancelled") << "" << QByteArray();
    QTest::newRow("missing file") << "bad.xml" << QByteArray();
    QTest::newRow("not XML") << "bad.xml" << QByteArray("GateAlarmDelay=5\n");
    QTest::newRow("cut short") << "bad.xml" << defaultFileText().left(700);
}

void TstConfigFile::malformedLoadChangesNothing()
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
    dlg.loadFromFile();
    QVERIFY(dlg.configBlock == before);
    QCOMPARE(widget<QSpinBox>(&dlg, "spnGateAlarmDelay")->value(), shownDelay);
    QCOMPARE(dlg.windowTitle(), Untitled);
}

QTEST_MAIN(TstConfigFile)
#include "tst_configfile.moc"
