#pragma once

#include "cli/clicommand.h"

#include <QDateTime>
#include <QFile>

class Energizer;

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
    void writeLine(const Energizer* energizer);
    bool emitText(const QString& line);

    QFile m_file;
    QTimer m_interval;
    QTimer m_window;
    QTimer m_resend;
    QDateTime m_pollTime;
    bool m_waiting = false;
    int m_lines = 0;
};
