#pragma once

#include <qwt_scale_draw.h>
#include <qwt_text.h>

#include <QCoreApplication>

// Labels sample positions (100 per second) as seconds.
class YourScaleDraw : public QwtScaleDraw
{
    Q_DECLARE_TR_FUNCTIONS(YourScaleDraw)

public:
    QwtText label(double v) const override;
};
