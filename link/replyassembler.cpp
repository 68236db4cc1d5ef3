#include "link/replyassembler.h"

#include "link/frames.h"

namespace {
constexpr int CodeOffset = 2;
}

ReplyAssembler::ReplyAssembler(QObject* parent)
    : QObject(parent)
{
    m_clock.start();
}

void ReplyAssembler::feed(const QByteArray& bytes)
{
    feed(bytes, m_clock.elapsed());
}

void ReplyAssembler::feed(const QByteArray& bytes, qint64 nowMs)
{
    if (bytes.isEmpty())
        return;
    if (!m_buffer.isEmpty() && nowMs - m_lastBytesAt > StaleMs)
        m_buffer.clear();
    m_lastBytesAt = nowMs;

    const quint32 generation = m_generation;
    int pos = 0;
    while (pos < bytes.size()) {
        if (m_buffer.size() <= CodeOffset) {
            const int take = qMin(CodeOffset + 1 - m_buffer.size(), bytes.size() - pos);
            m_buffer.append(bytes.constData() + pos, take);
            pos += take;
            if (m_buffer.size() <= CodeOffset)
                return;
            const quint8 code = static_cast<quint8>(m_buffer.at(CodeOffset));
            if (replyLength(code) == 0) {
                // No length to frame by: the rest of this burst is unusable too.
                m_buffer.clear();
                emit unknownResponse(code);
                return;
            }
        }
        const int length = replyLength(static_cast<quint8>(m_buffer.at(CodeOffset)));
        const int take = qMin(length - m_buffer.size(), bytes.size() - pos);
        m_buffer.append(bytes.constData() + pos, take);
        pos += take;
        if (m_buffer.size() < length)
            return;
        const QByteArray reply = m_buffer;
        m_buffer.clear();
        emit replyReady(reply);
        // A receiver that reset the link wants nothing more from this burst.
        if (m_generation != generation)
            return;
    }
}

void ReplyAssembler::clear()
{
    m_buffer.clear();
    ++m_generation;
}
