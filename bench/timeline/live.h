#pragma once

#include <QString>

// The timeline beside a gateway without it, live: see live.cpp.
struct LiveOptions
{
    QString bin;        // energizer-gateway and energizer-sim
    QString firstPaint; // the browser script; empty: no first paint
    int seconds = 600;
    int energizers = 1000;
    int clients = 20;
};

int runLive(const LiveOptions& options);
