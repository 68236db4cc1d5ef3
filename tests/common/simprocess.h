#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QStringList>

// A child that dies with the test, even when the test is killed on a timeout.
class ChildProcess : public QProcess
{
protected:
    void setupChildProcess() override;
};

// Ends a child by its own pid: SIGTERM, SIGKILL if it lingers.
void stopChild(QProcess& process);

// energizer-sim as a child process. Every output line is kept with the time it
// arrived, so with --verbose the frames it received (RX) and sent (TX) can be
// counted. Waits run the event loop, so an app in the same process keeps going.
class SimProcess
{
public:
    SimProcess();
    ~SimProcess();

    // Starts $EC_SIM with these arguments and waits for READY; returns the
    // port ("udp", "tcp") or the pty path as text, empty when it did not start.
    QString start(const QStringList& arguments);
    void stop();
    QString kind() const { return kind_; }
    quint16 port() const { return port_; }
    QString path() const { return path_; }
    QProcess& process() { return process_; }

    // Sends one stdin command; returns the first later line that starts with answerPrefix.
    QString command(const QString& line, const QString& answerPrefix = QString(), int timeoutMs = 3000);
    // The simulator's 52-byte configuration block ("dump"), empty when it does not answer.
    QByteArray block();

    // Arrival times (nowMs) of the RX/TX lines whose frame starts with these hex bytes.
    QList<qint64> frames(const QString& direction, const QString& hexPrefix) const;
    int count(const QString& direction, const QString& hexPrefix, qint64 sinceMs = 0) const;
    // The last whole output line, e.g. the COLLISIONS line printed at exit.
    QString lastLine() const { return lines_.isEmpty() ? QString() : lines_.last().second; }

    // Milliseconds since the test process started; the clock of every record.
    static qint64 nowMs();

private:
    void readOutput();
    QString waitForLine(int from, const QString& prefix, int timeoutMs);

    ChildProcess process_;
    QByteArray partial_;
    QList<QPair<qint64, QString>> lines_;
    QString kind_;
    QString path_;
    quint16 port_ = 0;
};
