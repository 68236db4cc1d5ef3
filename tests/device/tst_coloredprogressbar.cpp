#include "device/coloredprogressbar.h"

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

bool near(QRgb a, QColor b)
{
    return qAbs(qRed(a) - b.red()) <= 6 && qAbs(qGreen(a) - b.green()) <= 6 && qAbs(qBlue(a) - b.blue()) <= 6;
}

} // namespace

class TestColoredProgressBar : public QObject
{
    Q_OBJECT
private slots:
    void levels_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QColor>("fill");
        QTest::newRow("0 blue gradient") << 0 << QColor();
        QTest::newRow("3 red") << 3 << QColor(Qt::red);
        QTest::newRow("4 yellow") << 4 << QColor(Qt::yellow);
        QTest::newRow("7 green") << 7 << QColor(Qt::green);
        QTest::newRow("9 green, full") << 9 << QColor(Qt::green);
    }

    void levels()
    {
        QFETCH(int, level);
        QFETCH(QColor, fill);
        const QImage image = render(level);

        if (level == 0) {
            // Diagonal gradient from (33,152,192) at the top left to (13,92,166) at the bottom right.
            QVERIFY(near(image.pixel(1, 1), QColor(33, 152, 192)));
            QVERIFY(near(image.pixel(W - 2, H - 2), QColor(13, 92, 166)));
        } else {
            // Rows near the top and bottom edge, clear of the centred number.
            const int split = W * level / 9;
            for (int y : {3, H - 4}) {
                for (int x = 2; x < W - 2; ++x) {
                    if (qAbs(x - split) < 2)
                        continue;
                    const QRgb want = (x < split ? fill : QColor(Qt::lightGray)).rgb();
                    QVERIFY2(image.pixel(x, y) == want, qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
                }
            }
        }

        // The level as one dark digit in the middle, not a percentage.
        QRect text;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const QRgb c = image.pixel(x, y);
                if (qRed(c) < 70 && qGreen(c) < 70 && qBlue(c) < 70)
                    text |= QRect(x, y, 1, 1);
            }
        QVERIFY(!text.isEmpty());
        QVERIFY2(qAbs(text.center().x() - W / 2) <= 2, qPrintable(QString::number(text.center().x())));
        QVERIFY2(qAbs(text.center().y() - H / 2) <= 2, qPrintable(QString::number(text.center().y())));
        QVERIFY(text.width() < W / 6);
    }
};

QTEST_MAIN(TestColoredProgressBar)
#include "tst_coloredprogressbar.moc"
