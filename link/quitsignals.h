#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a signal on the event loop, so a program
// exits through its destructors (the simulator removes its pty link, the
// bridge publishes offline). SIGHUP too, for a program that asks for it: the
// others keep its default, which ends them when their terminal goes.
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);

    // From now on SIGHUP emits reloadRequested() instead of ending the process.
    void catchHangup();

signals:
    void quitRequested();
    void reloadRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};
