#include "device/coloredprogressbar.h"

#include <QPainter>
#include <QtTest>

namespace {

constexpr int W = 180;
constexpr int H = 22;

QImage render(int level)
{
    ColoredProgressBar bar;
    bar.setRange(0, 9);
    bar.setFormat(QString());
    bar.setValue(level);
    bar.resize(W, H);
    QImage image(W, H, QImage::Format_ARGB32);
    image.fill(Qt::white);
    bar.render(&image);
    return image;
}

bool close(QRgb a, QColor b, int tolerance)
{
    return qAbs(qRed(a) - b.red()) <= tolerance && qAbs(qGreen(a) - b.green()) <= tolerance
           && qAbs(qBlue(a) - b.blue()) <= tolerance;
}

// Bounding box of the dark text pixels.
QRect darkPixels(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) < 70 && qGreen(c) < 70 && qBlue(c) < 70)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

} // namespace

class TestColoredProgressBar : public QObject
{
    Q_OBJECT
private slots:
    void bands_data();
    void bands();
    void levelZeroIsBlueGradient();
};

void TestColoredProgressBar::bands_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QColor>("fill");

    QTest::newRow("3 red") << 3 << QColor(Qt::red);
    QTest::newRow("4 yellow") << 4 << QColor(Qt::yellow);
    QTest::newRow("6 yellow") << 6 << QColor(Qt::yellow);
    QTest::newRow("7 green") << 7 << QColor(Qt::green);
    QTest::newRow("9 green, full") << 9 << QColor(Qt::green);
}

void TestColoredProgressBar::bands()
{
    QFETCH(int, level);
    QFETCH(QColor, fill);
    const QImage image = render(level);
    const int split = W * level / 9; // where the coloured part ends
    const QColor grey(Qt::lightGray);

    // Rows near the top and bottom edge, clear of the centred number.
    for (int y : {3, H - 4}) {
        for (int x = 2; x < split - 2; ++x)
            QVERIFY2(image.pixel(x, y) == fill.rgb(), qPrintable(QStringLiteral("filled at %1,%2").arg(x).arg(y)));
        for (int x = split + 2; x < W - 2; ++x)
            QVERIFY2(image.pixel(x, y) == grey.rgb(), qPrintable(QStringLiteral("rest at %1,%2").arg(x).arg(y)));
    }

    const QRect text = darkPixels(image);
    QVERIFY(!text.isEmpty());
    QVERIFY2(qAbs(text.center().x() - W / 2) <= 2, qPrintable(QString::number(text.center().x())));
    QVERIFY2(qAbs(text.center().y() - H / 2) <= 2, qPrintable(QString::number(text.center().y())));
    QVERIFY(text.width() < W / 6); // one digit, not a percentage
}

void TestColoredProgressBar::levelZeroIsBlueGradient()
{
    const QImage image = render(0);
    // Diagonal gradient from (33,152,192) at the top left to (13,92,166) at the bottom right.
    QVERIFY(close(image.pixel(1, 1), QColor(33, 152, 192), 6));
    QVERIFY(close(image.pixel(W - 2, H - 2), QColor(13, 92, 166), 6));
    int previousGreen = 256;
    for (int x = 2; x < W - 2; x += 10) {
        if (qAbs(x - W / 2) < 15)
            continue; // the number
        const QRgb c = image.pixel(x, H / 2);
        QVERIFY(qBlue(c) > qGreen(c) && qGreen(c) > qRed(c));
        QVERIFY(qGreen(c) <= previousGreen);
        previousGreen = qGreen(c);
    }
    const QRect text = darkPixels(image);
    QVERIFY(!text.isEmpty());
    QVERIFY(qAbs(text.center().x() - W / 2) <= 2);
    QVERIFY(qAbs(text.center().y() - H / 2) <= 2);
}

QTEST_MAIN(TestColoredProgressBar)
#include "tst_coloredprogressbar.moc"
