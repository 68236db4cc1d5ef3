#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QString>

// Says each warning of a link at most once per interval: a dead link is
// retried every second, and would otherwise say the same every second for ever.
class RepeatLimiter
{
public:
    static constexpr qint64 DefaultIntervalMs = 60 * 1000;

    explicit RepeatLimiter(qint64 intervalMs = DefaultIntervalMs);
    // True when text is to be said now: not said before, or last said an interval ago.
    bool pass(const QString& text);

private:
    qint64 m_intervalMs;
    QElapsedTimer m_clock;
    QHash<QString, qint64> m_saidAt;
};
