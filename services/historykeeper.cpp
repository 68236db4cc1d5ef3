#include "services/historykeeper.h"

HistoryKeeper::HistoryKeeper(HistoryStore* store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
}

void HistoryKeeper::setEnergizer(const QString& link, int address)
{
    m_link = link;
    m_address = address;
}

qint64 HistoryKeeper::keep(HistoryKind kind, const ConfigBlock& block)
{
    if (!m_store)
        return 0;
    if (!m_store->isAvailable()) {
        fail(m_store->problem());
        return 0;
    }
    const HistoryResult<qint64> added = m_store->add(m_link, m_address, kind, block);
    if (!added.ok()) {
        fail(added.error);
        return 0;
    }
    m_problem.clear();
    emit kept(kind, added.value);
    return added.value;
}

void HistoryKeeper::fail(const QString& reason)
{
    m_problem = reason;
    if (m_told)
        return;
    m_told = true;
    emit unavailable(reason);
}

#include "moc_historykeeper.cpp"
