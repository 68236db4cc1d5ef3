#pragma once

#include "sim/transport.h"

#include <QHash>
#include <QUdpSocket>

class Session;

// Answers each datagram to its sender; one session per sender.
class UdpServer : public SimTransport
{
    Q_OBJECT
public:
    UdpServer(const SessionContext& context, quint16 port, QObject* parent = nullptr);
    bool start(QString* error) override;
    QString endpoint() const override;

private:
    void readPending();
    Session* sessionFor(const QHostAddress& host, quint16 port);

    SessionContext m_context;
    quint16 m_port;
    QUdpSocket m_socket;
    QHash<QString, Session*> m_sessions;
};
