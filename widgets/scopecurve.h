#pragma once

#include <qwt_plot_curve.h>

// A curve of held samples: the values change about once a second, so most
// neighbours are equal. Each run of equal values is drawn as one line from
// its first to its last point instead of a thousand one-pixel pieces.
class ScopeCurve : public QwtPlotCurve
{
public:
    using QwtPlotCurve::QwtPlotCurve;

protected:
    void drawLines(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap, const QRectF& canvasRect,
                   int from, int to) const override;
};
