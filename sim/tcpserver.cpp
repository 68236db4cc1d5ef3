#include "sim/tcpserver.h"

#include "sim/session.h"
#include "protocol/refuse.h"

#include <QTcpSocket>

TcpServer::TcpServer(const SessionContext& context, quint16 port, QObject* parent)
    : SimTransport(parent), m_context(context), m_port(port)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TcpServer::acceptPending);
}

bool TcpServer::start(QString* error)
{
    if (!m_server.listen(QHostAddress(QHostAddress::LocalHost), m_port))
        return refuse(error, m_server.errorString());
    return true;
}

QString TcpServer::endpoint() const
{
    return QStringLiteral("tcp 127.0.0.1:%1").arg(m_server.serverPort());
}

void TcpServer::acceptPending()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        // The session is the socket's child, so its timers die with the connection.
        auto* session = new Session(m_context, true, [socket](const QByteArray& bytes) { socket->write(bytes); }, socket);
        connect(socket, &QTcpSocket::readyRead, session, [socket, session] { session->receive(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}
