#pragma once

#include <QPointF>
#include <QRectF>
#include <QVector>

#include <qwt_series_data.h>

// The last 1001 samples of one value, oldest first; the newest sits at x = 0.
class CircularBuffer : public QwtSeriesData<QPointF>
{
public:
    CircularBuffer();

    size_t size() const override;
    QPointF sample(size_t i) const override;
    QRectF boundingRect() const override;

    // Drops the oldest value once the buffer is full, then appends v.
    void append(double v);

    double interval;
    QVector<double> values;
};
