#pragma once

#include "sim/simoptions.h"

#include <QByteArray>
#include <QObject>
#include <QQueue>
#include <QRandomGenerator>
#include <QTimer>

#include <functional>

// Writes replies to one peer: holds a reply back for --merge and cuts writes into
// --split chunks with gaps, keeping everything in order.
class ReplyWriter : public QObject
{
    Q_OBJECT
public:
    using WriteFn = std::function<void(const QByteArray&)>;

    ReplyWriter(const FaultOptions& faults, bool verbose, WriteFn write, QObject* parent = nullptr);

    // noise goes out in its own write just before the reply, never split.
    void push(const QByteArray& noise, const QByteArray& reply);

private:
    struct Chunk
    {
        QByteArray bytes;
        int gapMs;
    };
    void enqueue(const QByteArray& bytes, int gapMs);
    void drain();

    FaultOptions m_faults;
    bool m_verbose;
    WriteFn m_write;
    bool m_holding = false;
    QByteArray m_heldNoise;
    QByteArray m_heldReply;
    QQueue<Chunk> m_queue;
    QTimer m_gapTimer;
};

// A reply that survived the faults, as it is to go out.
struct Outgoing
{
    QByteArray noise;
    QByteArray data; // the reply and any trailing bytes
    int delayMs = 0;
};

// One energizer's faults, shared by all peers: falling silent, dropped replies,
// delay, trailing bytes and noise.
class FaultInjector
{
public:
    FaultInjector(const FaultOptions& faults, quint32 seed, bool verbose);

    // False when the reply is not to be sent (traced under --verbose).
    bool prepare(const QByteArray& reply, Outgoing* out);

    // Silenced by a console command until resumed, whatever the options say.
    void setSilenced(bool silenced) { m_silenced = silenced; }

    int replies() const { return m_replies; }

private:
    QByteArray randomBytes(int count);

    FaultOptions m_faults;
    QRandomGenerator m_rng;
    bool m_verbose;
    bool m_silenced = false;
    int m_replies = 0;
};
