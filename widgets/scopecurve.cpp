#include "widgets/scopecurve.h"

#include <QPolygonF>

#include <qwt_painter.h>
#include <qwt_scale_map.h>

#include <cmath>

namespace {
constexpr double OffCanvasLimit = 1e5;
}

void ScopeCurve::drawLines(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                           const QRectF& canvasRect, int from, int to) const
{
    const QwtSeriesData<QPointF>* series = data();
    if (from < 0 || to >= static_cast<int>(series->size()) || from >= to) {
        QwtPlotCurve::drawLines(painter, xMap, yMap, canvasRect, from, to);
        return;
    }
    const bool round = QwtPainter::roundingAlignment(painter);
    QPolygonF line;
    const auto add = [&](const QPointF& point) {
        double x = xMap.transform(point.x());
        double y = yMap.transform(point.y());
        // Far off-canvas values are pulled in so the rasterizer never sees huge numbers.
        y = qBound(-OffCanvasLimit, y, OffCanvasLimit);
        if (round) {
            x = std::round(x);
            y = std::round(y);
        }
        line.append(QPointF(x, y));
    };

    // A point is kept when it starts or ends a run of equal values.
    QPointF previous = series->sample(static_cast<size_t>(from));
    QPointF current = series->sample(static_cast<size_t>(from) + 1);
    add(previous);
    for (int i = from + 1; i < to; ++i) {
        const QPointF next = series->sample(static_cast<size_t>(i) + 1);
        if (current.y() != previous.y() || current.y() != next.y())
            add(current);
        previous = current;
        current = next;
    }
    add(current);
    QwtPainter::drawPolyline(painter, line);
}
