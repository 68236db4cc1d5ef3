#pragma once

#include "simprocess.h"

#include <QStringList>
#include <QTemporaryDir>

// A mosquitto broker of the test's own on 127.0.0.1, with its own
// configuration file, no persistence, and its log kept line by line.
class BrokerProcess
{
public:
    BrokerProcess();
    ~BrokerProcess();

    // Starts on this port (0: a free one), anonymous or with one user, and
    // waits until it accepts connections; false when it did not start.
    bool start(quint16 port = 0, const QString& user = QString(), const QString& password = QString());
    void stop();
    quint16 port() const { return port_; }
    // Log lines containing text.
    int logCount(const QString& text) const;

    static quint16 freePort();

private:
    QTemporaryDir dir_;
    ChildProcess process_;
    QStringList log_;
    quint16 port_ = 0;
};
