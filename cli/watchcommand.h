#pragma once

#include "cli/clicommand.h"

#include "link/station.h"

#include <QFile>
#include <QHash>

// watch: a line for every status poll the bus makes, one per address per
// interval; a poll that gets no reply within the smaller of the timeout and
// the interval, or cannot be sent, is a line of its own, off line.
class WatchCommand : public CliCommand
{
    Q_OBJECT
public:
    using CliCommand::CliCommand;

    void interrupt() override;

protected:
    int prepare(QString* reason) override;
    void run() override;
    bool tolerantStart() const override { return true; }

private:
    void writeLine(Station* station, Station::PollOutcome outcome);
    bool emitText(const QString& line);
    void stop();

    QFile m_file;
    QHash<Station*, int> m_lines;
    bool m_appending = false;
};
