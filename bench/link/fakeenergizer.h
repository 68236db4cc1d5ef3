#pragma once

#include <QByteArray>
#include <QVector>

#include <atomic>
#include <thread>

// An energizer on 127.0.0.1 served from its own thread with plain sockets, so
// its clock readings do not wait for the GUI event loop under test.
class FakeEnergizer
{
public:
    enum class Kind { Udp, Tcp };
    enum class Mode {
        // Sends status replies and times the configuration request each one brings.
        Reaction,
        // Answers every request like an energizer whose PIN never matches.
        Answer,
    };

    FakeEnergizer(Kind kind, Mode mode, int replies = 0);
    ~FakeEnergizer();

    quint16 port() const { return m_port; }
    void start();
    void stop();
    bool finished() const { return m_finished; }
    // Microseconds from each status reply written to the configuration request read.
    QVector<double> reactionsUs() const { return m_reactionsUs; }
    int missed() const { return m_missed; }

private:
    void run();
    bool waitForPeer();
    bool send(const QByteArray& frame);
    // Next frame from the tool, or empty after timeoutMs.
    QByteArray receive(int timeoutMs);

    Kind m_kind;
    Mode m_mode;
    int m_replies;
    int m_listenFd = -1;
    int m_fd = -1;
    quint16 m_port = 0;
    QByteArray m_pending;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    QVector<double> m_reactionsUs;
    int m_missed = 0;
    unsigned char m_peer[128] = {};
    unsigned m_peerLength = 0;
};
