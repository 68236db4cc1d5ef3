#include "sim/faultinjector.h"

#include "sim/output.h"

ReplyWriter::ReplyWriter(const FaultOptions& faults, bool verbose, WriteFn write, QObject* parent)
    : QObject(parent), faults_(faults), verbose_(verbose), write_(std::move(write))
{
    gapTimer_.setSingleShot(true);
    connect(&gapTimer_, &QTimer::timeout, this, &ReplyWriter::drain);
}

void ReplyWriter::push(const QByteArray& noise, const QByteArray& reply)
{
    if (faults_.merge && !holding_) {
        holding_ = true;
        heldNoise_ = noise;
        heldReply_ = reply;
        return;
    }
    QByteArray allNoise = noise;
    QByteArray data = reply;
    if (holding_) {
        allNoise.prepend(heldNoise_);
        data.prepend(heldReply_);
        holding_ = false;
        heldNoise_.clear();
        heldReply_.clear();
    }
    if (!allNoise.isEmpty())
        enqueue(allNoise, 0);
    const int chunk = faults_.splitBytes > 0 ? faults_.splitBytes : data.size();
    for (int pos = 0; pos < data.size(); pos += chunk)
        enqueue(data.mid(pos, chunk), pos == 0 ? 0 : faults_.splitMs);
}

void ReplyWriter::enqueue(const QByteArray& bytes, int gapMs)
{
    queue_.enqueue({bytes, gapMs});
    if (!gapTimer_.isActive())
        drain();
}

void ReplyWriter::drain()
{
    while (!queue_.isEmpty()) {
        Chunk& next = queue_.head();
        if (next.gapMs > 0 && !gapTimer_.isActive()) {
            const int gap = next.gapMs;
            next.gapMs = 0; // the gap is served by this timer run
            gapTimer_.start(gap);
            return;
        }
        if (gapTimer_.isActive())
            return;
        const QByteArray bytes = queue_.dequeue().bytes;
        if (verbose_)
            printLine(QStringLiteral("TX ") + hexBytes(bytes));
        write_(bytes);
    }
}

FaultInjector::FaultInjector(const FaultOptions& faults, quint32 seed, bool verbose)
    : faults_(faults), rng_(seed), verbose_(verbose)
{
}

QByteArray FaultInjector::randomBytes(int count)
{
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(rng_.bounded(256));
    return bytes;
}

bool FaultInjector::prepare(const QByteArray& reply, Outgoing* out)
{
    if (silenced_) {
        if (verbose_)
            printLine(QStringLiteral("DROP silenced ") + hexBytes(reply));
        return false;
    }
    if (faults_.silentAfter >= 0 && replies_ >= faults_.silentAfter) {
        if (verbose_)
            printLine(QStringLiteral("DROP silent ") + hexBytes(reply));
        return false;
    }
    if (faults_.drop > 0.0 && rng_.generateDouble() < faults_.drop) {
        if (verbose_)
            printLine(QStringLiteral("DROP random ") + hexBytes(reply));
        return false;
    }
    ++replies_;
    out->noise = randomBytes(faults_.noise);
    out->data = reply + randomBytes(faults_.trailing);
    out->delayMs = faults_.delayMs;
    return true;
}
