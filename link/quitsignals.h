#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a signal on the event loop, so a program
// exits through its destructors (the simulator removes its pty link, the
// bridge publishes offline).
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);

signals:
    void quitRequested();

private:
    static void onSignal(int);
    QSocketNotifier* m_notifier = nullptr;
};
