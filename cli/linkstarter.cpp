#include "cli/linkstarter.h"

#include "link/energizerlink.h"
#include "link/station.h"

#include <QHostAddress>

LinkStarter::LinkStarter(EnergizerLink& link, int timeoutMs, QObject* parent)
    : QObject(parent)
    , m_link(link)
    , m_timeoutMs(timeoutMs)
{
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, &LinkStarter::check);
    connect(&m_link, &EnergizerLink::usable, this, &LinkStarter::check);
    connect(&m_link, &EnergizerLink::statusChanged, this, [this](const LinkStatus& status) {
        switch (status.kind) {
        case LinkStatus::Kind::SerialOpenFailed:
        case LinkStatus::Kind::NoSerialPort:
            m_serialError = status.systemText.isEmpty() ? QStringLiteral("no such port") : status.systemText;
            break;
        case LinkStatus::Kind::BindFailed:
            m_bindFailed = true;
            break;
        case LinkStatus::Kind::SocketError:
            m_socketError = status.systemText;
            check();
            break;
        default:
            break;
        }
    });
}

LinkStarter::~LinkStarter()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
}

int LinkStarter::remainingMs() const
{
    return qMax(0, m_timeoutMs - static_cast<int>(m_clock.elapsed()));
}

QString LinkStarter::target() const
{
    const LinkSpec& s = m_link.link();
    return QStringLiteral("%1:%2").arg(s.host).arg(s.port);
}

void LinkStarter::start()
{
    m_clock.start();
    m_deadline.start(m_timeoutMs);
    const LinkSpec& s = m_link.link();
    if (!s.isSerial() && QHostAddress(s.host).isNull()) {
        // Resolved here, so a name that does not resolve gets its own reason.
        m_lookupId = QHostInfo::lookupHost(s.host, this, &LinkStarter::hostLookedUp);
        return;
    }
    openLink();
}

void LinkStarter::hostLookedUp(const QHostInfo& info)
{
    m_lookupId = -1;
    if (m_done)
        return;
    const QList<QHostAddress> addresses = info.addresses();
    if (info.error() != QHostInfo::NoError || addresses.isEmpty()) {
        end(QStringLiteral("cannot resolve host %1: %2").arg(m_link.link().host, info.errorString()));
        return;
    }
    QHostAddress chosen = addresses.constFirst();
    for (const QHostAddress& a : addresses) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            chosen = a;
            break;
        }
    }
    LinkSpec s = m_link.link();
    s.host = chosen.toString();
    m_link.setLink(s, m_link.station().address());
    openLink();
}

void LinkStarter::openLink()
{
    const LinkSpec& s = m_link.link();
    m_link.open();
    if (s.isSerial() && !m_link.isUsable())
        end(QStringLiteral("cannot open serial port %1: %2").arg(s.portName, m_serialError));
    else if (!s.isSerial() && m_bindFailed)
        end(QStringLiteral("cannot bind %1:%2").arg(s.bindAddress).arg(s.port));
    else
        check(); // a serial port's usable() came while it opened: check() has said ready already
}

void LinkStarter::check()
{
    if (m_done)
        return;
    if (m_lookupId < 0 && m_link.isUsable()) {
        end({});
        return;
    }
    const bool refused = !m_socketError.isEmpty();
    // Still waiting while the deadline runs (a timer may fire a little early,
    // so its firing, not the clock, ends the wait).
    if (!refused && m_deadline.isActive())
        return;
    if (m_lookupId >= 0) {
        end(QStringLiteral("cannot resolve host %1 within %2 ms").arg(m_link.link().host).arg(m_timeoutMs));
    } else if (m_tolerant) {
        // watch logs the energizer as off line until the link comes up.
        end({});
    } else if (refused) {
        end(QStringLiteral("cannot connect to %1: %2").arg(target(), m_socketError));
    } else {
        end(QStringLiteral("no connection to %1 within %2 ms").arg(target()).arg(m_timeoutMs));
    }
}

void LinkStarter::end(const QString& failure)
{
    m_deadline.stop();
    m_done = true;
    if (failure.isEmpty())
        emit ready();
    else
        emit failed(failure);
}

#include "moc_linkstarter.cpp"
