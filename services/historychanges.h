#pragma once

#include "protocol/configdiff.h"
#include "services/historystore.h"

// Parameters an entry of a history list changed against the entry before it;
// -1 for an energizer's first entry or when the one before is unusable.
inline int historyChanges(const HistoryEntry& entry)
{
    return entry.hasPrevious ? configChanges(entry.previous, entry.block).size() : -1;
}
