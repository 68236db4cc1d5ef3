#pragma once

#include "cli/clicommand.h"
#include "services/configtransfer.h"
#include "services/historystore.h"

class HistoryKeeper;

// history [list] | show ID | diff ID [ID2]. Only a diff against the energizer
// now opens the link; the rest read the history file alone.
class HistoryCommand : public CliCommand
{
    Q_OBJECT
public:
    HistoryCommand(EnergizerLink& link, const CliRequest& request, HistoryKeeper& keeper, QObject* parent = nullptr);

protected:
    int prepare(QString* reason) override;
    void run() override;
    bool usesLink() const override;

private:
    void list();
    void blockRead(ConfigTransfer::Outcome outcome, const QByteArray& reply);
    void diff(const ConfigBlock& before, const ConfigBlock& after);

    HistoryKeeper& m_keeper;
    HistoryEntry m_entry;
    HistoryEntry m_second;
    ConfigTransfer* m_transfer = nullptr;
};

// "id time link address kind user changed", tab-separated, a header first;
// changed is "-" for an energizer's first entry.
QByteArray historyListText(const QVector<HistoryEntry>& entries);
