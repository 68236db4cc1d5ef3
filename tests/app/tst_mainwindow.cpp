// The main window against a loopback module that never answers: its texts in
// the environment's language, the CONFIG button and its PIN check, the panel's
// numbers, the zone buttons, and the scope (its sample buffer, plot, zone
// units and dialog). Run again under a German locale for windowTexts only.
#include "app/globals.h"
#include "app/mainwindow.h"
#include "app/translations.h"
#include "widgets/configdlg.h"
#include "services/configmodel.h"
#include "protocol/energizer.h"
#include "link/energizerlink.h"
#include "widgets/circularbuffer.h"
#include "widgets/plot.h"
#include "widgets/scopecurve.h"
#include "widgets/scopedlg.h"
#include "widgets/scopeunit.h"
#include "widgets/settingsdlg.h"
#include "testsettings.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkDatagram>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <qwt_plot_curve.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>

#include <memory>

namespace {
QStringList logged;
void keepMessage(QtMsgType, const QMessageLogContext&, const QString& message) { logged << message; }

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

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(module.bind(QHostAddress(QHostAddress::LocalHost), 0));
        writeSettingsIni(QStringLiteral("127.0.0.1"), module.localPort());
        translated = installTranslations(*qApp, {QStringLiteral(EC_QM_DIR)});
        window = std::make_unique<MainWindow>();
        // No replies come, so keep the poll timer from resetting the panel mid-test.
        pollTimer->stop();
    }

    void init()
    {
        QLocale::setDefault(startLocale);
        energizer->reset();
        window->configModel().setBlock(defaultConfigBlock());
    }

    void windowTexts()
    {
        const bool german = qgetenv("LANG").startsWith("de");
        QCOMPARE(translated, german);
        const auto expect = [german](const QString& shown, const char* english, const char* deutsch) {
            QCOMPARE(shown, QString::fromUtf8(german ? deutsch : english));
        };
        expect(window->findChild<QMenu*>(QStringLiteral("menuFile"))->title(), "File", "Datei");
        expect(window->findChild<QMenu*>(QStringLiteral("menuHelp"))->title(), "Help", "Hilfe");
        expect(widget<QGroupBox>("groupBox_2")->title(), "Fence 1 Control", "Steuerung Zaun 1");
        expect(window->findChild<SettingsDlg*>()->windowTitle(), "Settings", "Einstellungen");
        // The manual's name is the same in every language.
        expect(widget<QAction>("actOrvikConfigurator")->text(), "Orvik Configurator", "Orvik Configurator");
        // Qt's own translation, for the standard dialogs.
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        expect(box.button(QDialogButtonBox::Cancel)->text(), "Cancel", "Abbrechen");
    }

    // CONFIG opens only when the PIN typed in the settings is the energizer's
    // exactly: not with a leading zero, nor a longer PIN that starts with or
    // contains it, nor its first digits. Applying reopens the link, which checks
    // again; the trace says whether they match, never the digits.
    void installerPinMustMatchExactly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("unlocks");
        QTest::newRow("leading zero") << QStringLiteral("0407318") << false;
        QTest::newRow("the same") << QString::fromLatin1(DefaultInstallerPin) << true;
        QTest::newRow("starts with it") << QStringLiteral("4073185") << false;
        QTest::newRow("contains it") << QStringLiteral("94073185") << false;
        QTest::newRow("its first digits") << QStringLiteral("4073") << false;
    }

    void installerPinMustMatchExactly()
    {
        QFETCH(QString, typed);
        QFETCH(bool, unlocks);
        auto* config = widget<QPushButton>("btnConfig");
        if (!window->configModel().received()) {
            QVERIFY(!config->isEnabled());
            QVERIFY(config->toolTip().contains(QLatin1String("No configuration")));
        }
        ConfigBlock block = defaultConfigBlock();
        setParam(block, 20, QString::fromLatin1(DefaultInstallerPin));
        window->configModel().setReply(QByteArray(reinterpret_cast<const char*>(block.data()), ConfigBlockSize));
        auto* settings = window->findChild<SettingsDlg*>();
        settings->findChild<QLineEdit*>(QStringLiteral("edtInstallerPIN"))->setText(typed);
        QTimer::singleShot(0, settings->findChild<QPushButton*>(QStringLiteral("btnApply")), &QPushButton::click);
        logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
        widget<QAction>("actSerialParams")->trigger();
        qInstallMessageHandler(previous);
        QCOMPARE(settings->settings().installerPin, typed);
        QCOMPARE(config->isEnabled(), unlocks);
        QCOMPARE(config->toolTip().contains(QLatin1String("Installer PIN")), !unlocks);
        QVERIFY(!logged.isEmpty());
        for (const QString& line : qAsConst(logged))
            QVERIFY2(!line.contains(QLatin1String("4073")), qPrintable(line));
    }

    void numbersInLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("battery");
        QTest::addColumn<QString>("supply");
        // The six zone voltages ignore the locale; battery and supply follow it.
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "13.6" << "1,234.6";
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << "13,6" << "1.234,6";
    }

    void numbersInLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, battery);
        QFETCH(QString, supply);
        QLocale::setDefault(locale);

        energizer->outputVoltage1 = 5000.0;
        energizer->outputVoltage2 = 6.25;
        energizer->returnVoltage1 = 1593.75;
        energizer->returnVoltage2 = 1234567.0;
        energizer->capVoltage1 = 0.1 + 0.2;
        energizer->capVoltage2 = -12.5;
        energizer->batteryVoltage = 13.625;
        energizer->supplyVoltage = 1234.56;
        energizer->fenceLevel2 = 9;
        emit energizer->paramChanged();
        QStringList got;
        for (const char* edit : {"edtOVoltage1", "edtOVoltage2", "edtRVoltage1", "edtRVoltage2", "edtCVoltage1",
                                 "edtCVoltage2", "edtBatteryVoltage", "edtSupplyVoltage"})
            got << widget<QLineEdit>(edit)->text();
        QCOMPARE(got, QStringList({"5000", "6.25", "1593.75", "1.23457e+06", "0.3", "-12.5", battery, supply}));
        QCOMPARE(widget<QProgressBar>("pbFence2")->value(), 9);
    }

    // The buttons follow the zones without sending commands; a click sends one.
    void zoneButtonsMirrorWithoutSendingCommands()
    {
        const auto zoneCommands = [this] {
            int count = 0;
            while (module.hasPendingDatagrams()) {
                const QByteArray data = module.receiveDatagram().data();
                count += data.size() == 7 && quint8(data.at(2)) == 0x05;
            }
            return count;
        };
        zoneCommands(); // drop what the start-up sent

        const QPair<const char*, bool Energizer::*> zones[] = {{"btnON1", &Energizer::fenceOn1},
            {"btnHV1", &Energizer::fenceHv1}, {"btnON2", &Energizer::fenceOn2}, {"btnHV2", &Energizer::fenceHv2}};
        for (int pattern : {0b1001, 0b0110, 0}) {
            for (int i = 0; i < 4; ++i)
                energizer->*(zones[i].second) = pattern >> i & 1;
            emit energizer->paramChanged();
            for (int i = 0; i < 4; ++i)
                QVERIFY2(widget<QPushButton>(zones[i].first)->isChecked() == bool(pattern >> i & 1), zones[i].first);
        }

        // Loopback delivers in order, so a command sent by mistake above
        // arrives before the click's and makes the count more than one.
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTest::mouseClick(widget<QPushButton>("btnON2"), Qt::LeftButton);
        int sent = 0;
        QTRY_VERIFY((sent += zoneCommands()) > 0);
        QCOMPARE(sent, 1);
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
        for (int i = 0; i < ScopeUnit::LineCount; ++i)
            QCOMPARE(unit.buffers[i]->sample(1000), QPointF(0.0, samples.at(i)));
        QCOMPARE(int(unit.buffers[ScopeUnit::Output]->size()), 1001);
        QStringList shown; // stored energy, capacity used, output, return, battery, level, status
        for (const char* edit : {"edtStoredEnergy", "edtCapacityUsed", "edtOutputVoltage", "edtReturnVoltage",
                                 "edtBatteryVoltage", "edtCondition", "edtFenceStatus"})
            shown << unit.findChild<QLineEdit*>(QLatin1String(edit))->text();
        QCOMPARE(shown, readouts);

        // The next sample follows the record and the energizer, not a cached copy.
        window->configModel().setParam(name == QLatin1String("unit2") ? 55 : 40, 510.0);
        energizer->outputVoltage1 = energizer->outputVoltage2 = 9000;
        unit.timerTick();
        QCOMPARE(unit.buffers[ScopeUnit::Output]->sample(1000), QPointF(0.0, 9000.0));
        QCOMPARE(unit.buffers[ScopeUnit::HvCheck]->sample(1000), QPointF(0.0, 510.0));
        // The x axis reads in seconds.
        for (const auto& [x, label] : {std::pair{-1000.0, "-10 s"}, {-250.0, "-2.5 s"}, {0.0, "0 s"}, {-1.0, "-0.01 s"}})
            QCOMPARE(unit.plot->axisScaleDraw(QwtPlot::xBottom)->label(x).text(), QString(label));
    }

    // Unchecking a line hides it while sampling goes on, and a GUI thread
    // busy for a while costs no sample: ten seconds of plot are always a
    // thousand samples. Samples every 10 ms, but the canvas is painted at most
    // once per display frame (17 ms), even while every sample brings a new value.
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
        qint64 start = unit.samplesTaken();
        QThread::msleep(250); // the busy GUI thread
        energizer->returnVoltage1 = 13000.0;
        // The first tick after the stall makes up for all of it, and never more.
        QVERIFY(QTest::qWaitFor([&] { return unit.samplesTaken() > start; }));
        const qint64 got = unit.samplesTaken() - start;
        QVERIFY2(got >= 250 / 10 - 1 && got <= clock.elapsed() / 10 + 10,
                 qPrintable(QStringLiteral("%1 samples in %2 ms").arg(got).arg(clock.elapsed())));
        // The stall held the old value; the new one starts after it.
        const QVector<double>& values = unit.buffers[ScopeUnit::Return]->values;
        QCOMPARE(values.at(values.size() - int(got)), 14000.0);
        QCOMPARE(values.last(), 13000.0);
        QCOMPARE(redPixels(unit.plot->canvas()->grab().toImage()), 0);
        check->click();
        QVERIFY(redPixels(unit.plot->canvas()->grab().toImage()) > 100);

        struct PaintCounter : QObject
        {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        unit.plot->canvas()->installEventFilter(&counter);
        clock.restart();
        start = unit.samplesTaken();
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

private:
    template <typename T>
    T* widget(const char* name) const
    {
        T* w = window->findChild<T*>(QLatin1String(name));
        return w ? w : (qFatal("missing widget %s", name), nullptr);
    }

    QUdpSocket module; // stands in for the network module on loopback
    std::unique_ptr<MainWindow> window;
    QLocale startLocale;
    bool translated = false;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
