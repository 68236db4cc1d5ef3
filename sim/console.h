#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;
class SimLine;
class StationSet;

// Commands typed on standard input, one per line, each answered with one line.
// A command may end with an address; without one it acts on the lowest served.
// End of input only stops reading: the simulator may run with stdin closed.
class Console : public QObject
{
    Q_OBJECT
public:
    Console(StationSet& stations, const SimLine& line, QObject* parent = nullptr);

    // The answer line to one command line; an empty QString for no command.
    QString execute(const QString& line);

signals:
    void quitRequested();

private:
    void readInput();

    StationSet& m_stations;
    const SimLine& m_line;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_pending;
};
