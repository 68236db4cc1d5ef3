#include "cli/watchcommand.h"

#include "cli/exitstatus.h"
#include "cli/output.h"
#include "link/energizerbus.h"
#include "link/energizerlink.h"
#include "protocol/frames.h"

#include <QFileInfo>

#include <cstdio>

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
    EnergizerBus& bus = m_link.bus();
    EnergizerBus::Timing timing;
    timing.replyTimeoutMs = qMin(qMin(m_request.timeoutMs, m_request.intervalMs),
                                 bus.replyTimeoutMs(Frame::StatusRequestLength, Frame::StatusReplyLength));
    bus.setTiming(timing);
    // The user asked for this rate: a silent energizer is asked as often as the others.
    bus.setBackOff(false);
    for (Station* s : bus.stations())
        connect(s, &Station::polled, this, [this, s](Station::PollOutcome outcome) { writeLine(s, outcome); });
    bus.setPollInterval(m_request.intervalMs);
}

void WatchCommand::writeLine(Station* station, Station::PollOutcome outcome)
{
    int& lines = m_lines[station];
    if (m_request.count > 0 && lines >= m_request.count)
        return;
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(station->lastPollTime(), Qt::UTC);
    const Energizer* energizer = outcome == Station::PollOutcome::Replied ? &station->energizer() : nullptr;
    const QString line = m_request.jsonLines ? watchJsonLine(time, energizer, station->address())
                                             : watchCsvLine(time, energizer, station->address());
    if (!emitText(line) || m_request.count <= 0 || ++lines < m_request.count)
        return;
    for (Station* s : m_link.bus().stations()) {
        if (m_lines.value(s) < m_request.count)
            return;
    }
    stop();
    succeed({});
}

void WatchCommand::stop()
{
    m_link.bus().setPollInterval(0);
    for (Station* s : m_link.bus().stations())
        s->disconnect(this);
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
        stop();
        fail(ExitStatus::BadFile, QStringLiteral("cannot write %1: %2")
                                      .arg(m_file.isOpen() ? m_request.outputFile : QStringLiteral("standard output"),
                                           m_file.isOpen() ? m_file.errorString() : QStringLiteral("write failed")));
    }
    return ok;
}

void WatchCommand::interrupt()
{
    // The log so far is the result; a poll still open is dropped.
    stop();
    if (m_file.isOpen())
        m_file.flush();
    succeed({});
}

#include "moc_watchcommand.cpp"
