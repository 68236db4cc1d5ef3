// The scope's sample buffer, plot and zone units, and the dialog opened from the main window.
#include "app/globals.h"
#include "app/mainwindow.h"
#include "config/configdlg.h"
#include "device/energizer.h"
#include "scope/circularbuffer.h"
#include "scope/plot.h"
#include "scope/scopecurve.h"
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
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>

#include <limits>
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

class TestScope : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void bufferKeepsLastSamples_data();
    void bufferKeepsLastSamples();
    void bufferStaysFixed();
    void scaleLabels_data();
    void scaleLabels();
    void joinedRunsDrawLikePointByPoint_data();
    void joinedRunsDrawLikePointByPoint();
    void samplesItsZone_data();
    void samplesItsZone();
    void uncheckedLineHidesWhileSamplingGoesOn();
    void lateTicksSkipNoSample();
    void dialogSamplesBothTabsAndCloseDeletesAll();
    void dialogFitsShownSize(); // last: the application font it sets stays

private:
    std::unique_ptr<MainWindow> window;
};

void TestScope::initTestCase()
{
    QTcpServer probe; // a loopback port nobody listens on once it closes
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    writeSettingsIni(QStringLiteral("127.0.0.1"), port, 1, 2);
    window = std::make_unique<MainWindow>();
    pollTimer->stop(); // silence would reset the fields the tests set
}

void TestScope::init()
{
    energizer->reset();
    configDlg->configBlock = configDlg->defaultBlock;
}

// Each zone gets its own values so a mix-up shows.
void TestScope::samplesItsZone_data()
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

void TestScope::samplesItsZone()
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

void TestScope::uncheckedLineHidesWhileSamplingGoesOn()
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
void TestScope::lateTicksSkipNoSample()
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

void TestScope::dialogSamplesBothTabsAndCloseDeletesAll()
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

// After appending 1, 2, ..., n the window of 1001 (or the initial 1000 zeros)
// runs from oldest at -1000 to newest, one apart.
void TestScope::bufferKeepsLastSamples_data()
{
    QTest::addColumn<int>("appended");
    QTest::addColumn<int>("size");
    QTest::addColumn<double>("oldest");
    QTest::addColumn<double>("newest");
    QTest::newRow("fresh") << 0 << 1000 << 0.0 << 0.0;
    QTest::newRow("first append") << 1 << 1001 << 0.0 << 1.0;
    QTest::newRow("oldest dropped") << 1002 << 1001 << 2.0 << 1002.0;
    QTest::newRow("many laps") << 5000 << 1001 << 4000.0 << 5000.0;
}

void TestScope::bufferKeepsLastSamples()
{
    QFETCH(int, appended);
    QFETCH(int, size);
    QFETCH(double, oldest);
    QFETCH(double, newest);

    CircularBuffer buffer;
    for (int v = 1; v <= appended; ++v)
        buffer.append(v);
    QCOMPARE(int(buffer.size()), size);
    QCOMPARE(buffer.sample(0), QPointF(-1000.0, oldest));
    QCOMPARE(buffer.sample(buffer.size() - 1), QPointF(size - 1 - 1000.0, newest));
    for (size_t i = 1; i < buffer.size(); ++i) {
        const QPointF step = buffer.sample(i) - buffer.sample(i - 1);
        QCOMPARE(step.x(), 1.0);
        if (buffer.sample(i - 1).y() != 0.0)
            QCOMPARE(step.y(), 1.0);
    }
}

// Fixed bounding rectangle, no allocation once full, any index inside the data.
void TestScope::bufferStaysFixed()
{
    CircularBuffer buffer;
    const QRectF fresh = buffer.boundingRect();
    QCOMPARE(fresh, QRectF(-1.0, -1000.0, 2.0, 1000.0));
    buffer.append(7.0);
    const double* storage = buffer.values.constData();
    QCOMPARE(buffer.sample(2001).y(), 7.0);
    QCOMPARE(buffer.sample(std::numeric_limits<size_t>::max()).x(), double(std::numeric_limits<size_t>::max()) - 1000.0);
    for (double v : {15000.0, -3.0, 1e9})
        buffer.append(v);
    QCOMPARE(buffer.boundingRect(), fresh);
    for (int i = 0; i < 3000; ++i)
        buffer.append(i);
    QCOMPARE(buffer.values.constData(), storage);
}

void TestScope::scaleLabels_data()
{
    QTest::addColumn<double>("position");
    QTest::addColumn<QString>("label");
    QTest::newRow("left edge") << -1000.0 << QStringLiteral("-10 s");
    QTest::newRow("quarter") << -250.0 << QStringLiteral("-2.5 s");
    QTest::newRow("right edge") << 0.0 << QStringLiteral("0 s");
    QTest::newRow("one sample") << -1.0 << QStringLiteral("-0.01 s");
}

void TestScope::scaleLabels()
{
    QFETCH(double, position);
    QFETCH(QString, label);
    Plot plot(15000.0);
    QCOMPARE(plot.axisScaleDraw(QwtPlot::xBottom)->label(position).text(), label);
}

namespace {

// The canvas with one red curve of values, or nothing when the axes followed the data.
QImage drawnCanvas(QwtPlotCurve* curve, const QVector<double>& values)
{
    Plot plot(15000.0);
    auto* buffer = new CircularBuffer;
    for (double v : values)
        buffer->append(v);
    curve->setPen(QPen(Qt::red, 0.0));
    curve->setData(buffer);
    curve->attach(&plot);
    plot.resize(700, 350);
    plot.replot();
    if (plot.axisScaleDiv(QwtPlot::xBottom).interval() != QwtInterval(-1000.0, 0.0)
        || plot.axisScaleDiv(QwtPlot::yLeft).interval() != QwtInterval(0.0, 15000.0))
        return {};
    return plot.canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

void TestScope::joinedRunsDrawLikePointByPoint_data()
{
    QTest::addColumn<QVector<double>>("values");
    QVector<double> steps, spikes, offCanvas;
    for (int i = 0; i < 1001; ++i) {
        steps << 5000.0 + 1000.0 * ((i / 100) % 4);
        spikes << (i % 97 == 0 ? 12000.0 : 3000.0);
        offCanvas << ((i / 150) % 2 ? 1e12 : ((i / 75) % 2 ? -1e12 : 7000.0));
    }
    QTest::newRow("steps") << steps;
    QTest::newRow("one-sample spikes") << spikes;
    QTest::newRow("far off the canvas") << offCanvas;
}

// Joining runs of equal values is only a shortcut: the picture must stay the
// one the point-by-point curve draws, give or take a pixel at a joint.
void TestScope::joinedRunsDrawLikePointByPoint()
{
    QFETCH(QVector<double>, values);
    const QImage expected = drawnCanvas(new QwtPlotCurve, values);
    const QImage joined = drawnCanvas(new ScopeCurve, values);
    QVERIFY(!expected.isNull() && joined.size() == expected.size());
    int red = 0;
    int differing = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            red += expected.pixel(x, y) == qRgb(255, 0, 0);
            differing += expected.pixel(x, y) != joined.pixel(x, y);
        }
    }
    QVERIFY(red > 0);
    QVERIFY2(differing <= 2 + red / 100, qPrintable(QStringLiteral("%1 of %2 curve pixels differ").arg(differing).arg(red)));
}

// The form asks for 1005 x 546; with the main window's button style sheet and
// a 9 pt desktop font the read-outs must not make the dialog grow past it.
void TestScope::dialogFitsShownSize()
{
    QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    ScopeDlg dialog(window.get());
    QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("btnClose"))->styleSheet().isEmpty());
    const QSize hint = dialog.minimumSizeHint();
    QVERIFY2(hint.boundedTo({1005, 546}) == hint,
             qPrintable(QStringLiteral("%1 x %2").arg(hint.width()).arg(hint.height())));
}

QTEST_MAIN(TestScope)
#include "tst_scope.moc"
