// The scope's sample buffer, plot and zone units, and the dialog opened from the main window.
#include "app/globals.h"
#include "app/mainwindow.h"
#include "services/configmodel.h"
#include "protocol/energizer.h"
#include "link/energizerlink.h"
#include "widgets/circularbuffer.h"
#include "widgets/plot.h"
#include "widgets/scopecurve.h"
#include "widgets/scopedlg.h"
#include "widgets/scopeunit.h"
#include "testsettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QThread>
#include <QtTest>

#include <qwt_plot_curve.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>

#include <memory>

namespace {

int redPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == QColor(Qt::red);
    return count;
}

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

class TestScope : public QObject
{
    Q_OBJECT
    std::unique_ptr<MainWindow> window;

private slots:
    void initTestCase()
    {
        QTcpServer probe; // a loopback port nobody listens on once it closes
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        writeSettingsIni(QStringLiteral("127.0.0.1"), port, 1, 2);
        window = std::make_unique<MainWindow>();
        pollTimer->stop(); // silence would reset the fields the tests set
    }

    void init()
    {
        energizer->reset();
        window->configModel().setBlock(defaultConfigBlock());
    }

    // Each zone gets its own values so a mix-up shows.
    void samplesItsZone_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<double>>("samples"); // output, return, HV check, HV alarm, LV alarm
        QTest::addColumn<QStringList>("readouts");
        QTest::newRow("zone 1") << "unit1" << QList<double>{1111, 1222.5, 1700, 1870, 2040}
                                << QStringList{"2.4", "70.6759", "1111", "1222.5", "13.625", "7", "Check"};
        QTest::newRow("zone 2, no maximum") << "unit2" << QList<double>{2111, 2222, 3400, 3570, 3740}
                                            << QStringList{"0.6", "N/A", "2111", "2222", "13.625", "3", "Fail"};
    }

    void samplesItsZone()
    {
        QFETCH(QString, name);
        QFETCH(QList<double>, samples);
        QFETCH(QStringList, readouts);

        energizer->outputVoltage1 = 1111, energizer->returnVoltage1 = 1222.5, energizer->capVoltage1 = 400;
        energizer->fenceLevel1 = 7, energizer->fenceCondition1 = QStringLiteral("Check");
        energizer->outputVoltage2 = 2111, energizer->returnVoltage2 = 2222, energizer->capVoltage2 = 200;
        energizer->fenceLevel2 = 3, energizer->fenceCondition2 = QStringLiteral("Fail");
        energizer->batteryVoltage = 13.625;
        // Thresholds are stored in steps of 170 V, the capacitor maximum in steps of 3.9 V.
        for (const auto& [param, volts] : {std::pair{40, 1700.0}, {41, 1870.0}, {42, 2040.0}, {32, 475.8}, {55, 3400.0},
                                           {56, 3570.0}, {57, 3740.0}, {47, 0.0}})
            window->configModel().setParam(param, volts);

        ScopeUnit unit(name == QLatin1String("unit2") ? 2 : 1, window->configModel(), window->link()->station());
        QCOMPARE(unit.objectName(), name);
        unit.timerTick();
        // The window holds the last 1001 samples (at first 1000 zeros), oldest at -1000.
        const CircularBuffer* buffers[] = {unit.outputBuffer, unit.returnBuffer, unit.hvCheckBuffer, unit.hvAlarmBuffer,
                                           unit.lvAlarmBuffer};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(buffers[i]->sample(1000), QPointF(0.0, samples.at(i)));
        QCOMPARE(int(unit.outputBuffer->size()), 1001);
        QStringList shown; // stored energy, capacity used, output, return, battery, level, status
        for (const char* edit : {"edtStoredEnergy", "edtCapacityUsed", "edtOutputVoltage", "edtReturnVoltage",
                                 "edtBatteryVoltage", "edtCondition", "edtFenceStatus"})
            shown << unit.findChild<QLineEdit*>(QLatin1String(edit))->text();
        QCOMPARE(shown, readouts);

        // The next sample follows the record and the energizer, not a cached copy.
        window->configModel().setParam(name == QLatin1String("unit2") ? 55 : 40, 510.0);
        energizer->outputVoltage1 = energizer->outputVoltage2 = 9000;
        unit.timerTick();
        QCOMPARE(unit.outputBuffer->sample(1000), QPointF(0.0, 9000.0));
        QCOMPARE(unit.hvCheckBuffer->sample(1000), QPointF(0.0, 510.0));
        // The x axis reads in seconds.
        for (const auto& [x, label] : {std::pair{-1000.0, "-10 s"}, {-250.0, "-2.5 s"}, {0.0, "0 s"}, {-1.0, "-0.01 s"}})
            QCOMPARE(unit.plot->axisScaleDraw(QwtPlot::xBottom)->label(x).text(), QString(label));
    }

    // Unchecking a line hides it while sampling goes on, and a GUI
    // thread busy for a while costs no sample: ten seconds of plot are always
    // a thousand samples.
    void runningUnit()
    {
        energizer->returnVoltage1 = 14000.0; // above the threshold lines, so no other curve covers it
        ScopeUnit unit(1, window->configModel(), window->link()->station());
        unit.resize(980, 420);
        unit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&unit));
        QTRY_VERIFY(unit.samplesTaken() > 100);
        QVERIFY(redPixels(unit.plot->canvas()->grab().toImage()) > 100);
        auto* check = unit.findChild<QCheckBox*>(QStringLiteral("chkColor2"));
        check->click();

        QElapsedTimer clock;
        clock.start();
        const qint64 start = unit.samplesTaken();
        QThread::msleep(250); // the busy GUI thread
        energizer->returnVoltage1 = 13000.0;
        // The first tick after the stall makes up for all of it, and never more.
        QVERIFY(QTest::qWaitFor([&] { return unit.samplesTaken() > start; }));
        const qint64 got = unit.samplesTaken() - start;
        QVERIFY2(got >= 250 / 10 - 1 && got <= clock.elapsed() / 10 + 10,
                 qPrintable(QStringLiteral("%1 samples in %2 ms").arg(got).arg(clock.elapsed())));
        // The stall held the old value; the new one starts after it.
        const QVector<double>& values = unit.returnBuffer->values;
        QCOMPARE(values.at(values.size() - int(got)), 14000.0);
        QCOMPARE(values.last(), 13000.0);
        QCOMPARE(redPixels(unit.plot->canvas()->grab().toImage()), 0);
        check->click();
        QVERIFY(redPixels(unit.plot->canvas()->grab().toImage()) > 100);
    }

    // Samples every 10 ms, but the canvas is painted at most once per display
    // frame (17 ms), even while every sample brings a new value.
    void paintsAtTheDisplaysPace()
    {
        struct PaintCounter : QObject
        {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        ScopeUnit unit(1, window->configModel(), window->link()->station());
        unit.resize(980, 420);
        unit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&unit));
        QTRY_VERIFY(unit.samplesTaken() > 10);
        unit.plot->canvas()->installEventFilter(&counter);
        QElapsedTimer clock;
        clock.start();
        const qint64 start = unit.samplesTaken();
        QTimer changer; // a new value for every sample
        connect(&changer, &QTimer::timeout, this, [] { energizer->returnVoltage1 = energizer->returnVoltage1 == 14000.0 ? 13000.0 : 14000.0; });
        changer.start(5);
        QTRY_VERIFY(unit.samplesTaken() - start >= 60);
        const qint64 samples = unit.samplesTaken() - start, elapsed = clock.elapsed();
        QVERIFY2(counter.paints >= 5 && counter.paints <= elapsed / 17 + 2,
                 qPrintable(QStringLiteral("%1 paints, %2 samples in %3 ms").arg(counter.paints).arg(samples).arg(elapsed)));
    }

    // Both tabs sample; the stone follows the link;
    // closing deletes it all.
    void dialogSamplesBothTabsAndCloseDeletesAll()
    {
        QPointer<ScopeDlg> dialog; // its units and plots are its children
        bool bothSampled = false, stoneFollowsLink = true;
        QTimer::singleShot(0, this, [&] {
            dialog = window->findChild<ScopeDlg*>();
            const auto* shown = dialog->findChild<ScopeUnit*>(QStringLiteral("unit1"));
            const auto* hidden = dialog->findChild<ScopeUnit*>(QStringLiteral("unit2"));
            bothSampled = QTest::qWaitFor([&] { return shown->samplesTaken() >= 50 && hidden->samplesTaken() >= 50; });
            for (bool online : {true, false}) {
                energizer->online = online;
                emit energizer->paramChanged();
                stoneFollowsLink &= dialog->findChild<QLabel*>(QStringLiteral("lblComStatus"))->pixmap(Qt::ReturnByValue).toImage()
                    == QPixmap(online ? ":/images/greenStone.png" : ":/images/redStone.png").toImage();
            }
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnClose")), Qt::LeftButton);
        });
        QTimer::singleShot(10000, this, [&] { if (dialog) dialog->reject(); });
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("btnScope")), Qt::LeftButton);
        QVERIFY(bothSampled && stoneFollowsLink && !dialog);
    }

    void joinedRunsDrawLikePointByPoint_data()
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
    void joinedRunsDrawLikePointByPoint()
    {
        QFETCH(QVector<double>, values);
        const QImage expected = drawnCanvas(new QwtPlotCurve, values);
        const QImage joined = drawnCanvas(new ScopeCurve, values);
        const int red = redPixels(expected); // none when the axes followed the data
        QVERIFY(red > 0 && joined.size() == expected.size());
        int differing = 0;
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x)
                differing += expected.pixel(x, y) != joined.pixel(x, y);
        QVERIFY2(differing <= 2 + red / 100, qPrintable(QStringLiteral("%1 of %2 curve pixels differ").arg(differing).arg(red)));
    }
};

QTEST_MAIN(TestScope)
#include "tst_scope.moc"
