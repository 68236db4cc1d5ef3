#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/configdlg.h"
#include "device/energizer.h"
#include "scope/circularbuffer.h"
#include "scope/plot.h"
#include "scope/scopedlg.h"
#include "scope/scopeunit.h"
#include "testsettings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QThread>
#include <QtTest>

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>

#include <memory>

namespace {

double newest(const CircularBuffer* buffer)
{
    return buffer->values.last();
}

QString readout(const ScopeUnit& unit, const char* name)
{
    auto* edit = unit.findChild<QLineEdit*>(QLatin1String(name));
    return edit ? edit->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

int redPixels(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == QColor(Qt::red);
    return count;
}

} // namespace

class TestScopeUnit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void samplesItsZone_data();
    void samplesItsZone();
    void readouts_data();
    void readouts();
    void uncheckedLineHidesWhileSamplingGoesOn();
    void lateTicksSkipNoSample();
    void dialogSamplesBothTabsAndCloseDeletesAll();

private:
    std::unique_ptr<MainWindow> window;
};

void TestScopeUnit::initTestCase()
{
    QTcpServer probe; // a loopback port nobody listens on once it closes
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    writeSettingsIni(QStringLiteral("127.0.0.1"), port, 1, 2);
    window = std::make_unique<MainWindow>();
    pollTimer->stop(); // silence would reset the fields the tests set
}

void TestScopeUnit::init()
{
    energizer->reset();
    configDlg->configBlock = configDlg->defaultBlock;
}

void TestScopeUnit::samplesItsZone_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<double>>("expected"); // output, return, HV check, HV alarm, LV alarm
    QTest::addColumn<QString>("title");
    QTest::newRow("zone 1") << "unit1" << QList<double>{1111, 1222, 1700, 1870, 2040} << "Fence 1";
    QTest::newRow("zone 2") << "unit2" << QList<double>{2111, 2222, 3400, 3570, 3740} << "Fence 2";
    QTest::newRow("other name") << "unit3" << QList<double>{0, 0, 0, 0, 0} << "";
    QTest::newRow("case matters") << "Unit1" << QList<double>{0, 0, 0, 0, 0} << "";
}

void TestScopeUnit::samplesItsZone()
{
    QFETCH(QString, name);
    QFETCH(QList<double>, expected);
    QFETCH(QString, title);

    energizer->outputVoltage1 = 1111;
    energizer->returnVoltage1 = 1222;
    energizer->outputVoltage2 = 2111;
    energizer->returnVoltage2 = 2222;
    // Thresholds are stored in steps of 170 V.
    for (const auto& [param, volts] : {std::pair{40, 1700}, {41, 1870}, {42, 2040}, {55, 3400}, {56, 3570}, {57, 3740}})
        configDlg->setParam(param, volts);

    ScopeUnit unit;
    unit.setObjectName(name);
    unit.timerTick();
    const bool samples = !title.isEmpty();
    const CircularBuffer* buffers[] = {unit.outputBuffer, unit.returnBuffer, unit.hvCheckBuffer, unit.hvAlarmBuffer,
                                       unit.lvAlarmBuffer};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(int(buffers[i]->size()), samples ? 1001 : 1000);
        QCOMPARE(newest(buffers[i]), expected.at(i));
    }
    QCOMPARE(unit.findChild<QGroupBox*>(QStringLiteral("groupBox"))->title(), title);
    QCOMPARE(unit.findChild<QGroupBox*>(QStringLiteral("groupBox_2"))->title(),
             samples ? title + QStringLiteral(" Actual") : QString());

    // The next sample follows the record and the energizer, not a cached copy.
    configDlg->setParam(name == QLatin1String("unit2") ? 55 : 40, 510.0);
    energizer->outputVoltage1 = energizer->outputVoltage2 = 9000;
    unit.timerTick();
    QCOMPARE(newest(unit.outputBuffer), samples ? 9000.0 : 0.0);
    QCOMPARE(newest(unit.hvCheckBuffer), samples ? 510.0 : 0.0);
}

void TestScopeUnit::readouts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("capMax"); // stored in steps of 3.9 V
    QTest::addColumn<QString>("capacity");
    QTest::newRow("zone 1") << "unit1" << 475.8 << "70.6759";
    QTest::newRow("zone 2") << "unit2" << 475.8 << "70.6759";
    QTest::newRow("no maximum") << "unit1" << 0.0 << "N/A";
}

// 400 V in the zone; the other zone gets other values so a mix-up shows.
void TestScopeUnit::readouts()
{
    QFETCH(QString, name);
    QFETCH(double, capMax);
    QFETCH(QString, capacity);

    const bool zone2 = name == QLatin1String("unit2");
    energizer->capVoltage1 = zone2 ? 100.0 : 400.0;
    energizer->capVoltage2 = zone2 ? 400.0 : 100.0;
    configDlg->setParam(32, zone2 ? 390.0 : capMax);
    configDlg->setParam(47, zone2 ? capMax : 390.0);
    (zone2 ? energizer->outputVoltage2 : energizer->outputVoltage1) = 5000.0;
    (zone2 ? energizer->returnVoltage2 : energizer->returnVoltage1) = 4321.5;
    (zone2 ? energizer->fenceLevel2 : energizer->fenceLevel1) = 7;
    (zone2 ? energizer->fenceCondition2 : energizer->fenceCondition1) = QStringLiteral("Check");
    energizer->batteryVoltage = 13.625;

    ScopeUnit unit;
    unit.setObjectName(name);
    unit.timerTick();
    const QStringList shown = {readout(unit, "edtStoredEnergy"),  readout(unit, "edtCapacityUsed"),
                               readout(unit, "edtOutputVoltage"), readout(unit, "edtReturnVoltage"),
                               readout(unit, "edtBatteryVoltage"), readout(unit, "edtCondition"),
                               readout(unit, "edtFenceStatus")};
    QCOMPARE(shown, QStringList({"2.4", capacity, "5000", "4321.5", "13.625", "7", "Check"}));
}

void TestScopeUnit::uncheckedLineHidesWhileSamplingGoesOn()
{
    energizer->returnVoltage1 = 14000.0; // above the threshold lines, so no other curve covers it
    ScopeUnit unit;
    unit.setObjectName(QStringLiteral("unit1"));
    unit.resize(980, 420);
    unit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&unit));
    QTRY_VERIFY(unit.samplesTaken() > 100);
    QwtPlotCanvas* canvas = unit.plot->findChild<QwtPlotCanvas*>();
    QVERIFY(redPixels(canvas) > 100);

    auto* check = unit.findChild<QCheckBox*>(QStringLiteral("chkColor2"));
    check->click();
    QVERIFY(!unit.returnCurve->isVisible());
    for (const QwtPlotCurve* other : {unit.outputCurve, unit.hvCheckCurve, unit.hvAlarmCurve, unit.lvAlarmCurve})
        QVERIFY(other->isVisible());
    energizer->returnVoltage1 = 13000.0;
    const qint64 before = unit.samplesTaken();
    QTRY_VERIFY(unit.samplesTaken() > before + 10);
    QCOMPARE(newest(unit.returnBuffer), 13000.0);
    QCOMPARE(redPixels(canvas), 0);

    check->click();
    QVERIFY(redPixels(canvas) > 100);
}

// A GUI thread busy for a while must not cost samples: ten seconds of plot
// are always a thousand samples.
void TestScopeUnit::lateTicksSkipNoSample()
{
    ScopeUnit unit;
    unit.setObjectName(QStringLiteral("unit2"));
    energizer->outputVoltage2 = 3000.0;
    QTRY_VERIFY(unit.samplesTaken() > 0);
    QElapsedTimer clock;
    clock.start();
    const qint64 start = unit.samplesTaken();

    QThread::msleep(250);
    energizer->outputVoltage2 = 6000.0;
    const qint64 stalled = clock.elapsed();
    QTest::qWait(60);
    // At least one tick came after the stall and made up for all of it.
    const qint64 got = unit.samplesTaken() - start;
    QVERIFY2(got >= stalled / 10 - 1 && got <= clock.elapsed() / 10 + 3,
             qPrintable(QStringLiteral("%1 samples in %2 ms").arg(got).arg(clock.elapsed())));
    QVERIFY(unit.samplesHeld() >= 20);
    // The stall held the old value; the new one starts after it.
    const QVector<double>& values = unit.outputBuffer->values;
    QCOMPARE(values.at(values.size() - int(got)), 3000.0);
    QCOMPARE(values.last(), 6000.0);
}

void TestScopeUnit::dialogSamplesBothTabsAndCloseDeletesAll()
{
    QPointer<ScopeDlg> dialog;
    QPointer<Plot> plots[2];
    bool bothSampled = false;
    bool hiddenTabHidden = false;
    bool stoneFollowsLink = false;

    QTimer::singleShot(0, this, [&] {
        dialog = window->findChild<ScopeDlg*>();
        const auto* shown = dialog->findChild<ScopeUnit*>(QStringLiteral("unit1"));
        const auto* hidden = dialog->findChild<ScopeUnit*>(QStringLiteral("unit2"));
        plots[0] = shown->plot;
        plots[1] = hidden->plot;
        bothSampled = QTest::qWaitFor([&] { return shown->samplesTaken() >= 50 && hidden->samplesTaken() >= 50; });
        hiddenTabHidden = !plots[1]->isVisible();

        const auto* stone = dialog->findChild<QLabel*>(QStringLiteral("lblComStatus"));
        const auto shows = [stone](const char* image) {
            return stone->pixmap(Qt::ReturnByValue).toImage() == QPixmap(QLatin1String(image)).toImage();
        };
        energizer->online = true;
        emit energizer->paramChanged();
        stoneFollowsLink = shows(":/images/greenStone.png");
        energizer->online = false;
        emit energizer->paramChanged();
        stoneFollowsLink = stoneFollowsLink && shows(":/images/redStone.png");
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnClose")), Qt::LeftButton);
    });
    QTimer::singleShot(10000, this, [&] {
        if (dialog)
            dialog->reject();
    });
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("btnScope")), Qt::LeftButton);

    QVERIFY(bothSampled);
    QVERIFY(hiddenTabHidden);
    QVERIFY(stoneFollowsLink);
    QVERIFY(!dialog && !plots[0] && !plots[1]);
}

QTEST_MAIN(TestScopeUnit)
#include "tst_scopeunit.moc"
