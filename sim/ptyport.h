#pragma once

#include "sim/transport.h"

#include <QSocketNotifier>

class Session;

// A pseudo-terminal in raw mode whose slave is linked at a path, standing in
// for the serial port. The link is removed when the port is destroyed.
class PtyPort : public SimTransport
{
    Q_OBJECT
public:
    PtyPort(const SessionContext& context, const QString& linkPath, QObject* parent = nullptr);
    ~PtyPort() override;
    bool start(QString* error) override;
    QString endpoint() const override;

private:
    void readMaster();
    void writeMaster(const QByteArray& bytes);

    SessionContext m_context;
    QString m_linkPath;
    bool m_linked = false;
    int m_master = -1;
    int m_slave = -1; // kept open so the master never sees a hang-up between clients
    QSocketNotifier* m_notifier = nullptr;
    Session* m_session = nullptr;
};
