#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

// Cuts the byte stream of any link kind into whole replies. A reply starts at
// offset 0 of a burst; offset 2 (the response code) gives its length; bytes
// after a complete reply start the next one. Unknown codes drop what is held;
// a partial reply older than StaleMs is dropped when the next bytes arrive.
class ReplyAssembler : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 StaleMs = 100;

    explicit ReplyAssembler(QObject* parent = nullptr);

    void feed(const QByteArray& bytes);
    // Same with an explicit monotonic time in ms (tests, benchmarks).
    void feed(const QByteArray& bytes, qint64 nowMs);
    void clear();
    int pending() const { return m_buffer.size(); }

signals:
    void replyReady(const QByteArray& reply);
    void unknownResponse(quint8 code);

private:
    QByteArray m_buffer;
    qint64 m_bufferSince = 0;
    QElapsedTimer m_clock;
};
