#pragma once

#include "sim/transport.h"

#include <QTcpServer>

// Accepts any number of clients; each connection is its own session.
class TcpServer : public SimTransport
{
    Q_OBJECT
public:
    TcpServer(const SessionContext& context, quint16 port, QObject* parent = nullptr);
    bool start(QString* error) override;
    QString endpoint() const override;

private:
    void acceptPending();

    SessionContext m_context;
    quint16 m_port;
    QTcpServer m_server;
};
