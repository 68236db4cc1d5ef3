// Many energizers on one simulated RS-485 line (a pty at 19200 baud, the
// simulator holding each reply for its time on the wire). Prints the poll
// cycle against the wire time and where an exchange's time goes, then the
// same with silent addresses among them, before and after they back off, and
// how soon silent energizers are back once they answer again: on an idle line
// and on a full one, with the line's spare time used and, as before, not.
#include "link/energizerbus.h"
#include "protocol/frames.h"
#include "link/linktransport.h"
#include "link/station.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

struct Options
{
    QString bin;
    int stations = 32;
    int silent = 4;
    int cycles = 20;
    int baud = 19200;
    int silentForMs = 20000;
    int idleIntervalMs = 1000;
};

// Starts the simulator on a pty serving addresses 1..stations; returns the pty path.
QString startSim(QProcess& sim, const Options& o, const QString& path)
{
    sim.setProgram(o.bin + QStringLiteral("/energizer-sim"));
    sim.setArguments({"--pty", path, "--addresses", QStringLiteral("1-%1").arg(o.stations), "--line-rate",
                      QString::number(o.baud), "--collide"});
    sim.start();
    if (!sim.waitForStarted())
        return {};
    while (sim.waitForReadyRead(5000)) {
        while (sim.canReadLine()) {
            const QString line = QString::fromUtf8(sim.readLine()).trimmed();
            if (line.startsWith(QLatin1String("READY pty ")))
                return line.mid(10);
        }
    }
    return {};
}

// A console command, "silence 3"; false unless the simulator said OK.
bool simCommand(QProcess& sim, const QString& command)
{
    sim.write((command + QLatin1Char('\n')).toUtf8());
    while (sim.waitForReadyRead(5000)) {
        while (sim.canReadLine()) {
            if (sim.readLine().startsWith("OK "))
                return true;
        }
    }
    return false;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Cycle
{
    double ms = 0;     // one round of polls
    double lineMs = 0; // request handed to the port -> its reply taken, a mean
    double busMs = 0;  // reply taken -> the next request handed to the port, a mean
};

// Over the next `cycles` rounds, a round being from one poll of the first station to the next.
Cycle measureCycle(EnergizerBus& bus, int cycles)
{
    Station* first = bus.stations().first();
    QElapsedTimer clock;
    int rounds = -1;
    Cycle c;
    qint64 sentAt = -1;
    qint64 takenAt = -1;
    qint64 lineNs = 0;
    qint64 busNs = 0;
    int exchanges = 0;
    QEventLoop loop;
    auto sent = QObject::connect(&bus, &EnergizerBus::frameSent, &loop, [&](const QByteArray& f) {
        if (rounds >= 0 && takenAt >= 0) {
            busNs += clock.nsecsElapsed() - takenAt;
            ++exchanges;
        }
        sentAt = rounds >= 0 ? clock.nsecsElapsed() : -1;
        takenAt = -1;
        if (quint8(f.at(0)) != first->address() || quint8(f.at(2)) != Frame::CmdStatus)
            return;
        if (++rounds == 0) {
            clock.start();
            sentAt = 0;
            return;
        }
        if (rounds == cycles) {
            c.ms = double(clock.elapsed()) / cycles;
            loop.quit();
        }
    });
    auto taken = QObject::connect(&bus, &EnergizerBus::replyTaken, &loop, [&] {
        if (sentAt < 0)
            return;
        takenAt = clock.nsecsElapsed();
        lineNs += takenAt - sentAt;
    });
    QTimer::singleShot(cycles * 60000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(sent);
    QObject::disconnect(taken);
    if (exchanges > 0) {
        c.lineMs = lineNs / 1e6 / exchanges;
        c.busMs = busNs / 1e6 / exchanges;
    }
    return c;
}

struct Recovery
{
    double meanMs = 0;
    double maxMs = 0;
    qint64 liveGapMs = 0; // the longest time between two polls of one live station while the others were off line
    bool ok = false;
};

// Silences these addresses for a while, then lets them answer again and
// times each one's return to on line.
Recovery measureRecovery(EnergizerBus& bus, QProcess& sim, const QVector<int>& silent, int silentForMs)
{
    Recovery r;
    QHash<int, qint64> lastPoll;
    QElapsedTimer clock;
    clock.start();
    // The live ones' rate once the silent ones are off line.
    const auto allOffline = [&bus, &silent] {
        return std::all_of(silent.begin(), silent.end(),
                           [&bus](int a) { return bus.station(a)->availability() == Station::Availability::Offline; });
    };
    auto polls = QObject::connect(&bus, &EnergizerBus::frameSent, [&](const QByteArray& f) {
        const int a = quint8(f.at(0));
        if (silent.contains(a) || quint8(f.at(2)) != Frame::CmdStatus || !allOffline())
            return;
        if (lastPoll.contains(a))
            r.liveGapMs = qMax(r.liveGapMs, clock.elapsed() - lastPoll.value(a));
        lastPoll[a] = clock.elapsed();
    });
    for (int a : silent) {
        if (!simCommand(sim, QStringLiteral("silence %1").arg(a)))
            return r;
    }
    runFor(silentForMs);
    QObject::disconnect(polls);
    QEventLoop loop;
    QVector<qint64> back;
    QVector<QMetaObject::Connection> watches;
    for (int a : silent) {
        watches << QObject::connect(bus.station(a), &Station::availabilityChanged, &loop, [&](Station::Availability v) {
            if (v != Station::Availability::Online)
                return;
            back << clock.elapsed();
            if (back.size() == silent.size())
                loop.quit();
        });
    }
    for (int a : silent)
        simCommand(sim, QStringLiteral("resume %1").arg(a));
    const qint64 resumedAt = clock.elapsed();
    QTimer::singleShot(2 * Station::MaxBackoffMs, &loop, &QEventLoop::quit);
    loop.exec();
    for (const auto& w : qAsConst(watches))
        QObject::disconnect(w);
    if (back.size() != silent.size())
        return r;
    for (qint64 t : qAsConst(back)) {
        r.meanMs += double(t - resumedAt) / back.size();
        r.maxMs = qMax(r.maxMs, double(t - resumedAt));
    }
    r.ok = true;
    return r;
}

// Recovery with the line's spare time used and without, in turns.
bool printRecovery(EnergizerBus& bus, QProcess& sim, const Options& o, const QVector<int>& silent, int intervalMs,
                   const char* line)
{
    bus.setPollInterval(intervalMs);
    Recovery now, before;
    for (Recovery* r : {&before, &now}) {
        bus.setAskInSpareTime(r == &now);
        *r = measureRecovery(bus, sim, silent, o.silentForMs);
        if (!r->ok) {
            std::fprintf(stderr, "bench_bus: the silent stations did not come back\n");
            return false;
        }
    }
    std::printf("%s: %d silent for %d s are back after %.0f ms mean, %.0f ms at most (before: %.0f / %.0f ms);"
                " longest gap of a live station %lld ms (before: %lld ms)\n",
                line, silent.size(), o.silentForMs / 1000, now.meanMs, now.maxMs, before.meanMs, before.maxMs,
                static_cast<long long>(now.liveGapMs), static_cast<long long>(before.liveGapMs));
    return true;
}

int run(const Options& o)
{
    // 10 bits a byte, request and reply, every station.
    const double exchangeWireMs = (Frame::StatusRequestLength + Frame::StatusReplyLength) * 10 * 1000.0 / o.baud;
    const double wireMs = o.stations * exchangeWireMs;
    QTemporaryDir dir;
    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    const QString pty = startSim(sim, o, dir.filePath(QStringLiteral("bus")));
    if (pty.isEmpty()) {
        std::fprintf(stderr, "bench_bus: the simulator did not start\n");
        return 1;
    }
    LinkSpec s;
    s.portName = pty;
    s.baudRate = o.baud;
    EnergizerBus bus;
    bus.setLink(s);
    for (int a = 1; a <= o.stations; ++a)
        bus.addStation(a);
    bus.open();
    bus.setPollInterval(1); // back to back: the line is the limit
    const int timeoutMs = bus.replyTimeoutMs(Frame::StatusRequestLength, Frame::StatusReplyLength);

    const Cycle all = measureCycle(bus, o.cycles);
    std::printf("%d stations: cycle %.1f ms, wire time %.1f ms, ratio %.3f (goal <= 1.10)\n", o.stations, all.ms, wireMs,
                all.ms / wireMs);
    // The simulator holds a reply for the wire time and its 1 ms turnaround, in whole ms of its timer.
    std::printf("  an exchange: %.2f ms request to reply (wire %.2f ms, held by the simulator %.0f ms),"
                " %.2f ms reply to next request\n",
                all.lineMs, exchangeWireMs, std::ceil(exchangeWireMs + 1), all.busMs);

    // The silent ones spread over the line.
    QVector<int> silent;
    for (int i = 0; i < o.silent; ++i)
        silent << 1 + (i + 1) * o.stations / (o.silent + 1);
    if (!silent.isEmpty()) {
        for (int a : silent)
            simCommand(sim, QStringLiteral("silence %1").arg(a));
        // The first rounds ask the silent ones every time; once they are off
        // line they are asked ever less often.
        const double early = measureCycle(bus, 2).ms;
        runFor(3 * Station::StaleReplyMs);
        const double late = measureCycle(bus, o.cycles).ms;
        // Against the same live stations' share of the all-live cycle.
        const double live = all.ms * (o.stations - o.silent) / o.stations;
        std::printf("%d stations, %d silent (timeout %d ms): first cycles %.1f ms (+%.1f ms = %.2f timeouts; goal <= %d),"
                    " after back-off %.1f ms (+%.1f ms = %.2f timeouts)\n",
                    o.stations, o.silent, timeoutMs, early, early - live, (early - live) / timeoutMs, o.silent, late,
                    late - live, (late - live) / timeoutMs);
        for (int a : silent)
            simCommand(sim, QStringLiteral("resume %1").arg(a));
        const QString idle = QStringLiteral("idle line (every %1 ms)").arg(o.idleIntervalMs);
        if (!printRecovery(bus, sim, o, silent, o.idleIntervalMs, qPrintable(idle))
            || !printRecovery(bus, sim, o, silent, 1, "full line (back to back)"))
            return 1;
    }
    bus.close();
    sim.write("collisions\n");
    sim.waitForReadyRead(1000);
    const QString collisions = QString::fromUtf8(sim.readAll()).trimmed();
    if (!collisions.isEmpty())
        std::printf("simulator: %s\n", qPrintable(collisions.split(QLatin1Char('\n')).last()));
    sim.terminate();
    sim.waitForFinished(3000);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    Options o;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& k = args.at(i);
        const QString& v = args.at(i + 1);
        if (k == QLatin1String("--bin"))
            o.bin = v;
        else if (k == QLatin1String("--stations"))
            o.stations = qBound(2, v.toInt(), 63);
        else if (k == QLatin1String("--silent"))
            o.silent = qBound(0, v.toInt(), o.stations - 1);
        else if (k == QLatin1String("--cycles"))
            o.cycles = qMax(2, v.toInt());
        else if (k == QLatin1String("--silent-for"))
            o.silentForMs = qBound(1, v.toInt(), 600) * 1000;
        else if (k == QLatin1String("--idle-interval"))
            o.idleIntervalMs = qBound(200, v.toInt(), 60000);
    }
    if (o.bin.isEmpty())
        o.bin = QCoreApplication::applicationDirPath() + QStringLiteral("/../../bin");
    return run(o);
}
