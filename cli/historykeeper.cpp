#include "cli/historykeeper.h"

#include <cstdio>

HistoryKeeper::HistoryKeeper(HistoryStore& store, const QString& link)
    : m_store(store)
    , m_link(link)
{
}

qint64 HistoryKeeper::keep(int address, HistoryKind kind, const ConfigBlock& block)
{
    const HistoryResult<qint64> added = m_store.add(m_link, address, kind, block);
    if (added.ok())
        return added.value;
    // Once per run: a broken store would otherwise repeat itself for every address.
    if (!m_said) {
        m_said = true;
        std::fprintf(stderr, "energizer-cli: history not kept: %s\n", added.error.toLocal8Bit().constData());
        std::fflush(stderr);
    }
    return 0;
}
