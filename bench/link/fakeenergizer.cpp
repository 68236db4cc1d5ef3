#include "fakeenergizer.h"

#include "protocol/frames.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

QByteArray statusReply()
{
    QByteArray reply(27, '\0');
    reply[0] = 0x01;
    reply[1] = 0x01;
    reply[2] = static_cast<char>(0x81);
    reply[9] = 0x6D;                       // battery 13.625 V
    reply[12] = 0x15;                      // zone 1 level 5, "Good"
    reply[13] = static_cast<char>(0x80);   // zone 1 on, high voltage
    reply[16] = 0x40;                      // 8000 V out
    sealFrame(reply);
    return reply;
}

QByteArray configReply()
{
    // All-zero block: its PIN never equals the settings' one, so the tool keeps asking.
    QByteArray reply(52, '\0');
    reply[0] = 0x01;
    reply[1] = 0x01;
    reply[2] = static_cast<char>(0x82);
    sealFrame(reply);
    return reply;
}

int requestLength(quint8 command)
{
    switch (command) {
    case 0x01:
    case 0x02:
        return 4;
    case 0x05:
        return 7;
    case 0x04:
        return 52;
    default:
        return 1; // resynchronise byte by byte
    }
}

} // namespace

FakeEnergizer::FakeEnergizer(Kind kind, int reactions)
    : m_kind(kind)
    , m_reactions(reactions)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    m_listenFd = ::socket(AF_INET, kind == Kind::Udp ? SOCK_DGRAM : SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return;
    if (kind == Kind::Tcp)
        ::listen(m_listenFd, 1);
    socklen_t length = sizeof address;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
}

FakeEnergizer::~FakeEnergizer()
{
    stop();
    if (m_fd >= 0 && m_fd != m_listenFd)
        ::close(m_fd);
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

void FakeEnergizer::start()
{
    m_thread = std::thread([this] { run(); });
}

void FakeEnergizer::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

bool FakeEnergizer::waitForPeer()
{
    pollfd p{m_listenFd, POLLIN, 0};
    for (int waited = 0; waited < 5000 && !m_stop; waited += 100) {
        if (::poll(&p, 1, 100) <= 0)
            continue;
        if (m_kind == Kind::Tcp) {
            m_fd = ::accept(m_listenFd, nullptr, nullptr);
            const int on = 1;
            ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            return m_fd >= 0;
        }
        m_fd = m_listenFd;
        socklen_t length = sizeof m_peer;
        char buffer[256];
        const ssize_t n = ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(m_peer), &length);
        m_peerLength = length;
        if (n > 0)
            m_first = QByteArray(buffer, int(n));
        return true;
    }
    return false;
}

bool FakeEnergizer::send(const QByteArray& frame)
{
    if (m_kind == Kind::Udp)
        return ::sendto(m_fd, frame.constData(), size_t(frame.size()), 0, reinterpret_cast<sockaddr*>(m_peer),
                        m_peerLength) == frame.size();
    return ::send(m_fd, frame.constData(), size_t(frame.size()), MSG_NOSIGNAL) == frame.size();
}

QByteArray FakeEnergizer::receive(int timeoutMs)
{
    if (!m_first.isEmpty()) {
        const QByteArray frame = m_first;
        m_first.clear();
        return frame;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (m_kind == Kind::Tcp && m_pending.size() >= 3) {
            const int length = requestLength(quint8(m_pending.at(2)));
            if (m_pending.size() >= length) {
                const QByteArray frame = m_pending.left(length);
                m_pending.remove(0, length);
                return frame;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{m_fd, POLLIN, 0};
        if (left < 0 || ::poll(&p, 1, int(left)) <= 0)
            return {};
        char buffer[2048];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return {};
        if (m_kind == Kind::Udp)
            return QByteArray(buffer, int(n));
        m_pending.append(buffer, int(n));
    }
}

void FakeEnergizer::run()
{
    if (!waitForPeer()) {
        m_finished = true;
        return;
    }
    bool timing = false;
    Clock::time_point sent;
    while (!m_stop && (m_reactions == 0 || m_reactionsUs.size() < m_reactions)) {
        const QByteArray request = receive(timing ? 1000 : 100);
        if (timing) {
            timing = false;
            if (request.isEmpty())
                ++m_missed;
            else
                m_reactionsUs << std::chrono::duration<double, std::micro>(Clock::now() - sent).count();
        }
        if (request.size() < 3)
            continue;
        if (request.at(2) == 0x01) {
            send(statusReply());
            sent = Clock::now();
            timing = true;
        } else if (request.at(2) == 0x02) {
            send(configReply());
        }
    }
    m_finished = true;
}
