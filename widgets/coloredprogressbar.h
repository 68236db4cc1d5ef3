#pragma once

#include <QProgressBar>

// Level bar painted in red, yellow or green bands.
class ColoredProgressBar : public QProgressBar
{
    Q_OBJECT
public:
    explicit ColoredProgressBar(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
