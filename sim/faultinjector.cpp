#include "sim/faultinjector.h"

#include "sim/output.h"

ReplyWriter::ReplyWriter(const FaultOptions& faults, bool verbose, WriteFn write, QObject* parent)
    : QObject(parent), m_faults(faults), m_verbose(verbose), m_write(std::move(write))
{
    m_gapTimer.setSingleShot(true);
    connect(&m_gapTimer, &QTimer::timeout, this, &ReplyWriter::drain);
}

void ReplyWriter::push(const QByteArray& noise, const QByteArray& reply)
{
    if (m_faults.merge && !m_holding) {
        m_holding = true;
        m_heldNoise = noise;
        m_heldReply = reply;
        return;
    }
    QByteArray allNoise = noise;
    QByteArray data = reply;
    if (m_holding) {
        allNoise.prepend(m_heldNoise);
        data.prepend(m_heldReply);
        m_holding = false;
        m_heldNoise.clear();
        m_heldReply.clear();
    }
    if (!allNoise.isEmpty())
        enqueue(allNoise, 0);
    const int chunk = m_faults.splitBytes > 0 ? m_faults.splitBytes : data.size();
    for (int pos = 0; pos < data.size(); pos += chunk)
        enqueue(data.mid(pos, chunk), pos == 0 ? 0 : m_faults.splitMs);
}

void ReplyWriter::enqueue(const QByteArray& bytes, int gapMs)
{
    m_queue.enqueue({bytes, gapMs});
    if (!m_gapTimer.isActive())
        drain();
}

void ReplyWriter::drain()
{
    while (!m_queue.isEmpty()) {
        Chunk& next = m_queue.head();
        if (next.gapMs > 0 && !m_gapTimer.isActive()) {
            const int gap = next.gapMs;
            next.gapMs = 0; // the gap is served by this timer run
            m_gapTimer.start(gap);
            return;
        }
        if (m_gapTimer.isActive())
            return;
        const QByteArray bytes = m_queue.dequeue().bytes;
        if (m_verbose)
            printLine(QStringLiteral("TX ") + hexBytes(bytes));
        m_write(bytes);
    }
}

FaultInjector::FaultInjector(const FaultOptions& faults, quint32 seed, bool verbose)
    : m_faults(faults), m_rng(seed), m_verbose(verbose)
{
}

QByteArray FaultInjector::randomBytes(int count)
{
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(m_rng.bounded(256));
    return bytes;
}

bool FaultInjector::prepare(const QByteArray& reply, Outgoing* out)
{
    // The random draw only where neither of the others drops it, so a seed gives the same run.
    const char* dropped = m_silenced ? "silenced"
        : m_faults.silentAfter >= 0 && m_replies >= m_faults.silentAfter ? "silent"
        : m_faults.drop > 0.0 && m_rng.generateDouble() < m_faults.drop  ? "random"
                                                                          : nullptr;
    if (dropped) {
        if (m_verbose)
            printLine(QStringLiteral("DROP %1 ").arg(QLatin1String(dropped)) + hexBytes(reply));
        return false;
    }
    ++m_replies;
    out->noise = randomBytes(m_faults.noise);
    out->data = reply + randomBytes(m_faults.trailing);
    out->delayMs = m_faults.delayMs;
    return true;
}
