#include "protocol/replyassembler.h"

#include "protocol/crc8.h"
#include "protocol/frames.h"

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

bool ReplyAssembler::sealedAt(int pos, int length) const
{
    if (pos + length > m_buffer.size())
        return false;
    const auto* data = reinterpret_cast<const unsigned char*>(m_buffer.constData()) + pos;
    return (crc8(data, length - 1) & 0xFF) == data[length - 1];
}

int ReplyAssembler::lengthAt(int pos) const
{
    return pos + CodeOffset < m_buffer.size() ? replyLength(static_cast<quint8>(m_buffer.at(pos + CodeOffset))) : 0;
}

int ReplyAssembler::replyIn(int from, int to, bool sealed) const
{
    for (int pos = from; pos < to && pos + CodeOffset < m_buffer.size(); ++pos) {
        const int length = lengthAt(pos);
        if (length > 0 && (sealed ? sealedAt(pos, length) : pos + length > m_buffer.size()))
            return pos;
    }
    return -1;
}

void ReplyAssembler::drop(int count)
{
    if (count <= 0)
        return;
    emit discarded(m_buffer.left(count));
    m_buffer.remove(0, count);
    m_readStart = m_readStart >= count ? m_readStart - count : -1;
    m_readOffset = qMax(0, m_readOffset - count);
}

bool ReplyAssembler::takeReply(int length)
{
    const QByteArray reply = m_buffer.left(length);
    m_buffer.remove(0, length);
    m_headTrusted = true;
    m_readStart = -1;
    m_readOffset = qMax(0, m_readOffset - length);
    const quint32 generation = m_generation;
    emit replyReady(reply);
    // A receiver that reset the link wants nothing more from this burst.
    return m_generation == generation;
}

void ReplyAssembler::feed(const QByteArray& bytes, qint64 nowMs)
{
    if (bytes.isEmpty())
        return;
    if (!m_buffer.isEmpty() && nowMs - m_lastBytesAt > StaleMs) {
        // A whole reply held back for a possible sealed one inside it goes out late rather than not at all.
        const int length = m_headTrusted ? lengthAt(0) : 0;
        if (length > 0 && m_buffer.size() >= length && !takeReply(length))
            return;
        if (!m_buffer.isEmpty())
            emit discarded(m_buffer);
        m_buffer.clear();
    }
    m_lastBytesAt = nowMs;
    m_readOffset = m_buffer.size();
    if (m_buffer.isEmpty()) {
        m_headTrusted = true;
        m_readStart = -1;
    } else if (!m_headTrusted) {
        m_readStart = m_buffer.size();
    }
    m_buffer += bytes;

    while (m_buffer.size() > CodeOffset) {
        const int length = lengthAt(0);
        if (m_headTrusted && length > 0) {
            // Whole, a wrong checksum here and a right one just behind: the
            // head was noise. Still arriving, it waits unless a whole reply
            // already sits inside it.
            const bool whole = m_buffer.size() >= length;
            const bool sealed = whole && sealedAt(0, length);
            const int inside = sealed ? -1 : replyIn(1, whole ? length : m_buffer.size(), true);
            // Pieced together from several reads, it may be noise ahead of
            // a reply still arriving; a reply read whole is taken as it is.
            if (inside < 0 && !sealed && (!whole || (m_readOffset > 0 && replyIn(1, length, false) >= 0)))
                return;
            drop(inside);
            if (!takeReply(lengthAt(0)))
                return;
            continue;
        }
        if (m_headTrusted)
            emit unknownResponse(static_cast<quint8>(m_buffer.at(CodeOffset)));

        // Resynchronise: the first sealed reply, or a read that starts with a known code.
        int resume = -1;
        int firstPartial = -1;
        for (int pos = m_headTrusted ? 1 : 0; pos + CodeOffset < m_buffer.size(); ++pos) {
            const int candidate = lengthAt(pos);
            if (candidate == 0)
                continue;
            if (pos == m_readStart || sealedAt(pos, candidate)) {
                resume = pos;
                break;
            }
            if (firstPartial < 0 && pos + candidate > m_buffer.size())
                firstPartial = pos;
        }
        if (resume >= 0) {
            drop(resume);
            m_headTrusted = true;
            continue;
        }
        // Keep what may still become a reply: a partial one, or two bytes
        // whose code has not arrived yet.
        drop(firstPartial >= 0 ? firstPartial : m_buffer.size() - CodeOffset);
        m_headTrusted = false;
        return;
    }
}

void ReplyAssembler::clear()
{
    m_buffer.clear();
    m_headTrusted = true;
    m_readStart = -1;
    m_readOffset = 0;
    ++m_generation;
}
