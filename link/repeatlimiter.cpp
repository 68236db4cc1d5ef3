#include "link/repeatlimiter.h"

RepeatLimiter::RepeatLimiter(qint64 intervalMs)
    : m_intervalMs(intervalMs)
{
    m_clock.start();
}

bool RepeatLimiter::pass(const QString& text)
{
    const qint64 now = m_clock.elapsed();
    const auto said = m_saidAt.constFind(text);
    if (said != m_saidAt.constEnd() && now - *said < m_intervalMs)
        return false;
    m_saidAt.insert(text, now);
    return true;
}
