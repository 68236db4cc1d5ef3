#pragma once

#include "services/timelinestore.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// The timeline as energizer-cli prints it and the window exports it.
// One line per event, oldest first, in the format asked ("text", "csv", "jsonl").
QByteArray eventsText(const QVector<TimelineEvent>& events, const QString& format);
// A header and one line per reading ("csv"), or JSON lines ("jsonl").
QByteArray trendText(const QVector<TimelineReading>& readings, const QString& format);
