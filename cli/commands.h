#pragma once

#include "cli/clicommand.h"
#include "protocol/configrecord.h"
#include "services/configtransfer.h"
#include "link/zoneswitch.h"

#include <QDomDocument>

class HistoryKeeper;
class Station;

// status: each address's first poll, every field of each reply.
class StatusCommand : public CliCommand
{
    Q_OBJECT
public:
    using CliCommand::CliCommand;

protected:
    void run() override;

private:
    void report();

    QVector<Station*> m_answered;
    bool m_linkDown = false;
};

// scan: each address of a range polled once, one at a time.
class ScanCommand : public CliCommand
{
    Q_OBJECT
public:
    using CliCommand::CliCommand;

protected:
    void run() override;

private:
    void found(Station* station);
    void report();

    QVector<int> m_found;
};

// config read|show|diff: one read, kept in the history.
class ConfigCommand : public CliCommand
{
    Q_OBJECT
public:
    ConfigCommand(EnergizerLink& link, const CliRequest& request, HistoryKeeper& keeper, QObject* parent = nullptr);

protected:
    int prepare(QString* reason) override;
    void run() override;

private:
    void blockRead(ConfigTransfer::Outcome outcome, const QByteArray& reply);
    void report(const ConfigBlock& block);

    HistoryKeeper& m_keeper;
    ConfigTransfer* m_transfer;
    QDomDocument m_file;
};

// zone 1|2 on|off|hv|lv.
class ZoneCommand : public CliCommand
{
    Q_OBJECT
public:
    ZoneCommand(EnergizerLink& link, const CliRequest& request, QObject* parent = nullptr);

protected:
    void run() override;

private:
    void switched(ZoneSwitch::Outcome outcome);

    ZoneSwitch* m_switch;
};
