#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

// Cuts the byte stream of any link kind into whole replies. A reply starts at
// offset 0 of a burst; offset 2 (the response code) gives its length; bytes
// after a complete reply start the next one. An unknown code drops what is
// held and the rest of its burst (nothing in it can be framed); a partial
// reply that got no bytes for more than StaleMs is dropped when the next bytes
// arrive. Never holds more than one unfinished reply (at most 51 bytes).
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
    void unknownResponse(quint8 code);

private:
    QByteArray m_buffer;
    qint64 m_lastBytesAt = 0;
    quint32 m_generation = 0;
    QElapsedTimer m_clock;
};
