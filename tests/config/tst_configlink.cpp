// The configuration dialog against the simulator over UDP on loopback.
#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/configdlg.h"

#include "../link/linkharness.h"
#include "configtestutil.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <memory>

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
    // The simulator's block, or an empty array when it does not answer.
    QByteArray simBlock();
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

QByteArray TstConfigLink::simBlock()
{
    const QString answer = sim.command(QStringLiteral("dump"), QStringLiteral("CONFIG "));
    const QByteArray block = QByteArray::fromHex(answer.mid(7).toLatin1());
    return block.size() == ConfigBlockSize ? block : QByteArray();
}

void TstConfigLink::initTestCase()
{
    QVERIFY2(sim.start({QStringLiteral("--udp"), QStringLiteral("0")}), "energizer-sim did not start (EC_SIM)");
    writeSettingsIni(1, 0, QStringLiteral("127.0.0.1"), sim.port());
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
