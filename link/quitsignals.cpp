#include "link/quitsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
// Self-pipe: the only thing a signal handler may safely touch. Each byte is the signal's number.
int signalPipe[2] = {-1, -1};

void handle(int sig)
{
    struct sigaction action = {};
    action.sa_handler = [](int number) {
        const char byte = static_cast<char>(number);
        [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
    };
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(sig, &action, nullptr);
}
}

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    if (signalPipe[0] < 0 && ::pipe(signalPipe) != 0)
        return;
    for (int fd : signalPipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        if (::read(signalPipe[0], &byte, 1) <= 0)
            return;
        if (byte == SIGHUP)
            emit reloadRequested();
        else
            emit quitRequested();
    });
    handle(SIGTERM);
    handle(SIGINT);
}

void QuitSignals::catchHangup()
{
    if (m_notifier)
        handle(SIGHUP);
}
