#include "simprocess.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

SimProcess::~SimProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(2000))
            process_.kill();
        process_.waitForFinished(1000);
    }
}

bool SimProcess::start(const QStringList& arguments)
{
    const QString program = qEnvironmentVariable("EC_SIM");
    if (program.isEmpty())
        return false;
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(program, arguments);
    if (!process_.waitForStarted(3000))
        return false;
    const QString ready = readLineWithPrefix(QStringLiteral("READY "), 3000);
    const QStringList parts = ready.split(QLatin1Char(' '));
    if (parts.size() != 3)
        return false;
    kind_ = parts[1];
    if (kind_ == QLatin1String("pty")) {
        path_ = parts[2];
        return true;
    }
    if (!parts[2].startsWith(QLatin1String("127.0.0.1:")))
        return false;
    port_ = static_cast<quint16>(parts[2].mid(10).toUInt());
    return port_ != 0;
}

QString SimProcess::readLineWithPrefix(const QString& prefix, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        int newline;
        while ((newline = stdout_.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(stdout_.left(newline));
            stdout_.remove(0, newline + 1);
            if (line.startsWith(prefix))
                return line;
        }
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0 || process_.state() == QProcess::NotRunning)
            return QString();
        process_.waitForReadyRead(left);
        stdout_.append(process_.readAllStandardOutput());
    }
}

QString SimProcess::command(const QString& line, const QString& prefix)
{
    process_.write(line.toLocal8Bit() + '\n');
    process_.waitForBytesWritten(1000);
    return readLineWithPrefix(prefix, 3000);
}

QByteArray SimClient::receiveAll(int bytes, int timeoutMs)
{
    QByteArray all;
    for (const QByteArray& part : receive(bytes, timeoutMs))
        all += part;
    return all;
}

namespace {

int total(const QVector<QByteArray>& parts)
{
    int n = 0;
    for (const QByteArray& p : parts)
        n += p.size();
    return n;
}

class UdpClient : public SimClient
{
public:
    explicit UdpClient(quint16 port) : port_(port) { socket_.bind(QHostAddress(QHostAddress::LocalHost), 0); }
    void send(const QByteArray& frame) override
    {
        socket_.writeDatagram(frame, QHostAddress(QHostAddress::LocalHost), port_);
    }
    QVector<QByteArray> receive(int bytes, int timeoutMs) override
    {
        QVector<QByteArray> parts;
        QElapsedTimer timer;
        timer.start();
        while (total(parts) < bytes && timer.elapsed() < timeoutMs) {
            if (!socket_.hasPendingDatagrams())
                socket_.waitForReadyRead(qMax(1, timeoutMs - int(timer.elapsed())));
            while (socket_.hasPendingDatagrams()) {
                QByteArray d(int(socket_.pendingDatagramSize()), '\0');
                socket_.readDatagram(d.data(), d.size());
                parts.append(d);
            }
        }
        return parts;
    }

private:
    QUdpSocket socket_;
    quint16 port_;
};

class TcpClient : public SimClient
{
public:
    explicit TcpClient(quint16 port)
    {
        socket_.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        socket_.waitForConnected(2000);
    }
    void send(const QByteArray& frame) override
    {
        socket_.write(frame);
        socket_.waitForBytesWritten(1000);
    }
    QVector<QByteArray> receive(int bytes, int timeoutMs) override
    {
        QVector<QByteArray> parts;
        QElapsedTimer timer;
        timer.start();
        while (total(parts) < bytes && timer.elapsed() < timeoutMs) {
            if (socket_.bytesAvailable() == 0)
                socket_.waitForReadyRead(qMax(1, timeoutMs - int(timer.elapsed())));
            if (socket_.bytesAvailable() > 0)
                parts.append(socket_.readAll());
        }
        return parts;
    }

private:
    QTcpSocket socket_;
};

// The pty is opened the way a serial port is: plain POSIX, raw mode.
class PtyClient : public SimClient
{
public:
    explicit PtyClient(const QString& path)
    {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return;
        termios tio;
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
    ~PtyClient() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    void send(const QByteArray& frame) override
    {
        if (fd_ >= 0 && ::write(fd_, frame.constData(), size_t(frame.size())) != frame.size())
            qWarning("short write to the pty");
    }
    QVector<QByteArray> receive(int bytes, int timeoutMs) override
    {
        QVector<QByteArray> parts;
        QElapsedTimer timer;
        timer.start();
        while (fd_ >= 0 && total(parts) < bytes && timer.elapsed() < timeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, qMax(1, timeoutMs - int(timer.elapsed()))) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0)
                parts.append(QByteArray(buffer, int(n)));
        }
        return parts;
    }

private:
    int fd_ = -1;
};

} // namespace

std::unique_ptr<SimClient> SimClient::connectTo(const SimProcess& sim)
{
    if (sim.kind() == QLatin1String("udp"))
        return std::make_unique<UdpClient>(sim.port());
    if (sim.kind() == QLatin1String("tcp"))
        return std::make_unique<TcpClient>(sim.port());
    return std::make_unique<PtyClient>(sim.path());
}
