#include "sim/tcpserver.h"

#include "sim/session.h"

#include <QTcpSocket>

TcpServer::TcpServer(const SessionContext& context, quint16 port, QObject* parent)
    : SimTransport(parent), context_(context), port_(port)
{
    connect(&server_, &QTcpServer::newConnection, this, &TcpServer::acceptPending);
}

bool TcpServer::start(QString* error)
{
    if (!server_.listen(QHostAddress(QHostAddress::LocalHost), port_)) {
        *error = server_.errorString();
        return false;
    }
    return true;
}

QString TcpServer::endpoint() const
{
    return QStringLiteral("tcp 127.0.0.1:%1").arg(server_.serverPort());
}

void TcpServer::acceptPending()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        // The session is the socket's child, so its timers die with the connection.
        auto* session = new Session(context_, true, [socket](const QByteArray& bytes) { socket->write(bytes); }, socket);
        connect(socket, &QTcpSocket::readyRead, session, [socket, session] { session->receive(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}
