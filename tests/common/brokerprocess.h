#pragma once

#include "simprocess.h"

#include <QTemporaryDir>

// energizer-cli or energizer-gateway as a child, its output kept.
class ToolProcess
{
public:
    ToolProcess(const QString& program, const QStringList& args);
    ~ToolProcess() { stopChild(process_); }
    bool waitForStderr(const QString& text);
    // The exit status, -1 when killed by a signal or still running.
    int exitCode();
    void signal(int sig);

    QByteArray err;
    QByteArray out;

private:
    ChildProcess process_;
};

// A mosquitto broker of the test's own on 127.0.0.1, with its own
// configuration file, no persistence, and its log kept.
class BrokerProcess
{
public:
    BrokerProcess();
    ~BrokerProcess() { stop(); }

    // A second listener, with TLS, for the next start(): the broker's
    // certificate and key, and the CA that clients' certificates must have.
    struct Tls { QString certFile, keyFile, caFile; bool requireCertificate = false; };
    void setTls(const Tls& tls) { tls_ = tls; }
    quint16 tlsPort() const { return tlsPort_; }

    // Starts on this port (0: a free one), anonymous or with one user, and
    // waits until it accepts connections; false when it did not start.
    bool start(quint16 port = 0, const QString& user = QString(), const QString& password = QString());
    void stop() { stopChild(process_); }
    quint16 port() const { return port_; }
    const QByteArray& log() const { return log_; }

    static quint16 freePort();

private:
    QTemporaryDir dir_;
    ChildProcess process_;
    QByteArray log_;
    quint16 port_ = 0;
    Tls tls_;
    quint16 tlsPort_ = 0;
};
