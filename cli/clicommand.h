#pragma once

#include "cli/clioptions.h"
#include "protocol/configrecord.h"
#include "services/configtransfer.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

class EnergizerLink;
class HistoryKeeper;
class LinkStarter;

// One run of a command: checks its files, starts the link, does its exchange
// and finishes with an exit status. Data goes to stdout only on success; a
// failure is one line on stderr.
class CliCommand : public QObject
{
    Q_OBJECT
public:
    CliCommand(EnergizerLink& link, const CliRequest& request, QObject* parent = nullptr);

    void start();
    // SIGINT/SIGTERM. A one-shot command gives up; watch ends its log.
    virtual void interrupt();
    bool lookupPending() const;

signals:
    void finished(int status);

protected:
    // Before the link is touched: files to read or check. Done, or an exit status with *reason.
    virtual int prepare(QString* reason);
    // The link is ready for the first frame.
    virtual void run() = 0;
    // A command that keeps going through a link that is not up yet.
    virtual bool tolerantStart() const { return false; }
    // False for one that only looks into files: run() follows prepare() and no link is opened.
    virtual bool usesLink() const { return true; }

    void succeed(const QByteArray& data, int status = 0);
    void fail(int status, const QString& reason);
    // Gives up with status and reason unless the command finishes within ms.
    void armDeadline(int ms, int status, const QString& reason);
    int remainingMs() const;
    // A read of the energizer's block ended: true with the block, kept as read;
    // a read without an answer is asked again, one the link could not send fails.
    bool takeRead(ConfigTransfer& transfer, HistoryKeeper& keeper, ConfigTransfer::Outcome outcome, const QByteArray& reply,
                  ConfigBlock* block);

    EnergizerLink& m_link;
    const CliRequest& m_request;

private:
    void finish(int status);

    LinkStarter* m_starter;
    QTimer m_deadline;
    int m_deadlineStatus = 0;
    QString m_deadlineReason;
    bool m_finished = false;
};

// Writes data to stdout, or to a file replaced only once all of it is written.
bool writeOutput(const QByteArray& data, const QString& file, QString* error);
