#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QVector>

#include <memory>

// The simulator as a child process: started with port 0 (or a pty path),
// its READY line parsed, commands sent on its stdin.
class SimProcess
{
public:
    ~SimProcess();
    // Starts $EC_SIM with these arguments and waits for the READY line.
    bool start(const QStringList& arguments);
    QString kind() const { return kind_; }   // "udp", "tcp", "pty"
    quint16 port() const { return port_; }
    QString path() const { return path_; }
    // Sends a command line and returns the first answer line starting with prefix.
    QString command(const QString& line, const QString& prefix);
    QProcess& process() { return process_; }

private:
    QString readLineWithPrefix(const QString& prefix, int timeoutMs);

    QProcess process_;
    QByteArray stdout_;
    QString kind_;
    quint16 port_ = 0;
    QString path_;
};

// One client of the simulator over UDP, TCP or the pty, seen as a list of reads
// (UDP: one datagram each; streams: whatever had arrived).
class SimClient
{
public:
    virtual ~SimClient() = default;
    virtual void send(const QByteArray& frame) = 0;
    // Collects datagrams/bytes until `bytes` have arrived or timeoutMs passed.
    virtual QVector<QByteArray> receive(int bytes, int timeoutMs) = 0;
    QByteArray receiveAll(int bytes, int timeoutMs);

    static std::unique_ptr<SimClient> connectTo(const SimProcess& sim);
};
