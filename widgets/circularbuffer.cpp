#include "widgets/circularbuffer.h"

CircularBuffer::CircularBuffer()
    : interval(1000.0)
{
    values.reserve(static_cast<int>(interval) + 1);
    values.fill(0.0, static_cast<int>(interval));
}

size_t CircularBuffer::size() const
{
    return static_cast<size_t>(values.size());
}

QPointF CircularBuffer::sample(size_t i) const
{
    const size_t count = size();
    const double y = count == 0 ? 0.0 : values.at(static_cast<int>(i % count));
    return {static_cast<double>(i) - interval, y};
}

// The axes are fixed, so this is never used for autoscaling.
QRectF CircularBuffer::boundingRect() const
{
    return {-1.0, -interval, 2.0, interval};
}

void CircularBuffer::append(double v)
{
    if (static_cast<double>(values.size()) == interval + 1.0)
        values.removeFirst();
    values.append(v);
}
