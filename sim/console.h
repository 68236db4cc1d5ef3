#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;
class SimEnergizer;

// Commands typed on standard input, one per line, each answered with one line.
// End of input only stops reading: the simulator may run with stdin closed.
class Console : public QObject
{
    Q_OBJECT
public:
    explicit Console(SimEnergizer& energizer, QObject* parent = nullptr);

    // The answer line to one command line; an empty QString for no command.
    QString execute(const QString& line);

signals:
    void quitRequested();

private:
    void readInput();

    SimEnergizer& energizer_;
    QSocketNotifier* notifier_ = nullptr;
    QByteArray pending_;
};
