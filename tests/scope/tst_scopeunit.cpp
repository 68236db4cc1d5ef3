#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/configdlg.h"
#include "device/energizer.h"
#include "scope/circularbuffer.h"
#include "scope/plot.h"
#include "scope/scopedlg.h"
#include "scope/scopeunit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>

#include <memory>

namespace {

double newest(const CircularBuffer* buffer)
{
    return buffer->sample(buffer->size() - 1).y();
}

QString readout(const ScopeUnit& unit, const char* name)
{
    auto* edit = unit.findChild<QLineEdit*>(QLatin1String(name));
    return edit ? edit->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

int pixelsOfColor(QWidget* widget, const QColor& color)
{
    const QImage image = widget->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == color;
    return count;
}

} // namespace

class TestScopeUnit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void samplesItsZone_data();
    void samplesItsZone();
    void readouts_data();
    void readouts();
    void uncheckedLineHidesWhileSamplingGoesOn();
    void lateTicksSkipNoSample();
    void dialogStoneFollowsLink();
    void bothTabsSampleAndCloseDeletesAll();

private:
    std::unique_ptr<MainWindow> window;
};

void TestScopeUnit::initTestCase()
{
    // Point the link at a loopback port nobody listens on.
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    {
        QSettings ini(QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini"),
                      QSettings::IniFormat);
        ini.setValue(QStringLiteral("ownIPAddress"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("IPAddress"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("portNumber"), port);
        ini.setValue(QStringLiteral("comMode"), 1);
        ini.setValue(QStringLiteral("UDP"), 2);
    }
    window = std::make_unique<MainWindow>();
    // No poll: silence would reset the fields the tests set.
    pollTimer->stop();
    QVERIFY(energizer);
    QVERIFY(configDlg);
}

void TestScopeUnit::init()
{
    energizer->reset();
    configDlg->configBlock = configDlg->defaultBlock;
}

void TestScopeUnit::cleanupTestCase()
{
    window.reset();
}

void TestScopeUnit::samplesItsZone_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<double>>("expected"); // output, return, HV check, HV alarm, LV alarm
    QTest::addColumn<QString>("title");
    // Thresholds are stored in steps of 170 V.
    QTest::newRow("zone 1") << QStringLiteral("unit1") << QList<double>{1111, 1222, 1700, 1870, 2040}
                            << QStringLiteral("Fence 1");
    QTest::newRow("zone 2") << QStringLiteral("unit2") << QList<double>{2111, 2222, 3400, 3570, 3740}
                            << QStringLiteral("Fence 2");
    QTest::newRow("other name") << QStringLiteral("unit3") << QList<double>{0, 0, 0, 0, 0} << QString();
    QTest::newRow("case matters") << QStringLiteral("Unit1") << QList<double>{0, 0, 0, 0, 0} << QString();
    QTest::newRow("no name") << QString() << QList<double>{0, 0, 0, 0, 0} << QString();
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
    const QList<QPair<int, double>> thresholds{{40, 1700}, {41, 1870}, {42, 2040}, {55, 3400}, {56, 3570}, {57, 3740}};
    for (const auto& threshold : thresholds)
        configDlg->setParam(threshold.first, threshold.second);

    ScopeUnit unit;
    unit.setObjectName(name);
    unit.timerTick();

    const CircularBuffer* buffers[] = {unit.outputBuffer, unit.returnBuffer, unit.hvCheckBuffer,
                                       unit.hvAlarmBuffer, unit.lvAlarmBuffer};
    const bool samples = !title.isEmpty();
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(int(buffers[i]->size()), samples ? 1001 : 1000);
        QCOMPARE(newest(buffers[i]), expected.at(i));
        QCOMPARE(buffers[i]->sample(0).y(), 0.0);
    }
    QCOMPARE(unit.samplesTaken() > 0, samples);
    QCOMPARE(unit.findChild<QGroupBox*>(QStringLiteral("groupBox"))->title(), title);
    QCOMPARE(unit.findChild<QGroupBox*>(QStringLiteral("groupBox_2"))->title(),
             samples ? title + QStringLiteral(" Actual") : QString());

    // The next sample follows the record and the energizer, not a cached copy.
    configDlg->setParam(samples && name.endsWith(QLatin1Char('2')) ? 55 : 40, 510.0);
    energizer->outputVoltage1 = energizer->outputVoltage2 = 9000;
    unit.timerTick();
    if (samples) {
        QCOMPARE(newest(unit.outputBuffer), 9000.0);
        QCOMPARE(newest(unit.hvCheckBuffer), 510.0);
        QCOMPARE(unit.outputBuffer->values.at(999), expected.at(0));
    }
}

void TestScopeUnit::readouts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("capVoltage");
    QTest::addColumn<double>("capMax"); // stored in steps of 3.9 V
    QTest::addColumn<QString>("energy");
    QTest::addColumn<QString>("capacity");
    QTest::newRow("zone 1") << QStringLiteral("unit1") << 400.0 << 476.0 << QStringLiteral("2.4")
                            << QStringLiteral("70.6759");
    QTest::newRow("zone 2") << QStringLiteral("unit2") << 400.0 << 476.0 << QStringLiteral("2.4")
                            << QStringLiteral("70.6759");
    QTest::newRow("zone 1 no maximum") << QStringLiteral("unit1") << 400.0 << 0.0 << QStringLiteral("2.4")
                                       << QStringLiteral("N/A");
    QTest::newRow("zone 2 idle") << QStringLiteral("unit2") << 0.0 << 475.8 << QStringLiteral("0")
                                 << QStringLiteral("0");
    QTest::newRow("zone 2 at maximum") << QStringLiteral("unit2") << 475.8 << 475.8 << QStringLiteral("3.39578")
                                       << QStringLiteral("100");
    QTest::newRow("zone 1 nothing at all") << QStringLiteral("unit1") << 0.0 << 0.0 << QStringLiteral("0")
                                           << QStringLiteral("N/A");
}

void TestScopeUnit::readouts()
{
    QFETCH(QString, name);
    QFETCH(double, capVoltage);
    QFETCH(double, capMax);
    QFETCH(QString, energy);
    QFETCH(QString, capacity);

    const bool zone2 = name == QLatin1String("unit2");
    // The other zone gets different values so a mix-up shows.
    energizer->capVoltage1 = zone2 ? 100.0 : capVoltage;
    energizer->capVoltage2 = zone2 ? capVoltage : 100.0;
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

    QCOMPARE(readout(unit, "edtStoredEnergy"), energy);
    QCOMPARE(readout(unit, "edtCapacityUsed"), capacity);
    QCOMPARE(readout(unit, "edtOutputVoltage"), QStringLiteral("5000"));
    QCOMPARE(readout(unit, "edtReturnVoltage"), QStringLiteral("4321.5"));
    QCOMPARE(readout(unit, "edtBatteryVoltage"), QStringLiteral("13.625"));
    QCOMPARE(readout(unit, "edtCondition"), QStringLiteral("7"));
    QCOMPARE(readout(unit, "edtFenceStatus"), QStringLiteral("Check"));
}

void TestScopeUnit::uncheckedLineHidesWhileSamplingGoesOn()
{
    const QColor red(255, 0, 0);
    // Above the threshold lines, so no other curve covers it.
    energizer->returnVoltage1 = 14000.0;
    ScopeUnit unit;
    unit.setObjectName(QStringLiteral("unit1"));
    unit.resize(980, 420);
    unit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&unit));
    QTRY_VERIFY(unit.samplesTaken() > 100);
    QwtPlotCanvas* canvas = unit.plot->findChild<QwtPlotCanvas*>();
    QVERIFY(canvas);
    QVERIFY(pixelsOfColor(canvas, red) > 100);

    auto* check = unit.findChild<QCheckBox*>(QStringLiteral("chkColor2"));
    check->click();
    QVERIFY(!check->isChecked());
    QVERIFY(!unit.returnCurve->isVisible());
    for (const QwtPlotCurve* other : {unit.outputCurve, unit.hvCheckCurve, unit.hvAlarmCurve, unit.lvAlarmCurve})
        QVERIFY(other->isVisible());
    QCOMPARE(pixelsOfColor(canvas, red), 0);

    energizer->returnVoltage1 = 13000.0;
    const qint64 before = unit.samplesTaken();
    QTRY_VERIFY(unit.samplesTaken() > before + 10);
    QCOMPARE(newest(unit.returnBuffer), 13000.0);
    QCOMPARE(pixelsOfColor(canvas, red), 0);

    check->click();
    QVERIFY(unit.returnCurve->isVisible());
    QVERIFY(pixelsOfColor(canvas, red) > 100);
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

void TestScopeUnit::dialogStoneFollowsLink()
{
    ScopeDlg dialog(window.get());
    auto* stone = dialog.findChild<QLabel*>(QStringLiteral("lblComStatus"));
    const QImage red = QPixmap(QStringLiteral(":/images/redStone.png")).toImage();
    const QImage green = QPixmap(QStringLiteral(":/images/greenStone.png")).toImage();
    QVERIFY(red != green);
    const auto shown = [stone] { return stone->pixmap()->toImage(); };

    energizer->online = true;
    QCOMPARE(shown(), red);
    emit energizer->paramChanged();
    QCOMPARE(shown(), green);
    energizer->online = false;
    emit energizer->paramChanged();
    QCOMPARE(shown(), red);

}

void TestScopeUnit::bothTabsSampleAndCloseDeletesAll()
{
    QPointer<ScopeDlg> dialog;
    QPointer<ScopeUnit> units[2];
    QPointer<Plot> plots[2];
    qint64 counts[2] = {0, 0};
    bool hiddenTabHidden = false;

    QTimer::singleShot(0, this, [&] {
        dialog = window->findChild<ScopeDlg*>();
        QVERIFY(dialog);
        units[0] = dialog->findChild<ScopeUnit*>(QStringLiteral("unit1"));
        units[1] = dialog->findChild<ScopeUnit*>(QStringLiteral("unit2"));
        QVERIFY(units[0] && units[1]);
        for (int i = 0; i < 2; ++i)
            plots[i] = units[i]->plot;
        QTRY_VERIFY(units[0]->samplesTaken() >= 50 && units[1]->samplesTaken() >= 50);
        hiddenTabHidden = !plots[1]->isVisible();
        counts[0] = units[0]->samplesTaken();
        counts[1] = units[1]->samplesTaken();
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnClose")), Qt::LeftButton);
    });
    QTimer::singleShot(10000, this, [&] {
        if (dialog)
            dialog->reject();
    });
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("btnScope")), Qt::LeftButton);

    QVERIFY(hiddenTabHidden);
    QVERIFY(counts[0] >= 50);
    QVERIFY(counts[1] >= 50);
    QVERIFY(!dialog);
    QVERIFY(!units[0] && !units[1] && !plots[0] && !plots[1]);
}

QTEST_MAIN(TestScopeUnit)
#include "tst_scopeunit.moc"
