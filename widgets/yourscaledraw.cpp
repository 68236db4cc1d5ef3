#include "widgets/yourscaledraw.h"

QwtText YourScaleDraw::label(double v) const
{
    return QwtText(tr("%1 s").arg(v / 100.0, 0, 'g', -1));
}
