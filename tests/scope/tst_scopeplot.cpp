#include "scope/circularbuffer.h"
#include "scope/plot.h"
#include "scope/scopecurve.h"

#include <QtTest>

#include <qwt_plot_curve.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>

#include <limits>

class TestScopePlot : public QObject
{
    Q_OBJECT
private slots:
    void bufferKeepsLastSamples_data();
    void bufferKeepsLastSamples();
    void bufferStaysFixed();
    void scaleLabels_data();
    void scaleLabels();
    void joinedRunsDrawLikePointByPoint_data();
    void joinedRunsDrawLikePointByPoint();
};

// After appending 1, 2, ..., n the window of 1001 (or the initial 1000 zeros)
// runs from oldest at -1000 to newest, one apart.
void TestScopePlot::bufferKeepsLastSamples_data()
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

void TestScopePlot::bufferKeepsLastSamples()
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
void TestScopePlot::bufferStaysFixed()
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

void TestScopePlot::scaleLabels_data()
{
    QTest::addColumn<double>("position");
    QTest::addColumn<QString>("label");
    QTest::newRow("left edge") << -1000.0 << QStringLiteral("-10 s");
    QTest::newRow("quarter") << -250.0 << QStringLiteral("-2.5 s");
    QTest::newRow("right edge") << 0.0 << QStringLiteral("0 s");
    QTest::newRow("one sample") << -1.0 << QStringLiteral("-0.01 s");
}

void TestScopePlot::scaleLabels()
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

void TestScopePlot::joinedRunsDrawLikePointByPoint_data()
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
void TestScopePlot::joinedRunsDrawLikePointByPoint()
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

QTEST_MAIN(TestScopePlot)
#include "tst_scopeplot.moc"
