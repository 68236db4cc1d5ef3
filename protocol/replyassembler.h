#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

// Cuts the byte stream of any link kind into whole replies. A reply that
// starts where a read starts, or right after a reply, is framed by its
// response code at offset 2, checksum or not; bytes after a complete reply
// start the next one. When offset 2 holds no known code, the first later
// position that holds a complete reply with a right CRC-8 (or where a later
// read starts with a known code) is framed instead, and the bytes before it
// are discarded. A framed reply whose checksum is wrong gives way to a reply
// with a right one that starts inside it. A partial reply that got no bytes
// for more than StaleMs is dropped when the next bytes arrive. Never holds
// more than one unfinished reply beyond the burst being fed.
class ReplyAssembler : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 StaleMs = 100;

    explicit ReplyAssembler(QObject* parent = nullptr);

    void feed(const QByteArray& bytes);
    // Same with an explicit monotonic time in ms (tests, benchmarks).
    void feed(const QByteArray& bytes, qint64 nowMs);
    // Drops what is held; a burst being fed stops at the reply just handed on.
    void clear();
    int pending() const { return m_buffer.size(); }

signals:
    void replyReady(const QByteArray& reply);
    // Offset 2 of a reply start holds a code with no known reply.
    void unknownResponse(quint8 code);
    // Bytes that belong to no reply (noise, stale partials).
    void discarded(const QByteArray& bytes);

private:
    bool takeReply(int length);
    void drop(int count);
    // The length of the reply whose code sits at pos + 2; 0 for an unknown or missing code.
    int lengthAt(int pos) const;
    bool sealedAt(int pos, int length) const;
    // First position in [from, to) where a reply starts that is complete with a
    // right checksum (sealed), or else one that may still complete; -1 for none.
    int replyIn(int from, int to, bool sealed) const;

    QByteArray m_buffer;
    bool m_headTrusted = true; // m_buffer starts where a read or a reply started
    int m_readStart = -1;      // where the latest read starts in an untrusted buffer
    int m_readOffset = 0;      // where the latest read starts in the buffer
    qint64 m_lastBytesAt = 0;
    quint32 m_generation = 0;
    QElapsedTimer m_clock;
};
