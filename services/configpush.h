#pragma once

#include "protocol/configdiff.h"
#include "protocol/configrecord.h"
#include "services/historystore.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class ConfigTransfer;
class HistoryKeeper;
class Station;

// A write the installer sees coming: the energizer's block is read and kept
// as backup first, the changes are offered for confirmation, and only then
// is the block written, read back and the verified block kept. The dialogs
// show the preview; this keeps the order of the steps.
class ConfigPush : public QObject
{
    Q_OBJECT
public:
    ConfigPush(ConfigTransfer& transfer, Station& station, HistoryKeeper& keeper, QObject* parent = nullptr);

    // How a finished push ended.
    enum class Result { Written, NoReply, Cancelled, NotConfirmed, Refused };
    // The block to write, made from the one the backup read found (a file
    // that sets some parameters keeps the others).
    using MakeTarget = std::function<ConfigBlock(const ConfigBlock& current)>;

    bool busy() const { return m_step != Step::Idle; }
    // Starts with the backup read; kind is how the verified block is kept
    // (Written or Restored). False, doing nothing, while busy.
    bool start(const ConfigBlock& block, HistoryKind kind);
    bool start(const MakeTarget& makeTarget, HistoryKind kind);
    // After previewReady: write, or give up writing nothing.
    void confirm();
    void cancel();

    // The backup's entry id, 0 when it could not be kept.
    qint64 backupId() const { return m_backupId; }
    ConfigBlock target() const { return m_target; }
    // What the backup read found; valid from previewReady on.
    ConfigBlock current() const { return m_current; }
    // Of the last finished push; reason() is its account without the window's restore hint.
    Result result() const { return m_result; }
    QString reason() const { return m_reason; }

signals:
    // The energizer's block was read; these parameters would change.
    void previewReady(const QVector<ParamChange>& changes, qint64 backupId);
    // The push is over, written and verified or not; text says which.
    void finished(bool ok, const QString& text);

private:
    enum class Step { Idle, Backup, Preview, Writing };
    void takeRead(int outcome, const QByteArray& reply);
    void takeWrite(int outcome, const QStringList& differing);
    void finish(Result result, const QString& reason, const QString& text = {});

    ConfigTransfer& m_transfer;
    HistoryKeeper& m_keeper;
    Step m_step = Step::Idle;
    HistoryKind m_kind = HistoryKind::Written;
    MakeTarget m_makeTarget;
    ConfigBlock m_target{};
    ConfigBlock m_current{};
    Result m_result = Result::NoReply;
    QString m_reason;
    qint64 m_backupId = 0;
    QByteArray m_readBack;
};
