#include "sim/ptyport.h"

#include "sim/output.h"
#include "sim/session.h"
#include "protocol/refuse.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

PtyPort::PtyPort(const SessionContext& context, const QString& linkPath, QObject* parent)
    : SimTransport(parent), m_context(context), m_linkPath(linkPath)
{
}

PtyPort::~PtyPort()
{
    if (m_linked)
        ::unlink(QFile::encodeName(m_linkPath).constData());
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPort::start(QString* error)
{
    const QByteArray link = QFile::encodeName(m_linkPath);
    struct stat st;
    if (::lstat(link.constData(), &st) == 0) {
        // A link left by an earlier run is replaced; anything else is not ours.
        if (!S_ISLNK(st.st_mode))
            return refuse(error, QStringLiteral("%1 exists and is not a symbolic link").arg(m_linkPath));
        ::unlink(link.constData());
    }
    char slaveName[256] = {};
    if (::openpty(&m_master, &m_slave, slaveName, nullptr, nullptr) != 0)
        return refuse(error, QStringLiteral("openpty: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    struct termios tio;
    if (::tcgetattr(m_slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    if (::symlink(slaveName, link.constData()) != 0)
        return refuse(error, QStringLiteral("symlink %1: %2").arg(m_linkPath, QString::fromLocal8Bit(std::strerror(errno))));
    m_linked = true;

    m_session = new Session(m_context, true, [this](const QByteArray& bytes) { writeMaster(bytes); }, this);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyPort::readMaster);
    return true;
}

QString PtyPort::endpoint() const
{
    return QStringLiteral("pty ") + m_linkPath;
}

void PtyPort::readMaster()
{
    char buffer[512];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n > 0)
        m_session->receive(QByteArray(buffer, static_cast<int>(n)));
}

void PtyPort::writeMaster(const QByteArray& bytes)
{
    // Non-blocking: with nobody reading, the line's buffer fills and the rest is lost,
    // as on a real serial line.
    const ssize_t n = ::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (n < bytes.size() && m_context.verbose)
        printLine(QStringLiteral("DROP pty-full %1").arg(hexBytes(bytes.mid(n < 0 ? 0 : static_cast<int>(n)))));
}
