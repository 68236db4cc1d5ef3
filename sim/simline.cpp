#include "sim/simline.h"

#include "sim/output.h"

#include <QTimer>

#include <cmath>

namespace {
// A start bit, eight data bits and a stop bit per byte.
constexpr double BitsPerByte = 10.0;
}

SimLine::SimLine(const LineOptions& options, bool verbose, QObject* parent)
    : QObject(parent), m_options(options), m_verbose(verbose)
{
    m_clock.start();
}

double SimLine::nowMs() const
{
    return m_clock.nsecsElapsed() / 1e6;
}

double SimLine::wireMs(int bytes) const
{
    return m_options.lineRate > 0 ? bytes * BitsPerByte * 1000.0 / m_options.lineRate : 0.0;
}

bool SimLine::admit(const QByteArray& frame)
{
    if (!m_options.collide)
        return true;
    QList<Pending> live;
    for (const Pending& p : qAsConst(m_pending))
        if (p.timer)
            live.append(p);
    m_pending.clear();
    if (live.isEmpty())
        return true;
    for (const Pending& p : qAsConst(live)) {
        delete p.timer.data();
        if (m_verbose)
            printLine(QStringLiteral("DROP collision ") + hexBytes(p.data));
    }
    m_freeAtMs = nowMs();
    ++m_collisions;
    if (m_verbose)
        printLine(QStringLiteral("IGNORED collision ") + hexBytes(frame));
    printLine(QStringLiteral("COLLISIONS %1").arg(m_collisions));
    return false;
}

void SimLine::send(int requestBytes, const Outgoing& reply, ReplyWriter* writer)
{
    if (m_options.lineRate == 0 && !m_options.collide) {
        // Nothing to model: the reply goes out at once (or after --delay).
        if (reply.delayMs > 0)
            QTimer::singleShot(reply.delayMs, writer, [writer, reply] { writer->push(reply.noise, reply.data); });
        else
            writer->push(reply.noise, reply.data);
        return;
    }
    const double now = nowMs();
    const double start = qMax(now, m_freeAtMs);
    const double turnaround = m_options.lineRate > 0 ? m_options.turnaroundMs : 0;
    const double due = start + wireMs(requestBytes) + turnaround + reply.delayMs
                       + wireMs(reply.noise.size() + reply.data.size());
    m_freeAtMs = due;
    auto* timer = new QTimer(writer);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, timer, writer, reply] {
        for (int i = 0; i < m_pending.size(); ++i)
            if (m_pending.at(i).timer == timer)
                m_pending.removeAt(i--);
        timer->deleteLater();
        writer->push(reply.noise, reply.data);
    });
    timer->start(static_cast<int>(std::ceil(due - now)));
    m_pending.append({timer, reply.data});
}
