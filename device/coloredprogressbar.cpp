#include "device/coloredprogressbar.h"

// TODO: painting (stub so the tree builds).
ColoredProgressBar::ColoredProgressBar(QWidget* parent) : QProgressBar(parent) {}
void ColoredProgressBar::paintEvent(QPaintEvent* event) { QProgressBar::paintEvent(event); }
