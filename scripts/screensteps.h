#pragma once
// What the screenshot programs share: a window program's steps, run a pause apart.

#include "app/mainwindow.h"
#include "widgets/trenddlg.h"

#include <QAction>
#include <QComboBox>
#include <QTimer>

#include <functional>
#include <vector>

namespace {

using Steps = std::vector<std::function<void()>>;

// One step after another, a pause apart; the timers also fire inside modal dialogs.
void runSteps(const Steps* steps, int pauseMs, std::size_t index = 0)
{
    if (index >= steps->size())
        return;
    QTimer::singleShot(pauseMs, [steps, pauseMs, index] {
        (*steps)[index]();
        runSteps(steps, pauseMs, index + 1);
    });
}

// Closes the dialog open before and opens Configuration → Trend over the
// range, sized for a picture.
TrendDlg* openTrend(MainWindow& window, QWidget* before, TrendDlg::Range range)
{
    if (before)
        before->close();
    window.findChild<QAction*>(QStringLiteral("actTrend"))->trigger();
    auto* trend = window.findChild<TrendDlg*>();
    if (trend) {
        trend->resize(900, 600);
        trend->findChild<QComboBox*>(QStringLiteral("cmbRange"))->setCurrentIndex(static_cast<int>(range));
    }
    return trend;
}

} // namespace
