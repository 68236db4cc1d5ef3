#include "sim/simline.h"

#include "sim/output.h"

#include <QTimer>

#include <cmath>

namespace {
// A start bit, eight data bits and a stop bit per byte.
constexpr double BitsPerByte = 10.0;
}

SimLine::SimLine(const LineOptions& options, bool verbose, QObject* parent)
    : QObject(parent), options_(options), verbose_(verbose)
{
    clock_.start();
}

double SimLine::nowMs() const
{
    return clock_.nsecsElapsed() / 1e6;
}

double SimLine::wireMs(int bytes) const
{
    return options_.lineRate > 0 ? bytes * BitsPerByte * 1000.0 / options_.lineRate : 0.0;
}

bool SimLine::admit(const QByteArray& frame)
{
    if (!options_.collide)
        return true;
    QList<Pending> live;
    for (const Pending& p : qAsConst(pending_))
        if (p.timer)
            live.append(p);
    pending_.clear();
    if (live.isEmpty())
        return true;
    for (const Pending& p : qAsConst(live)) {
        delete p.timer.data();
        if (verbose_)
            printLine(QStringLiteral("DROP collision ") + hexBytes(p.data));
    }
    freeAtMs_ = nowMs();
    ++collisions_;
    if (verbose_)
        printLine(QStringLiteral("IGNORED collision ") + hexBytes(frame));
    printLine(QStringLiteral("COLLISIONS %1").arg(collisions_));
    return false;
}

void SimLine::send(int requestBytes, const Outgoing& reply, ReplyWriter* writer)
{
    if (options_.lineRate == 0 && !options_.collide) {
        // Nothing to model: the reply goes out at once (or after --delay).
        if (reply.delayMs > 0)
            QTimer::singleShot(reply.delayMs, writer, [writer, reply] { writer->push(reply.noise, reply.data); });
        else
            writer->push(reply.noise, reply.data);
        return;
    }
    const double now = nowMs();
    const double start = qMax(now, freeAtMs_);
    const double turnaround = options_.lineRate > 0 ? options_.turnaroundMs : 0;
    const double due = start + wireMs(requestBytes) + turnaround + reply.delayMs
                       + wireMs(reply.noise.size() + reply.data.size());
    freeAtMs_ = due;
    auto* timer = new QTimer(writer);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, timer, writer, reply] {
        for (int i = 0; i < pending_.size(); ++i)
            if (pending_.at(i).timer == timer)
                pending_.removeAt(i--);
        timer->deleteLater();
        writer->push(reply.noise, reply.data);
    });
    timer->start(static_cast<int>(std::ceil(due - now)));
    pending_.append({timer, reply.data});
}
