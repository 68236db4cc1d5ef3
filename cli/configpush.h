#pragma once

#include "config/configdiff.h"
#include "config/configrecord.h"
#include "history/historystore.h"
#include "link/configtransfer.h"

#include <QObject>
#include <QTimer>

#include <functional>

class HistoryKeeper;
class Station;

// Puts a new block on one energizer the careful way: reads what it holds and
// keeps that as a backup, checks the installer PIN, writes, reads back and
// keeps the verified block. A dry run only reads and says what would change.
class ConfigPush : public QObject
{
    Q_OBJECT
public:
    enum class Result { Written, DryRun, PinMismatch, NotConfirmed, NoReply, LinkDown };
    Q_ENUM(Result)

    struct Outcome
    {
        Result result = Result::NoReply;
        qint64 backupId = 0;           // 0: the backup could not be kept
        QVector<ParamChange> changes;  // energizer's values against the new block
        QString reason;                // one line for a failure
    };

    // The block to write, made from the one the energizer holds now.
    using Target = std::function<ConfigBlock(const ConfigBlock& current)>;

    // kept: Written or Restored, what a verified block is kept as.
    ConfigPush(Station& station, HistoryKeeper& history, HistoryKind kept, const QString& pin, int timeoutMs,
               QObject* parent = nullptr);

    void start(const Target& target, bool dryRun);

signals:
    void finished(const ConfigPush::Outcome& outcome);

private:
    void blockRead(ConfigTransfer::Outcome outcome, const QByteArray& reply);
    void current(const ConfigBlock& block);
    void blockWritten(ConfigTransfer::Outcome outcome, const QStringList& differing);
    void verified(const ConfigBlock& back);
    void finish(Result result, const QString& reason = {});

    Station& m_station;
    HistoryKeeper& m_history;
    HistoryKind m_kept;
    QString m_pin;
    int m_timeoutMs;
    ConfigTransfer* m_transfer = nullptr;
    Target m_target;
    bool m_dryRun = false;
    enum class Step { Reading, Writing, Verifying, Done } m_step = Step::Reading;
    ConfigBlock m_sent{};
    QByteArray m_lastReply;
    Outcome m_outcome;
    QTimer m_deadline;
};
