#include "sim/udpserver.h"

#include "sim/session.h"
#include "protocol/refuse.h"

#include <QNetworkDatagram>

namespace {
// Senders come and go (every app restart takes a new port); forget them in bulk.
constexpr int MaxSessions = 64;
}

UdpServer::UdpServer(const SessionContext& context, quint16 port, QObject* parent)
    : SimTransport(parent), m_context(context), m_port(port)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &UdpServer::readPending);
}

bool UdpServer::start(QString* error)
{
    if (!m_socket.bind(QHostAddress(QHostAddress::LocalHost), m_port))
        return refuse(error, m_socket.errorString());
    return true;
}

QString UdpServer::endpoint() const
{
    return QStringLiteral("udp 127.0.0.1:%1").arg(m_socket.localPort());
}

Session* UdpServer::sessionFor(const QHostAddress& host, quint16 port)
{
    const QString key = host.toString() + QLatin1Char('|') + QString::number(port);
    Session* session = m_sessions.value(key);
    if (session)
        return session;
    if (m_sessions.size() >= MaxSessions) {
        for (Session* s : qAsConst(m_sessions))
            s->deleteLater();
        m_sessions.clear();
    }
    auto write = [this, host, port](const QByteArray& bytes) { m_socket.writeDatagram(bytes, host, port); };
    session = new Session(m_context, false, write, this);
    m_sessions.insert(key, session);
    return session;
}

void UdpServer::readPending()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        if (!datagram.isValid() || !datagram.senderAddress().isLoopback())
            continue;
        sessionFor(datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()))
            ->receive(datagram.data());
    }
}
