// Many energizers on one simulated RS-485 line (a pty at 19200 baud, the
// simulator holding each reply for its time on the wire). Prints the poll
// cycle against the wire time, then the same with silent addresses among them,
// before and after they back off.
#include "link/energizerbus.h"
#include "protocol/frames.h"
#include "link/linktransport.h"
#include "link/station.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

struct Options
{
    QString bin;
    int stations = 32;
    int silent = 4;
    int cycles = 20;
    int baud = 19200;
};

// Starts the simulator on a pty serving these addresses; returns the pty path.
QString startSim(QProcess& sim, const Options& o, const QString& path, const QVector<int>& served)
{
    QStringList list;
    for (int a : served)
        list << QString::number(a);
    sim.setProgram(o.bin + QStringLiteral("/energizer-sim"));
    sim.setArguments({"--pty", path, "--addresses", list.join(QLatin1Char(',')), "--line-rate", QString::number(o.baud), "--collide"});
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

// Mean time of one full round of polls over the next `cycles` rounds.
double measureCycleMs(EnergizerBus& bus, int cycles)
{
    Station* first = bus.stations().first();
    QElapsedTimer clock;
    int rounds = -1;
    double ms = 0;
    QEventLoop loop;
    // A round is from one poll of the first station to the next.
    auto connection = QObject::connect(&bus, &EnergizerBus::frameSent, &loop, [&](const QByteArray& f) {
        if (quint8(f.at(0)) != first->address() || quint8(f.at(2)) != Frame::CmdStatus)
            return;
        if (++rounds == 0) {
            clock.start();
            return;
        }
        if (rounds == cycles) {
            ms = double(clock.elapsed()) / cycles;
            loop.quit();
        }
    });
    QTimer::singleShot(cycles * 60000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return ms;
}

double runBus(const Options& o, int silent, double wireMs, double allLiveMs)
{
    QTemporaryDir dir;
    QVector<int> all;
    for (int a = 1; a <= o.stations; ++a)
        all << a;
    // The silent ones spread over the line.
    QVector<int> served = all;
    for (int i = 0; i < silent; ++i)
        served.removeAll(1 + (i + 1) * o.stations / (silent + 1));
    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    const QString pty = startSim(sim, o, dir.filePath(QStringLiteral("bus")), served);
    if (pty.isEmpty()) {
        std::fprintf(stderr, "bench_bus: the simulator did not start\n");
        return -1;
    }
    LinkSpec s;
    s.portName = pty;
    s.baudRate = o.baud;
    EnergizerBus bus;
    bus.setLink(s);
    for (int a : all)
        bus.addStation(a);
    bus.open();
    bus.setPollInterval(1); // back to back: the line is the limit
    const int timeoutMs = bus.replyTimeoutMs(Frame::StatusRequestLength, Frame::StatusReplyLength);
    if (silent == 0) {
        const double cycle = measureCycleMs(bus, o.cycles);
        std::printf("%d stations: cycle %.1f ms, wire time %.1f ms, ratio %.3f (goal <= 1.25)\n", o.stations, cycle,
                    wireMs, cycle / wireMs);
        return cycle;
    }
    // The first rounds ask the silent ones every time; once they are off line
    // they are asked ever less often.
    const double early = measureCycleMs(bus, 2);
    QEventLoop settle;
    QTimer::singleShot(3 * Station::StaleReplyMs, &settle, &QEventLoop::quit);
    settle.exec();
    const double late = measureCycleMs(bus, o.cycles);
    // Against the same live stations' share of the all-live cycle.
    const double live = allLiveMs * (o.stations - silent) / o.stations;
    std::printf("%d stations, %d silent (timeout %d ms): first cycles %.1f ms (+%.1f ms = %.2f timeouts; goal <= %d),"
                " after back-off %.1f ms (+%.1f ms = %.2f timeouts)\n",
                o.stations, silent, timeoutMs, early, early - live, (early - live) / timeoutMs, silent, late,
                late - live, (late - live) / timeoutMs);
    bus.close();
    sim.write("collisions\n");
    sim.waitForReadyRead(1000);
    const QString collisions = QString::fromUtf8(sim.readAll()).trimmed();
    if (!collisions.isEmpty())
        std::printf("simulator: %s\n", qPrintable(collisions.split(QLatin1Char('\n')).last()));
    sim.terminate();
    sim.waitForFinished(3000);
    return late;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
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
    }
    if (o.bin.isEmpty())
        o.bin = QCoreApplication::applicationDirPath() + QStringLiteral("/../../bin");
    // 10 bits a byte, request and reply, every station.
    const double wireMs = o.stations * (Frame::StatusRequestLength + Frame::StatusReplyLength) * 10 * 1000.0 / o.baud;
    const double allLive = runBus(o, 0, wireMs, 0);
    if (allLive < 0)
        return 1;
    if (o.silent > 0 && runBus(o, o.silent, wireMs, allLive) < 0)
        return 1;
    return 0;
}
