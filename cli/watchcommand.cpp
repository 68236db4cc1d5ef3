#include "cli/watchcommand.h"

#include "cli/exitstatus.h"
#include "cli/output.h"
#include "cli/pollround.h"
#include "link/energizerbus.h"
#include "link/energizerlink.h"
#include "link/station.h"

#include <QFileInfo>

#include <cstdio>

namespace {
// A TCP link that is reconnecting takes no frame; the poll tries again this often.
constexpr int ResendMs = 50;
}

WatchCommand::WatchCommand(EnergizerLink& link, const CliRequest& request, QObject* parent)
    : CliCommand(link, request, parent)
{
    m_interval.setTimerType(Qt::PreciseTimer);
    m_interval.setInterval(request.intervalMs);
    connect(&m_interval, &QTimer::timeout, this, &WatchCommand::poll);
    m_window.setSingleShot(true);
    m_window.setTimerType(Qt::PreciseTimer);
    m_window.setInterval(qMin(request.timeoutMs, request.intervalMs));
    connect(&m_window, &QTimer::timeout, this, &WatchCommand::pollExpired);
    m_resend.setInterval(ResendMs);
    connect(&m_resend, &QTimer::timeout, this, &WatchCommand::trySend);
    connect(&m_link, &EnergizerLink::statusReceived, this, &WatchCommand::statusArrived);
}

int WatchCommand::prepare(QString* reason)
{
    const QString& path = m_request.outputFile;
    if (path.isEmpty())
        return ExitStatus::Done;
    // A restarted log goes on in its file; a file of another kind is never overwritten.
    QFile old(path);
    bool torn = false;
    if (QFileInfo(path).isFile() && old.size() > 0) {
        if (!old.open(QIODevice::ReadOnly) || !sameWatchLog(old.readLine(), m_request.jsonLines)) {
            *reason = QStringLiteral("%1 holds no log of the fields this watch writes (its first line differs); "
                                     "give another --output file").arg(path);
            return ExitStatus::BadFile;
        }
        m_appending = true;
        torn = old.seek(old.size() - 1) && old.read(1) != "\n";
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append) || (torn && m_file.write("\n") != 1)) {
        *reason = QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString());
        return ExitStatus::BadFile;
    }
    return ExitStatus::Done;
}

void WatchCommand::run()
{
    if (!m_request.jsonLines && !m_appending && !emitText(watchCsvHeader()))
        return;
    if (m_link.bus().stations().size() > 1) {
        m_round = new PollRound(m_link.bus().stations(), false, this);
        connect(m_round, &PollRound::answered, this, [this](Station* s) { writeLine(&s->energizer(), s->address()); });
        connect(m_round, &PollRound::silent, this, [this](Station* s) { writeLine(nullptr, s->address()); });
        connect(m_round, &PollRound::finished, this, &WatchCommand::roundDone);
        disconnect(&m_interval, &QTimer::timeout, this, &WatchCommand::poll);
        connect(&m_interval, &QTimer::timeout, this, &WatchCommand::pollRound);
        m_interval.start();
        pollRound();
        return;
    }
    m_interval.start();
    poll();
}

void WatchCommand::pollRound()
{
    // A round still open when the next is due gives its silent ones their lines.
    if (m_round->isRunning())
        m_round->stop();
    if (!m_interval.isActive())
        return;
    m_pollTime = QDateTime::currentDateTimeUtc();
    if (!m_round->start()) {
        // The link is reopening: this round is a line of silence for each.
        for (Station* s : m_link.bus().stations())
            writeLine(nullptr, s->address());
        roundDone();
    }
}

void WatchCommand::roundDone()
{
    if (m_request.count > 0 && ++m_rounds >= m_request.count && m_interval.isActive()) {
        m_interval.stop();
        succeed({});
    }
}

void WatchCommand::poll()
{
    // A poll still open when the next is due (timeout = interval) is closed first.
    if (m_waiting)
        pollExpired();
    if (!m_interval.isActive())
        return;
    m_pollTime = QDateTime::currentDateTimeUtc();
    m_waiting = true;
    m_window.start();
    trySend();
}

void WatchCommand::trySend()
{
    if (m_link.pollStatus())
        m_resend.stop();
    else if (!m_resend.isActive())
        m_resend.start();
}

void WatchCommand::statusArrived()
{
    if (!m_waiting || m_round)
        return;
    writeLine(&m_link.energizer(), m_link.station().address());
}

void WatchCommand::pollExpired()
{
    if (m_waiting)
        writeLine(nullptr, m_link.station().address());
}

void WatchCommand::writeLine(const Energizer* energizer, int address)
{
    m_waiting = false;
    m_window.stop();
    m_resend.stop();
    const QString line = m_request.jsonLines ? watchJsonLine(m_pollTime, energizer, address)
                                             : watchCsvLine(m_pollTime, energizer, address);
    if (!emitText(line) || m_round)
        return;
    if (m_request.count > 0 && ++m_lines >= m_request.count) {
        m_interval.stop();
        succeed({});
    }
}

bool WatchCommand::emitText(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    bool ok;
    if (m_file.isOpen()) {
        ok = m_file.write(bytes) == bytes.size() && m_file.flush();
    } else {
        ok = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) == std::size_t(bytes.size());
        ok = std::fflush(stdout) == 0 && ok;
    }
    if (!ok) {
        m_interval.stop();
        fail(ExitStatus::BadFile, QStringLiteral("cannot write %1: %2")
                                      .arg(m_file.isOpen() ? m_request.outputFile : QStringLiteral("standard output"),
                                           m_file.isOpen() ? m_file.errorString() : QStringLiteral("write failed")));
    }
    return ok;
}

void WatchCommand::interrupt()
{
    // The log so far is the result; a poll still open is dropped.
    if (m_round)
        m_round->disconnect(this);
    m_interval.stop();
    m_window.stop();
    m_resend.stop();
    m_waiting = false;
    if (m_file.isOpen())
        m_file.flush();
    succeed({});
}

#include "moc_watchcommand.cpp"
