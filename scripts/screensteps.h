#pragma once
// What the screenshot programs share: a window program's steps, run a pause apart.

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

} // namespace
