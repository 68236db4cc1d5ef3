#pragma once

#include "config/configrecord.h"
#include "history/historystore.h"

#include <QString>

// Keeps the blocks a command reads and writes in the history. A store that
// cannot be used never stops the exchange with the energizer: the reason is
// said once on stderr and the command goes on.
class HistoryKeeper
{
public:
    HistoryKeeper(HistoryStore& store, const QString& link);

    HistoryStore& store() const { return m_store; }
    QString link() const { return m_link; }
    // The entry's id, or 0 when nothing could be kept.
    qint64 keep(int address, HistoryKind kind, const ConfigBlock& block);

private:
    HistoryStore& m_store;
    QString m_link;
    bool m_said = false;
};
