#include "widgets/plot.h"

#include "widgets/yourscaledraw.h"

#include <QBrush>
#include <QColor>
#include <QPen>

#include <qwt_plot_canvas.h>
#include <qwt_plot_grid.h>

Plot::Plot(double yMax, QWidget* parent)
    : QwtPlot(parent)
    , interval(1000.0)
    , yMax(yMax)
{
    setCanvasBackground(QBrush(QColor(29, 100, 141)));

    // Every sample scrolls all curves, so each frame is drawn afresh:
    // a cached pixmap of the canvas would only add a copy per frame.
    if (auto* plotCanvas = qobject_cast<QwtPlotCanvas*>(canvas()))
        plotCanvas->setPaintAttribute(QwtPlotCanvas::BackingStore, false);

    auto* grid = new QwtPlotGrid;
    grid->setPen(QPen(QColor(Qt::gray), 0.0, Qt::DotLine));
    grid->enableX(true);
    grid->enableY(true);
    grid->enableXMin(true);
    grid->enableYMin(false);
    grid->attach(this);

    setAxisScaleDraw(QwtPlot::xBottom, new YourScaleDraw);
    setAxisScale(QwtPlot::xBottom, -interval, 0.0, 0.0);
    setAxisScale(QwtPlot::yLeft, 0.0, yMax, 0.0);
}
