#include "widgets/coloredprogressbar.h"

#include <QtTest>

class TestColoredProgressBar : public QObject
{
    Q_OBJECT
private slots:
    void levels_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QColor>("fill"); // none: the blue gradient of level 0
        QTest::newRow("0 blue gradient") << 0 << QColor();
        // Both edges of every band.
        QTest::newRow("1 red") << 1 << QColor(Qt::red);
        QTest::newRow("3 red") << 3 << QColor(Qt::red);
        QTest::newRow("4 yellow") << 4 << QColor(Qt::yellow);
        QTest::newRow("6 yellow") << 6 << QColor(Qt::yellow);
        QTest::newRow("7 green") << 7 << QColor(Qt::green);
        QTest::newRow("9 green, full") << 9 << QColor(Qt::green);
    }

    // The level's share filled in its band's colour, the rest light grey, and
    // the level as one dark digit in the middle, not a percentage.
    void levels()
    {
        QFETCH(int, level);
        QFETCH(QColor, fill);
        const int W = 180, H = 22;
        ColoredProgressBar bar;
        bar.setRange(0, 9);
        bar.setFormat(QString());
        bar.setValue(level);
        bar.resize(W, H);
        QImage image(W, H, QImage::Format_ARGB32);
        image.fill(Qt::white);
        bar.render(&image);

        const auto near = [](QRgb a, QColor b) {
            return qAbs(qRed(a) - b.red()) <= 6 && qAbs(qGreen(a) - b.green()) <= 6 && qAbs(qBlue(a) - b.blue()) <= 6;
        };
        // Top left to bottom right of level 0's gradient.
        QVERIFY(fill.isValid() || (near(image.pixel(1, 1), QColor(33, 152, 192)) && near(image.pixel(W - 2, H - 2), QColor(13, 92, 166))));
        const int split = W * level / 9;
        QRect text;
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                const QRgb c = image.pixel(x, y);
                if (qRed(c) < 70 && qGreen(c) < 70 && qBlue(c) < 70)
                    text |= QRect(x, y, 1, 1);
                // Rows near the top and bottom edge, clear of the digit.
                if (fill.isValid() && (y == 3 || y == H - 4) && x >= 2 && x < W - 2 && qAbs(x - split) >= 2)
                    QVERIFY2(c == (x < split ? fill : QColor(Qt::lightGray)).rgb(), qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
            }
        }
        QVERIFY(qAbs(text.center().x() - W / 2) <= 2 && qAbs(text.center().y() - H / 2) <= 2 && text.width() < W / 6);
    }
};

QTEST_MAIN(TestColoredProgressBar)
#include "tst_coloredprogressbar.moc"
