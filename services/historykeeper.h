#pragma once

#include "protocol/configrecord.h"
#include "services/historystore.h"

#include <QObject>
#include <QString>

// Keeps the blocks of the window's energizer (link + address) in the history.
// The history is a record, never a condition: when it cannot be used, the
// reason is reported once and every exchange with the energizer goes on.
class HistoryKeeper : public QObject
{
    Q_OBJECT
public:
    // store may be null: nothing is kept and nothing is said.
    explicit HistoryKeeper(HistoryStore* store, QObject* parent = nullptr);

    HistoryStore* store() const { return m_store; }
    void setEnergizer(const QString& link, int address);
    QString link() const { return m_link; }
    int address() const { return m_address; }

    // The id of the entry that holds block, 0 when nothing could be kept.
    qint64 keep(HistoryKind kind, const ConfigBlock& block);
    // Why the last keep() kept nothing; empty when it did.
    QString problem() const { return m_problem; }

signals:
    // An entry was kept (or an identical one's id returned).
    void kept(HistoryKind kind, qint64 id);
    // The first time nothing could be kept, with the reason.
    void unavailable(const QString& reason);

private:
    void fail(const QString& reason);

    HistoryStore* m_store;
    QString m_link;
    int m_address = 0;
    QString m_problem;
    bool m_told = false;
};
