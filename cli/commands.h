#pragma once

#include "cli/clicommand.h"
#include "config/configrecord.h"
#include "config/configtransfer.h"
#include "link/zoneswitch.h"

#include <QDomDocument>

class PollRound;
class Station;

// status: a request to each address, every field of each reply.
class StatusCommand : public CliCommand
{
    Q_OBJECT
public:
    using CliCommand::CliCommand;

protected:
    void run() override;

private:
    void report();

    PollRound* m_round = nullptr;
    QVector<Station*> m_answered;
    QTimer m_wait;
};

// scan: one status request to each address of a range, one at a time.
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

    PollRound* m_round = nullptr;
    QVector<int> m_found;
};

// config read|show|diff|write.
class ConfigCommand : public CliCommand
{
    Q_OBJECT
public:
    ConfigCommand(EnergizerLink& link, const CliRequest& request, QObject* parent = nullptr);

protected:
    int prepare(QString* reason) override;
    void run() override;

private:
    void blockRead(ConfigTransfer::Outcome outcome, const QByteArray& reply);
    void blockWritten(ConfigTransfer::Outcome outcome, const QStringList& differing);
    void report(const ConfigBlock& block);
    void writeFile(const ConfigBlock& energizerBlock);

    ConfigTransfer* m_transfer;
    QDomDocument m_file;
    enum class Step { Reading, Writing, Verifying } m_step = Step::Reading;
    ConfigBlock m_sent{};
    int m_changed = 0;
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
