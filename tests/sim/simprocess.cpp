#include "simprocess.h"

#include <QFile>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
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

// All three transports through one POSIX descriptor: a connected UDP socket
// (each read is one datagram), a TCP socket, or the pty opened like a serial port.
class FdClient : public SimClient
{
public:
    explicit FdClient(int fd) : fd_(fd) {}
    ~FdClient() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    void send(const QByteArray& frame) override
    {
        if (fd_ < 0 || ::write(fd_, frame.constData(), size_t(frame.size())) != frame.size())
            qWarning("short write to the simulator");
    }
    QVector<QByteArray> receive(int bytes, int timeoutMs) override
    {
        QVector<QByteArray> parts;
        int got = 0;
        QElapsedTimer timer;
        timer.start();
        while (fd_ >= 0 && got < bytes && timer.elapsed() < timeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, qMax(1, timeoutMs - int(timer.elapsed()))) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                parts.append(QByteArray(buffer, int(n)));
                got += int(n);
            }
        }
        return parts;
    }

private:
    int fd_;
};

int connectedSocket(int type, quint16 port)
{
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int openPty(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
    termios tio;
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

} // namespace

std::unique_ptr<SimClient> SimClient::connectTo(const SimProcess& sim)
{
    if (sim.kind() == QLatin1String("udp"))
        return std::make_unique<FdClient>(connectedSocket(SOCK_DGRAM, sim.port()));
    if (sim.kind() == QLatin1String("tcp"))
        return std::make_unique<FdClient>(connectedSocket(SOCK_STREAM, sim.port()));
    return std::make_unique<FdClient>(openPty(sim.path()));
}
