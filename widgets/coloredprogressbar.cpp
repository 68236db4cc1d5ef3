#include "widgets/coloredprogressbar.h"

#include <QLinearGradient>
#include <QPainter>
#include <QStyle>

ColoredProgressBar::ColoredProgressBar(QWidget* parent)
    : QProgressBar(parent)
{
}

// Coloured part by level band (red 1..3, yellow 4..6, green above), light-grey
// remainder, a blue gradient for level 0, the level number centred in black.
void ColoredProgressBar::paintEvent(QPaintEvent*)
{
    const int w = width();
    const int h = height();
    const int v = value();
    const int p = QStyle::sliderPositionFromValue(minimum(), maximum(), v, w, false);

    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(QPoint(0, 0), QPoint(p - 1, h - 1)));

    painter.setPen(Qt::lightGray);
    if (v != 0) {
        painter.setBrush(v >= 1 && v <= 3 ? Qt::red : v >= 4 && v <= 6 ? Qt::yellow : Qt::green);
    } else {
        QLinearGradient gradient(0, 0, w, h);
        gradient.setColorAt(0.0, QColor(33, 152, 192));
        gradient.setColorAt(1.0, QColor(13, 92, 166));
        painter.setBrush(gradient);
        painter.fillRect(QRect(QPoint(p, 0), QPoint(p + w - 1, h - 1)), painter.brush());
    }
    painter.drawRect(QRect(QPoint(0, 0), QPoint(p - 1, h - 1)));

    if (v != 0) {
        painter.setPen(Qt::lightGray);
        painter.setBrush(Qt::lightGray);
        painter.drawRect(QRect(QPoint(p, 0), QPoint(p + w - 1, h - 1)));
    }

    painter.setPen(Qt::black);
    painter.setBrush(Qt::black);
    painter.drawText(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)), Qt::AlignCenter, QString::number(v));
}
