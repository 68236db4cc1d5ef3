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

// Stored energy, capacity used, output, return, battery, level, status.
QStringList readouts(const ScopeUnit& unit)
{
    QStringList texts;
    for (const char* name : {"edtStoredEnergy", "edtCapacityUsed", "edtOutputVoltage", "edtReturnVoltage",
                             "edtBatteryVoltage", "edtCondition", "edtFenceStatus"})
        texts << unit.findChild<QLineEdit*>(QLatin1String(name))->text();
    return texts;
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

// Each zone gets its own values so a mix-up shows.
void TestScopeUnit::samplesItsZone_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<double>>("samples"); // output, return, HV check, HV alarm, LV alarm
    QTest::addColumn<QStringList>("readouts");
    QTest::newRow("zone 1") << "unit1" << QList<double>{1111, 1222.5, 1700, 1870, 2040}
                            << QStringList{"2.4", "70.6759", "1111", "1222.5", "13.625", "7", "Check"};
    QTest::newRow("zone 2, no maximum") << "unit2" << QList<double>{2111, 2222, 3400, 3570, 3740}
                                        << QStringList{"0.6", "N/A", "2111", "2222", "13.625", "3", "Fail"};
    QTest::newRow("other name") << "unit3" << QList<double>{0, 0, 0, 0, 0} << QStringList{"", "", "", "", "", "", ""};
}

void TestScopeUnit::samplesItsZone()
{
    QFETCH(QString, name);
    QFETCH(QList<double>, samples);
    QFETCH(QStringList, readouts);

    energizer->outputVoltage1 = 1111;
    energizer->returnVoltage1 = 1222.5;
    energizer->capVoltage1 = 400;
    energizer->fenceLevel1 = 7;
    energizer->fenceCondition1 = QStringLiteral("Check");
    energizer->outputVoltage2 = 2111;
    energizer->returnVoltage2 = 2222;
    energizer->capVoltage2 = 200;
    energizer->fenceLevel2 = 3;
    energizer->fenceCondition2 = QStringLiteral("Fail");
    energizer->batteryVoltage = 13.625;
    // Thresholds are stored in steps of 170 V, the capacitor maximum in steps of 3.9 V.
    for (const auto& [param, volts] : {std::pair{40, 1700.0}, {41, 1870.0}, {42, 2040.0}, {32, 475.8}, {55, 3400.0},
                                       {56, 3570.0}, {57, 3740.0}, {47, 0.0}})
        configDlg->setParam(param, volts);

    ScopeUnit unit;
    unit.setObjectName(name);
    unit.timerTick();
    const bool sampling = samples.first() != 0;
    const CircularBuffer* buffers[] = {unit.outputBuffer, unit.returnBuffer, unit.hvCheckBuffer, unit.hvAlarmBuffer,
                                       unit.lvAlarmBuffer};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(int(buffers[i]->size()), sampling ? 1001 : 1000);
        QCOMPARE(buffers[i]->values.last(), samples.at(i));
    }
    QCOMPARE(::readouts(unit), readouts);

    // The next sample follows the record and the energizer, not a cached copy.
    configDlg->setParam(name == QLatin1String("unit2") ? 55 : 40, 510.0);
    energizer->outputVoltage1 = energizer->outputVoltage2 = 9000;
    unit.timerTick();
    QCOMPARE(unit.outputBuffer->values.last(), sampling ? 9000.0 : 0.0);
    QCOMPARE(unit.hvCheckBuffer->values.last(), sampling ? 510.0 : 0.0);
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
    QCOMPARE(unit.returnBuffer->values.last(), 13000.0);
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
