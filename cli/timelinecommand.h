#pragma once

#include "cli/clicommand.h"
#include "services/timelinestore.h"
#include "services/timelinetext.h"

// events | trend: what the timeline file holds, as text, CSV or JSON lines.
// Reads the file alone; no link is opened.
class TimelineCommand : public CliCommand
{
    Q_OBJECT
public:
    TimelineCommand(EnergizerLink& link, const CliRequest& request, QObject* parent = nullptr);

protected:
    int prepare(QString* reason) override;
    void run() override;
    bool usesLink() const override { return false; }

private:
    std::unique_ptr<TimelineStore> m_store;
};

// T of --since and --until: ISO 8601 ("2026-12-07T22:00:00Z", a date alone
// is its midnight, no zone is local time) or before now ("-30m", "-2h",
// "-7d", "-45s"). False for anything else.
bool parseTimeArgument(const QString& text, qint64 nowMs, qint64* ms);
