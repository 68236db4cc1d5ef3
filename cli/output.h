#pragma once

#include "protocol/configrecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

class Energizer;

// What the commands print. Locale-independent throughout: scripts parse it.

// status: one name=value line per field of the energizer object.
QByteArray statusText(const Energizer& energizer);
QByteArray statusJson(const Energizer& energizer);

// watch: a time column (ISO 8601 UTC, milliseconds) before the energizer's
// fields. energizer nullptr is a poll with no reply from address: online
// false, the rest empty.
QString watchCsvHeader();
QString watchCsvLine(const QDateTime& time, const Energizer* energizer, int address);
QString watchJsonLine(const QDateTime& time, const Energizer* energizer, int address);
// True when a log's first line shows the fields this watch writes: the CSV
// header, or a JSON line with the same keys.
bool sameWatchLog(const QByteArray& firstLine, bool jsonLines);

// config show: every parameter in file order as Group/Name=value, or a JSON object of them.
QByteArray configShowText(const ConfigBlock& block);
QByteArray configShowJson(const ConfigBlock& block);
// config diff, history diff: the differing parameters' lines (configChangeLine), each ending in a newline.
QByteArray configDiffText(const ConfigBlock& before, const ConfigBlock& after, const QVector<int>& params);

