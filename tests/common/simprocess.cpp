#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <csignal>
#include <sys/prctl.h>

void ChildProcess::setupChildProcess()
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
}

qint64 SimProcess::nowMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

SimProcess::SimProcess()
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, &process_, [this] { readOutput(); });
}

SimProcess::~SimProcess()
{
    stop();
}

QString SimProcess::start(const QStringList& arguments)
{
    stop();
    lines_.clear();
    partial_.clear();
    kind_.clear();
    path_.clear();
    port_ = 0;
    const QString program = qEnvironmentVariable("EC_SIM");
    if (program.isEmpty())
        return QString();
    process_.start(program, arguments);
    // "READY udp 127.0.0.1:PORT", "READY tcp 127.0.0.1:PORT" or "READY pty PATH"
    const QStringList ready = waitForLine(0, QStringLiteral("READY "), 5000).split(QLatin1Char(' '));
    if (ready.size() != 3)
        return QString();
    kind_ = ready[1];
    if (kind_ == QLatin1String("pty")) {
        path_ = ready[2];
        return path_;
    }
    if (ready[2].startsWith(QLatin1String("127.0.0.1:")))
        port_ = ready[2].section(QLatin1Char(':'), -1).toUShort();
    return port_ ? QString::number(port_) : QString();
}

void stopChild(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

void SimProcess::stop()
{
    stopChild(process_);
}

QString SimProcess::command(const QString& line, const QString& answerPrefix, int timeoutMs)
{
    const int from = lines_.size();
    process_.write(line.toUtf8() + '\n');
    return waitForLine(from, answerPrefix, timeoutMs);
}

QByteArray SimProcess::block()
{
    const QByteArray bytes = QByteArray::fromHex(command(QStringLiteral("dump"), QStringLiteral("CONFIG ")).mid(7).toLatin1());
    return bytes.size() == 52 ? bytes : QByteArray();
}

QList<qint64> SimProcess::frames(const QString& direction, const QString& hexPrefix) const
{
    const QString wanted = direction + QLatin1Char(' ') + hexPrefix;
    QList<qint64> times;
    for (const auto& line : lines_) {
        if (line.second.startsWith(wanted))
            times << line.first;
    }
    return times;
}

int SimProcess::count(const QString& direction, const QString& hexPrefix, qint64 sinceMs) const
{
    int n = 0;
    for (qint64 t : frames(direction, hexPrefix))
        n += t >= sinceMs ? 1 : 0;
    return n;
}

void SimProcess::readOutput()
{
    partial_ += process_.readAllStandardOutput();
    int end;
    while ((end = partial_.indexOf('\n')) >= 0) {
        lines_.append({nowMs(), QString::fromUtf8(partial_.left(end)).trimmed()});
        partial_.remove(0, end + 1);
    }
}

QString SimProcess::waitForLine(int from, const QString& prefix, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const bool ended = process_.state() == QProcess::NotRunning;
        if (ended)
            readOutput();
        for (int i = from; i < lines_.size(); ++i) {
            if (lines_.at(i).second.startsWith(prefix))
                return lines_.at(i).second;
        }
        from = lines_.size();
        if (ended || waited.elapsed() >= timeoutMs)
            return QString();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        process_.waitForReadyRead(10);
    }
}
