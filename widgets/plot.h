#pragma once

#include <qwt_plot.h>

// A QwtPlot with the scope's fixed look: blue canvas, dotted grid,
// -10 s .. 0 s at the bottom and 0 .. yMax on the left.
class Plot : public QwtPlot
{
    Q_OBJECT
public:
    Plot(double yMax, QWidget* parent = nullptr);

    double interval;
    double yMax;
};
