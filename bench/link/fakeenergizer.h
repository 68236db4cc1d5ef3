#pragma once

#include <QByteArray>
#include <QVector>

#include <atomic>
#include <thread>

// An energizer on 127.0.0.1 served from its own thread with plain sockets, so
// its clock readings do not wait for the GUI event loop under test. It answers
// requests only, as a real one does: a status reply after a status request, a
// configuration block (whose PIN never matches, so the tool keeps asking)
// after a configuration read.
class FakeEnergizer
{
public:
    enum class Kind { Udp, Tcp };

    // Stops after this many reactions timed; 0 answers until stop().
    FakeEnergizer(Kind kind, int reactions = 0);
    ~FakeEnergizer();

    quint16 port() const { return m_port; }
    void start();
    void stop();
    bool finished() const { return m_finished; }
    // Microseconds from each status reply written to the tool's next frame read.
    QVector<double> reactionsUs() const { return m_reactionsUs; }
    // Status replies after which the tool sent nothing for a second.
    int missed() const { return m_missed; }

private:
    void run();
    bool waitForPeer();
    bool send(const QByteArray& frame);
    // Next frame from the tool, or empty after timeoutMs.
    QByteArray receive(int timeoutMs);

    Kind m_kind;
    int m_reactions;
    int m_listenFd = -1;
    int m_fd = -1;
    quint16 m_port = 0;
    QByteArray m_pending;
    QByteArray m_first; // a UDP peer's first datagram, read to learn its address
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    QVector<double> m_reactionsUs;
    int m_missed = 0;
    unsigned char m_peer[128] = {};
    unsigned m_peerLength = 0;
};
