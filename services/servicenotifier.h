#pragma once

#include "link/repeatlimiter.h"

#include <QByteArray>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QTimer>

#include <functional>

// Tells systemd how the service is doing, through the datagram socket that
// NOTIFY_SOCKET names (the notify protocol itself: five kinds of message need
// no libsystemd). Without NOTIFY_SOCKET every call does nothing. With
// WATCHDOG_USEC it sends WATCHDOG=1 at half that period from the event loop,
// so a loop that hangs stops the pings and systemd restarts the service.
class ServiceNotifier : public QObject
{
    Q_OBJECT
public:
    static constexpr int StatusRefreshMs = 10000; // without a watchdog

    using StatusSource = std::function<QString()>;

    // Reads NOTIFY_SOCKET, WATCHDOG_USEC and WATCHDOG_PID as systemd sets them.
    explicit ServiceNotifier(const QProcessEnvironment& environment, QObject* parent = nullptr);
    ~ServiceNotifier() override;

    bool isActive() const { return m_fd >= 0; }
    // Half the watchdog period; 0 without a watchdog.
    int watchdogPingMs() const { return m_pingMs; }

    // "3 links, 42 of 45 energizers on line": sent with READY=1 and again whenever it changes.
    void setStatusSource(StatusSource source) { m_status = std::move(source); }
    void ready();
    void reloading();
    void stopping();

private:
    void tick();
    QByteArray statusLine();
    void send(const QByteArray& message);

    int m_fd = -1;
    QByteArray m_address; // a sockaddr_un
    int m_pingMs = 0;
    QTimer m_timer;
    StatusSource m_status;
    QString m_lastStatus;
    RepeatLimiter m_warnings;
};
