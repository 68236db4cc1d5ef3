#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a signal on the event loop, so the simulator
// exits through its destructors (and removes its pty link).
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);

signals:
    void quitRequested();

private:
    static void onSignal(int);
    QSocketNotifier* notifier_ = nullptr;
};
