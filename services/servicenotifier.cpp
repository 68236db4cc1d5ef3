#include "services/servicenotifier.h"

#include <QLoggingCategory>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
Q_LOGGING_CATEGORY(lcNotify, "energizer.systemd")
}

ServiceNotifier::ServiceNotifier(const QProcessEnvironment& environment, QObject* parent)
    : QObject(parent)
{
    const QByteArray path = environment.value(QStringLiteral("NOTIFY_SOCKET")).toLocal8Bit();
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    // "@name" is an abstract socket: a leading NUL instead of the '@'.
    if (path.size() < 2 || path.size() >= int(sizeof(address.sun_path)) || (path[0] != '/' && path[0] != '@'))
        return;
    std::copy(path.begin(), path.end(), address.sun_path);
    if (path[0] == '@')
        address.sun_path[0] = '\0';
    m_address = QByteArray(reinterpret_cast<const char*>(&address), int(offsetof(sockaddr_un, sun_path)) + path.size());
    m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        qCWarning(lcNotify, "cannot reach systemd at %s: %s", path.constData(), std::strerror(errno));
        return;
    }

    bool usecOk = false;
    const qint64 usec = environment.value(QStringLiteral("WATCHDOG_USEC")).toLongLong(&usecOk);
    // Meant for another process of the service when it names one that is not this.
    const QString pid = environment.value(QStringLiteral("WATCHDOG_PID"));
    if (usecOk && usec > 0 && (pid.isEmpty() || pid.toLongLong() == ::getpid()))
        m_pingMs = int(qBound<qint64>(1, usec / 2000, 24 * 3600 * 1000));
    connect(&m_timer, &QTimer::timeout, this, &ServiceNotifier::tick);
    m_timer.start(m_pingMs > 0 ? m_pingMs : StatusRefreshMs);
}

ServiceNotifier::~ServiceNotifier()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void ServiceNotifier::ready()
{
    m_lastStatus.clear();
    send("READY=1" + statusLine());
}

void ServiceNotifier::reloading()
{
    // MONOTONIC_USEC is what systemd 253 and later want with RELOADING=1; older ones ignore it.
    timespec now = {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const quint64 usec = quint64(now.tv_sec) * 1000000u + quint64(now.tv_nsec) / 1000u;
    send("RELOADING=1\nMONOTONIC_USEC=" + QByteArray::number(usec));
}

void ServiceNotifier::stopping()
{
    send("STOPPING=1");
}

void ServiceNotifier::tick()
{
    QByteArray message = m_pingMs > 0 ? QByteArrayLiteral("WATCHDOG=1") : QByteArray();
    message += statusLine();
    if (message.startsWith('\n'))
        message.remove(0, 1);
    if (!message.isEmpty())
        send(message);
}

// "\nSTATUS=..." when the text changed since it was last sent; empty otherwise.
QByteArray ServiceNotifier::statusLine()
{
    if (!m_status)
        return {};
    const QString text = m_status();
    if (text == m_lastStatus)
        return {};
    m_lastStatus = text;
    return "\nSTATUS=" + text.toUtf8();
}

void ServiceNotifier::send(const QByteArray& message)
{
    if (m_fd < 0)
        return;
    if (::sendto(m_fd, message.constData(), size_t(message.size()), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(m_address.constData()), socklen_t(m_address.size())) >= 0)
        return;
    const QString text = QStringLiteral("systemd did not take %1: %2")
                             .arg(QString::fromUtf8(message.left(message.indexOf('='))), QString::fromLocal8Bit(std::strerror(errno)));
    if (m_warnings.pass(text))
        qCWarning(lcNotify, "%s", qUtf8Printable(text));
}

#include "moc_servicenotifier.cpp"
