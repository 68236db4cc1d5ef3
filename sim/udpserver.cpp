#include "sim/udpserver.h"

#include "sim/session.h"

#include <QNetworkDatagram>

namespace {
// Senders come and go (every app restart takes a new port); forget them in bulk.
constexpr int MaxSessions = 64;
}

UdpServer::UdpServer(const SessionContext& context, quint16 port, QObject* parent)
    : SimTransport(parent), context_(context), port_(port)
{
    connect(&socket_, &QUdpSocket::readyRead, this, &UdpServer::readPending);
}

bool UdpServer::start(QString* error)
{
    if (!socket_.bind(QHostAddress(QHostAddress::LocalHost), port_)) {
        *error = socket_.errorString();
        return false;
    }
    return true;
}

QString UdpServer::endpoint() const
{
    return QStringLiteral("udp 127.0.0.1:%1").arg(socket_.localPort());
}

Session* UdpServer::sessionFor(const QHostAddress& host, quint16 port)
{
    const QString key = host.toString() + QLatin1Char('|') + QString::number(port);
    Session* session = sessions_.value(key);
    if (session)
        return session;
    if (sessions_.size() >= MaxSessions) {
        for (Session* s : qAsConst(sessions_))
            s->deleteLater();
        sessions_.clear();
    }
    auto write = [this, host, port](const QByteArray& bytes) { socket_.writeDatagram(bytes, host, port); };
    session = new Session(context_, false, write, this);
    sessions_.insert(key, session);
    return session;
}

void UdpServer::readPending()
{
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_.receiveDatagram();
        if (!datagram.isValid() || !datagram.senderAddress().isLoopback())
            continue;
        sessionFor(datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()))
            ->receive(datagram.data());
    }
}
