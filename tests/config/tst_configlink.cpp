// The configuration dialog against the simulator over UDP on loopback.
#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/configdlg.h"

#include "configtestutil.h"

#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

#include <memory>

namespace {

// energizer-sim on 127.0.0.1, driven through its stdin commands.
class Sim
{
public:
    ~Sim() { stop(); }

    bool start()
    {
        const QString program = qEnvironmentVariable("EC_SIM");
        if (program.isEmpty())
            return false;
        process.start(program, {QStringLiteral("--udp"), QStringLiteral("0")});
        const QString ready = answer(QStringLiteral("READY udp 127.0.0.1:"), 5000);
        port = ready.section(QLatin1Char(':'), -1).toUShort();
        return port != 0;
    }

    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.kill();
        process.waitForFinished(3000);
    }

    // The simulator's block, or an empty array when it does not answer.
    QByteArray block()
    {
        process.write("dump\n");
        const QByteArray hex = answer(QStringLiteral("CONFIG "), 3000).mid(7).toLatin1();
        const QByteArray bytes = QByteArray::fromHex(hex);
        return bytes.size() == ConfigBlockSize ? bytes : QByteArray();
    }

    quint16 port = 0;

private:
    // The next output line that starts with prefix; the event loop runs meanwhile.
    QString answer(const QString& prefix, int timeoutMs)
    {
        QString found;
        QTest::qWaitFor([&] {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith(prefix)) {
                    found = line;
                    return true;
                }
            }
            return process.state() == QProcess::NotRunning;
        }, timeoutMs);
        return found;
    }

    QProcess process;
};

} // namespace

class TstConfigLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void writeChangesSimulator();
    void readRefreshesDialog();
    void replyWhileOpenReplacesValues();

private:
    QByteArray simBlock() { return sim.block(); }
    static bool stoneIs(const QString& image)
    {
        const QPixmap* shown = widget<QLabel>(configDlg, "lblCommStatus")->pixmap();
        return shown && shown->toImage() == QPixmap(image).toImage();
    }
    QSpinBox* gateDelay() const { return widget<QSpinBox>(configDlg, "spnGateAlarmDelay"); }
    void click(const char* button) { widget<QPushButton>(configDlg, button)->click(); }

    Sim sim;
    std::unique_ptr<MainWindow> window;
};

void TstConfigLink::initTestCase()
{
    QVERIFY2(sim.start(), "energizer-sim did not start (EC_SIM)");
    {
        // Network link, UDP, to the simulator on loopback; never the default module address.
        QSettings ini(QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini"), QSettings::IniFormat);
        ini.clear();
        ini.setValue(QStringLiteral("ownIPAddress"), QString());
        ini.setValue(QStringLiteral("IPAddress"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("portNumber"), sim.port);
        ini.setValue(QStringLiteral("comMode"), 1);
        ini.setValue(QStringLiteral("UDP"), 0);
    }
    window = std::make_unique<MainWindow>();
    QVERIFY(stoneIs(QStringLiteral(":/images/redStone.png")));
    // The block arrives, its installer PIN matches, and CONFIG opens up.
    QTRY_VERIFY_WITH_TIMEOUT(configDlg->configReceived, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(widget<QPushButton>(window.get(), "btnConfig")->isEnabled(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(stoneIs(QStringLiteral(":/images/greenStone.png")), 3000);
}

void TstConfigLink::cleanupTestCase()
{
    window.reset();
    sim.stop();
}

void TstConfigLink::writeChangesSimulator()
{
    gateDelay()->setValue(33);
    widget<QCheckBox>(configDlg, "chkSolar")->setChecked(true);
    click("btnWriteEnerg");

    QByteArray block;
    QTRY_VERIFY_WITH_TIMEOUT((block = simBlock()).size() == ConfigBlockSize && quint8(block.at(35)) == 33, 3000);
    for (int i = 3; i <= 50; ++i)
        QVERIFY2(quint8(block.at(i)) == configDlg->configBlock[i], qPrintable(QStringLiteral("byte %1").arg(i)));
    QVERIFY(block.at(47) & 0x08); // Solar
}

void TstConfigLink::readRefreshesDialog()
{
    const QByteArray block = simBlock();
    QCOMPARE(block.size(), ConfigBlockSize);
    const int simDelay = quint8(block.at(35));
    gateDelay()->setValue(simDelay == 7 ? 8 : 7); // an edit that was never written
    QTest::qWait(1500); // status replies alone do not re-read once CONFIG is enabled
    QVERIFY(gateDelay()->value() != simDelay);

    click("btnReadEnerg");
    QTRY_COMPARE_WITH_TIMEOUT(gateDelay()->value(), simDelay, 3000);
}

void TstConfigLink::replyWhileOpenReplacesValues()
{
    const QByteArray block = simBlock();
    QCOMPARE(block.size(), ConfigBlockSize);
    const int simDelay = quint8(block.at(35));
    bool wasOpen = false;
    int shownAfterReply = -1;
    onNextModal([&](QWidget* modal) {
        wasOpen = modal == configDlg;
        gateDelay()->setValue(simDelay == 9 ? 10 : 9);
        click("btnReadEnerg");
        QTest::qWaitFor([&] { return gateDelay()->value() == simDelay; }, 3000);
        shownAfterReply = gateDelay()->value();
        modal->close();
    });
    widget<QPushButton>(window.get(), "btnConfig")->click();
    QVERIFY(wasOpen);
    QCOMPARE(shownAfterReply, simDelay);
}

QTEST_MAIN(TstConfigLink)
#include "tst_configlink.moc"
