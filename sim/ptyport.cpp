#include "sim/ptyport.h"

#include "sim/output.h"
#include "sim/session.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

PtyPort::PtyPort(const SessionContext& context, const QString& linkPath, QObject* parent)
    : SimTransport(parent), context_(context), linkPath_(linkPath)
{
}

PtyPort::~PtyPort()
{
    if (linked_)
        ::unlink(QFile::encodeName(linkPath_).constData());
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
}

bool PtyPort::start(QString* error)
{
    const QByteArray link = QFile::encodeName(linkPath_);
    struct stat st;
    if (::lstat(link.constData(), &st) == 0) {
        // A link left by an earlier run is replaced; anything else is not ours.
        if (!S_ISLNK(st.st_mode)) {
            *error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath_);
            return false;
        }
        ::unlink(link.constData());
    }
    char slaveName[256] = {};
    if (::openpty(&master_, &slave_, slaveName, nullptr, nullptr) != 0) {
        *error = QStringLiteral("openpty: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct termios tio;
    if (::tcgetattr(slave_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        ::tcsetattr(slave_, TCSANOW, &tio);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    if (::symlink(slaveName, link.constData()) != 0) {
        *error = QStringLiteral("symlink %1: %2").arg(linkPath_, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    linked_ = true;

    session_ = new Session(context_, true, [this](const QByteArray& bytes) { writeMaster(bytes); }, this);
    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PtyPort::readMaster);
    return true;
}

QString PtyPort::endpoint() const
{
    return QStringLiteral("pty ") + linkPath_;
}

void PtyPort::readMaster()
{
    char buffer[512];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0)
        session_->receive(QByteArray(buffer, static_cast<int>(n)));
}

void PtyPort::writeMaster(const QByteArray& bytes)
{
    // Non-blocking: with nobody reading, the line's buffer fills and the rest is lost,
    // as on a real serial line.
    const ssize_t n = ::write(master_, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (n < bytes.size() && context_.verbose)
        printLine(QStringLiteral("DROP pty-full %1").arg(hexBytes(bytes.mid(n < 0 ? 0 : static_cast<int>(n)))));
}
