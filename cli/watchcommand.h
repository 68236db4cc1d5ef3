#pragma once

#include "cli/clicommand.h"

#include <QDateTime>
#include <QFile>

class Energizer;
class PollRound;
class Station;

// watch: a status poll every interval, one line each; a poll that gets no
// reply within the smaller of the timeout and the interval is logged off line.
class WatchCommand : public CliCommand
{
    Q_OBJECT
public:
    WatchCommand(EnergizerLink& link, const CliRequest& request, QObject* parent = nullptr);

    void interrupt() override;

protected:
    int prepare(QString* reason) override;
    void run() override;
    bool tolerantStart() const override { return true; }

private:
    void poll();
    void trySend();
    void statusArrived();
    void pollExpired();
    void writeLine(const Energizer* energizer, int address);
    // Several addresses: a round of polls each interval, a line per address.
    void pollRound();
    void roundDone();
    bool emitText(const QString& line);

    QFile m_file;
    QTimer m_interval;
    QTimer m_window;
    QTimer m_resend;
    QDateTime m_pollTime;
    bool m_waiting = false;
    PollRound* m_round = nullptr;
    int m_rounds = 0;
    int m_lines = 0;
    bool m_appending = false;
};
