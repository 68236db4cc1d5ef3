#pragma once

#include "cli/clicommand.h"
#include "protocol/configrecord.h"

#include <QStringList>
#include <QVector>

class ConfigPush;
class ConfigTransfer;
class HistoryKeeper;
class Station;

// config write FILE | config restore ID: to each listed energizer in turn,
// each with its own backup, PIN check, write and read-back. One result line
// per address; the exit status is the worst of them (the highest number).
class PushCommand : public CliCommand
{
    Q_OBJECT
public:
    PushCommand(EnergizerLink& link, const CliRequest& request, HistoryKeeper& keeper, QObject* parent = nullptr);

protected:
    int prepare(QString* reason) override;
    void run() override;

private:
    void next();
    void dryRunRead(int outcome, const QByteArray& reply);
    void previewed();
    void pushed();
    ConfigBlock target(const ConfigBlock& current) const;
    QString pinMismatch() const;
    QString restoreHint(qint64 backupId) const;
    // One address done: its line to stdout (status 0) or stderr.
    void result(int status, const QString& line);
    void finishAll();

    HistoryKeeper& m_keeper;
    ParamValues m_values; // the file's or the entry's, stored onto each energizer's block
    QVariant m_networkAddress; // theirs, when each energizer keeps its own
    QVector<Station*> m_stations;
    int m_at = -1;
    Station* m_station = nullptr;
    ConfigTransfer* m_transfer = nullptr;
    ConfigPush* m_push = nullptr;
    bool m_pinRefused = false;
    int m_worst = 0;
};
