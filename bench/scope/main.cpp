// Scope load bench. Shows the scope dialog over the main window, fed by the
// energizer simulator on loopback, and measures per mode: CPU share of the
// process, paint times of the visible plot canvas, samples per unit and
// memory. The reference mode is the scope as it was before it kept the
// display's pace: the same build, with a whole replot on every 10 ms sample
// added from outside and the frame timer kept from firing.
//
// Run it through bench/scope/run: it needs an X server (Xvfb) and must run
// inside a private network namespace.

#include "app/globals.h"
#include "app/mainwindow.h"
#include "protocol/energizer.h"
#include "link/energizerlink.h"
#include "protocol/frames.h"
#include "widgets/circularbuffer.h"
#include "widgets/plot.h"
#include "widgets/scopedlg.h"
#include "widgets/scopeunit.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>
#include <QWindow>

#include <qwt_plot_curve.h>

#include <malloc.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

QTextStream out(stdout);

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& tv) { return tv.tv_sec * 1e3 + tv.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

qint64 rssKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

// The X server this process draws on, when it is a local Xvfb: its CPU
// share shows what the frames cost on the other side of the socket.
qint64 findXServerPid()
{
    const QByteArray display = qgetenv("DISPLAY");
    QDir proc(QStringLiteral("/proc"));
    for (const QString& entry : proc.entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> args = cmdline.readAll().split('\0');
        if (!args.isEmpty() && args.first().endsWith("Xvfb") && args.contains(display))
            return pid;
    }
    return 0;
}

double otherProcessCpuMs(qint64 pid)
{
    if (pid <= 0)
        return NAN;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return NAN;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return NAN;
    const double ticks = fields.at(11).toDouble() + fields.at(12).toDouble();
    return ticks * 1000.0 / sysconf(_SC_CLK_TCK);
}

qint64 heapInUseKb()
{
    return static_cast<qint64>(mallinfo2().uordblks / 1024);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(std::ceil(p / 100.0 * values.size())) - 1;
    return values[std::min(index, values.size() - 1)];
}

struct Durations
{
    std::vector<double> wall;
    std::vector<double> cpu;
    // Room for the whole run, so recording allocates nothing while memory is watched.
    void restart(size_t expected)
    {
        wall.clear();
        cpu.clear();
        wall.reserve(expected);
        cpu.reserve(expected);
    }
};

// Times the paint of one widget and the whole update of one window.
class BenchApp : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        Durations* target = nullptr;
        if (receiver == canvas && event->type() == QEvent::Paint)
            target = &canvasPaints;
        else if (receiver == window && event->type() == QEvent::UpdateRequest)
            target = &frames;
        if (!target || !recording)
            return QApplication::notify(receiver, event);
        QElapsedTimer wall;
        wall.start();
        const double cpu = threadCpuMs();
        const bool done = QApplication::notify(receiver, event);
        target->cpu.push_back(threadCpuMs() - cpu);
        target->wall.push_back(wall.nsecsElapsed() / 1e6);
        return done;
    }

    QObject* canvas = nullptr;
    QObject* window = nullptr;
    bool recording = false;
    Durations canvasPaints;
    Durations frames;
};

struct Result
{
    QString name;
    double seconds = 0;
    double cpuPercent = 0;
    double xServerPercent = NAN;
    Durations paints;
    Durations frames;
    qint64 samples[2] = {0, 0};
    qint64 held[2] = {0, 0};
    qint64 expected = 0;
    qint64 rssGrowthKb = 0;
    int hiddenPaints = 0;
};

struct Snapshot
{
    double wallMs;
    double cpuMs;
    double xServerCpuMs;
    qint64 samples[2];
    qint64 held[2];
    qint64 rss;
};

Snapshot snapshot(const QElapsedTimer& wall, ScopeUnit* const units[2], qint64 xServer)
{
    Snapshot s{};
    s.wallMs = wall.nsecsElapsed() / 1e6;
    s.cpuMs = processCpuMs();
    s.xServerCpuMs = otherProcessCpuMs(xServer);
    for (int i = 0; i < 2; ++i) {
        s.samples[i] = units[i]->samplesTaken();
        s.held[i] = units[i]->samplesHeld();
    }
    s.rss = rssKb();
    return s;
}

// Counts paints of the hidden unit's canvas (there should be none).
class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
    int count = 0;
};

enum class Mode {
    Built,     // the scope as built
    Reference, // the same, replotted on every sample instead of once per display frame
    Plain      // the reference with plain curves, the hidden tab replotted, every read-out rewritten
};

// The reference: every sample replots the whole plot, as the scope did
// before it painted at the display's pace. Connected after the unit's own
// tick, so the frame timer that tick starts never fires.
void replotEverySample(ScopeUnit* unit)
{
    QObject::connect(unit->timer, &QTimer::timeout, unit, [unit] {
        unit->frameTimer->stop();
        if (unit->plot->isVisible())
            unit->plot->replot();
    });
}

// Shows a unit's buffer through a plain curve, which owns its series.
class BufferView : public QwtSeriesData<QPointF>
{
public:
    explicit BufferView(const CircularBuffer* buffer) : buffer(buffer) {}
    size_t size() const override { return buffer->size(); }
    QPointF sample(size_t i) const override { return buffer->sample(i); }
    QRectF boundingRect() const override { return buffer->boundingRect(); }

private:
    const CircularBuffer* buffer;
};

// Adds, from outside, what the scope as first written did: plain curves drawn
// point by point, and on every tick the hidden tab replotted and every
// read-out rewritten.
void makePlain(ScopeUnit* unit)
{
    for (int i = 0; i < ScopeUnit::LineCount; ++i) {
        const std::pair<QwtPlotCurve*, CircularBuffer*> line{unit->curves[i], unit->buffers[i]};
        auto* plainCurve = new QwtPlotCurve(line.first->title());
        plainCurve->setPen(line.first->pen());
        plainCurve->setData(new BufferView(line.second));
        plainCurve->attach(unit->plot);
        line.first->setVisible(false);
    }
    QObject::connect(unit->timer, &QTimer::timeout, unit, [unit] {
        const auto edits = unit->findChildren<QLineEdit*>();
        for (QLineEdit* edit : edits)
            edit->setText(QString(edit->text()));
        if (!unit->plot->isVisible())
            unit->plot->replot();
    });
}

Result runMode(BenchApp& app, const QString& name, Mode mode, int warmupMs, int seconds,
               const QString& screenshot, int memoryMinutes, qint64 xServer)
{
    Result result;
    result.name = name;
    auto* dialog = new ScopeDlg(mainWindow->configModel(), mainWindow->link()->station(), mainWindow->buttonStyleSheet(),
                                mainWindow);
    ScopeUnit* units[2] = {dialog->findChild<ScopeUnit*>(QStringLiteral("unit1")),
                           dialog->findChild<ScopeUnit*>(QStringLiteral("unit2"))};
    for (ScopeUnit* unit : units) {
        if (mode != Mode::Built)
            replotEverySample(unit);
        if (mode == Mode::Plain)
            makePlain(unit);
    }
    PaintCounter hiddenCounter;
    units[1]->plot->canvas()->installEventFilter(&hiddenCounter);
    app.canvas = units[0]->plot->canvas();
    app.window = dialog;

    QElapsedTimer wall;
    wall.start();
    Snapshot begin{};
    qint64 beginHeap = 0;
    QTimer::singleShot(warmupMs, dialog, [&] {
        // Paint timings of a long memory run would be the growth it looks for.
        const size_t expected = memoryMinutes > 0 ? 0 : static_cast<size_t>(seconds) * 150 + 100;
        app.canvasPaints.restart(expected);
        app.frames.restart(expected);
        hiddenCounter.count = 0;
        app.recording = memoryMinutes == 0;
        begin = snapshot(wall, units, xServer);
        beginHeap = heapInUseKb();
    });
    QTimer memoryReport;
    if (memoryMinutes > 0) {
        QObject::connect(&memoryReport, &QTimer::timeout, dialog, [&] {
            out << QStringLiteral("  %1 s: RSS %2 kB, heap in use %3 kB (growth since the start)\n")
                       .arg(qRound((wall.nsecsElapsed() / 1e6 - begin.wallMs) / 1000.0))
                       .arg(rssKb() - begin.rss)
                       .arg(heapInUseKb() - beginHeap);
            out.flush();
        });
        QTimer::singleShot(warmupMs, &memoryReport, [&memoryReport] { memoryReport.start(60000); });
    }
    const int runMs = memoryMinutes > 0 ? memoryMinutes * 60000 : seconds * 1000;
    QTimer::singleShot(warmupMs + runMs, dialog, [&] {
        app.recording = false;
        const Snapshot end = snapshot(wall, units, xServer);
        result.seconds = (end.wallMs - begin.wallMs) / 1000.0;
        result.cpuPercent = 100.0 * (end.cpuMs - begin.cpuMs) / (end.wallMs - begin.wallMs);
        result.xServerPercent = 100.0 * (end.xServerCpuMs - begin.xServerCpuMs) / (end.wallMs - begin.wallMs);
        for (int i = 0; i < 2; ++i) {
            result.samples[i] = end.samples[i] - begin.samples[i];
            result.held[i] = end.held[i] - begin.held[i];
        }
        result.expected = qRound64((end.wallMs - begin.wallMs) / 10.0);
        result.rssGrowthKb = end.rss - begin.rss;
        result.hiddenPaints = hiddenCounter.count;
        if (!screenshot.isEmpty()) {
            const QPixmap shot = dialog->screen()->grabWindow(dialog->winId());
            if (!shot.save(screenshot))
                out << QStringLiteral("could not save %1\n").arg(screenshot);
        }
        dialog->close();
    });
    dialog->exec();
    app.canvas = nullptr;
    app.window = nullptr;
    result.paints = app.canvasPaints;
    result.frames = app.frames;
    delete dialog;
    return result;
}

void writeSettings(quint16 port, bool tcp)
{
    QSettings ini(QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini"), QSettings::IniFormat);
    ini.setValue(QStringLiteral("ownIPAddress"), QStringLiteral("127.0.0.1"));
    ini.setValue(QStringLiteral("IPAddress"), QStringLiteral("127.0.0.1"));
    ini.setValue(QStringLiteral("portNumber"), port);
    ini.setValue(QStringLiteral("comMode"), 1);
    ini.setValue(QStringLiteral("UDP"), tcp ? 2 : 0);
}

bool settingsOnLoopback()
{
    QSettings ini(QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini"), QSettings::IniFormat);
    return QHostAddress(ini.value(QStringLiteral("IPAddress")).toString()).isLoopback()
           && ini.value(QStringLiteral("comMode")).toInt() == 1;
}

// Starts the simulator and returns its port, or 0 when it does not come up.
quint16 startSimulator(QProcess& sim, const QString& path, bool tcp)
{
    sim.setProgram(path);
    sim.setArguments({tcp ? QStringLiteral("--tcp") : QStringLiteral("--udp"), QStringLiteral("0"),
                      QStringLiteral("--seed"), QStringLiteral("7")});
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start();
    if (!sim.waitForStarted(3000))
        return 0;
    QElapsedTimer wait;
    wait.start();
    QByteArray line;
    while (wait.elapsed() < 5000 && sim.state() == QProcess::Running) {
        if (!sim.canReadLine() && !sim.waitForReadyRead(200))
            continue;
        line = sim.readLine().trimmed();
        if (line.startsWith("READY"))
            break;
    }
    // READY udp 127.0.0.1:<port>
    const QList<QByteArray> words = line.split(' ');
    if (words.size() != 3 || words.at(0) != "READY")
        return 0;
    const QList<QByteArray> hostPort = words.at(2).split(':');
    if (hostPort.size() != 2 || !QHostAddress(QString::fromLatin1(hostPort.at(0))).isLoopback())
        return 0;
    return static_cast<quint16>(hostPort.at(1).toUInt());
}

// Fallback feed when no simulator answers: moving values once a second,
// like status replies would bring.
void feedEnergizer(double t)
{
    energizer->fenceOn1 = energizer->fenceOn2 = true;
    energizer->fenceHv1 = energizer->fenceHv2 = true;
    energizer->outputVoltage1 = 8200 + 900 * std::sin(t / 2.0);
    energizer->returnVoltage1 = 7100 + 1200 * std::sin(t / 3.0);
    energizer->capVoltage1 = 400 + 40 * std::sin(t);
    energizer->outputVoltage2 = 9000 + 700 * std::cos(t / 2.5);
    energizer->returnVoltage2 = 5200 + 1500 * std::cos(t / 1.7);
    energizer->capVoltage2 = 380 + 50 * std::cos(t);
    energizer->fenceLevel1 = 7;
    energizer->fenceLevel2 = 5;
    energizer->fenceCondition1 = QStringLiteral("Good");
    energizer->fenceCondition2 = QStringLiteral("Check");
    energizer->batteryVoltage = 13.6;
    energizer->online = true;
    emit energizer->paramChanged();
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer wait;
    wait.start();
    while (!condition() && wait.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return condition();
}

QString ms(double v)
{
    return std::isnan(v) ? QStringLiteral("-") : QString::number(v, 'f', 3);
}

void printResults(const QVector<Result>& results)
{
    const auto row = [&results](const QString& label, const std::function<QString(const Result&)>& cell) {
        out << label.leftJustified(36);
        for (const Result& r : results)
            out << cell(r).rightJustified(17);
        out << '\n';
    };
    row(QStringLiteral("mode"), [](const Result& r) { return r.name; });
    row(QStringLiteral("measured seconds"), [](const Result& r) { return QString::number(r.seconds, 'f', 1); });
    row(QStringLiteral("CPU % of one core (process)"),
        [](const Result& r) { return QString::number(r.cpuPercent, 'f', 1); });
    row(QStringLiteral("CPU % of one core (Xvfb)"),
        [](const Result& r) { return std::isnan(r.xServerPercent) ? QStringLiteral("-") : QString::number(r.xServerPercent, 'f', 1); });
    for (double p : {50.0, 95.0, 99.0})
        row(QStringLiteral("canvas paint p%1 ms (wall)").arg(p),
            [p](const Result& r) { return ms(percentile(r.paints.wall, p)); });
    row(QStringLiteral("canvas paint p95 ms (thread CPU)"),
        [](const Result& r) { return ms(percentile(r.paints.cpu, 95)); });
    row(QStringLiteral("canvas paint max ms (wall)"),
        [](const Result& r) { return ms(percentile(r.paints.wall, 100)); });
    row(QStringLiteral("window update p50 ms (paint+flush)"),
        [](const Result& r) { return ms(percentile(r.frames.wall, 50)); });
    row(QStringLiteral("window update p95 ms (paint+flush)"),
        [](const Result& r) { return ms(percentile(r.frames.wall, 95)); });
    row(QStringLiteral("window update p95 ms (thread CPU)"),
        [](const Result& r) { return ms(percentile(r.frames.cpu, 95)); });
    row(QStringLiteral("canvas paints per second"), [](const Result& r) {
        return QString::number(r.paints.wall.size() / std::max(r.seconds, 1e-9), 'f', 1);
    });
    row(QStringLiteral("hidden tab canvas paints"), [](const Result& r) { return QString::number(r.hiddenPaints); });
    row(QStringLiteral("samples unit1 / unit2 / due"), [](const Result& r) {
        return QStringLiteral("%1/%2/%3").arg(r.samples[0]).arg(r.samples[1]).arg(r.expected);
    });
    row(QStringLiteral("  of them held after a late tick"),
        [](const Result& r) { return QStringLiteral("%1/%2").arg(r.held[0]).arg(r.held[1]); });
    row(QStringLiteral("samples per 10 s (unit1)"), [](const Result& r) {
        return QString::number(r.samples[0] * 10.0 / std::max(r.seconds, 1e-9), 'f', 1);
    });
    row(QStringLiteral("RSS growth kB"), [](const Result& r) { return QString::number(r.rssGrowthKb); });
}

} // namespace

int main(int argc, char* argv[])
{
    BenchApp app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Energizer Configurator"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.31"));
    QApplication::setOrganizationName(QStringLiteral("Ravlin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Scope load bench"));
    parser.addHelpOption();
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QStringLiteral("Measured seconds per mode (30)."),
                                           QStringLiteral("s"), QStringLiteral("30"));
    const QCommandLineOption warmupOption(QStringLiteral("warmup"), QStringLiteral("Warm-up ms per mode (2000)."),
                                          QStringLiteral("ms"), QStringLiteral("2000"));
    const QCommandLineOption roundsOption(QStringLiteral("rounds"),
                                          QStringLiteral("Alternating reference/built rounds (1)."),
                                          QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption memoryOption(QStringLiteral("memory-minutes"),
                                          QStringLiteral("Instead: one long run of the built mode, RSS every minute."),
                                          QStringLiteral("min"), QStringLiteral("0"));
    const QCommandLineOption simOption(QStringLiteral("sim"), QStringLiteral("Simulator executable."),
                                       QStringLiteral("path"), QStringLiteral(EC_SIM_PATH));
    const QCommandLineOption tcpOption(QStringLiteral("tcp"), QStringLiteral("Reach the simulator over TCP, not UDP."));
    const QCommandLineOption noSimOption(QStringLiteral("no-sim"),
                                         QStringLiteral("Feed the energizer object from a timer instead."));
    const QCommandLineOption plainOption(QStringLiteral("plain"),
                                         QStringLiteral("Also run the plain mode (the scope as first written)."));
    const QCommandLineOption shotOption(QStringLiteral("screenshot"),
                                        QStringLiteral("Save the dialog at the end of the built mode."),
                                        QStringLiteral("png"));
    parser.addOptions({secondsOption, warmupOption, roundsOption, memoryOption, simOption, tcpOption, noSimOption,
                       plainOption, shotOption});
    parser.process(app);
    const int seconds = std::max(1, parser.value(secondsOption).toInt());
    const int warmupMs = std::max(0, parser.value(warmupOption).toInt());
    const int rounds = std::max(1, parser.value(roundsOption).toInt());
    const int memoryMinutes = std::max(0, parser.value(memoryOption).toInt());
    const bool tcp = parser.isSet(tcpOption);

    // Nothing may reach a real module: the link goes to loopback only.
    QProcess sim;
    quint16 port = 0;
    if (!parser.isSet(noSimOption))
        port = startSimulator(sim, parser.value(simOption), tcp);
    writeSettings(port ? port : 9, tcp);
    if (!settingsOnLoopback()) {
        out << "setting.ini does not point at loopback; not starting\n";
        return 2;
    }

    MainWindow window;
    if (!settingsOnLoopback()) {
        out << "setting.ini was changed away from loopback; stopping\n";
        return 2;
    }
    window.show();

    QString feed;
    QTimer feeder;
    const auto fencesOn = [] { return energizer->online && energizer->fenceOn1 && energizer->fenceOn2; };
    if (port) {
        // Switch both zones on (high voltage) until the energizer reports them on.
        QTimer zoneCommand;
        QObject::connect(&zoneCommand, &QTimer::timeout, &window, [&window] {
            window.writeData(zoneCommandFrame(energizer->address, true, true, true, true));
        });
        zoneCommand.start(700);
        if (waitUntil(fencesOn, 10000))
            feed = QStringLiteral("simulator over %1, 127.0.0.1:%2").arg(tcp ? "TCP" : "UDP").arg(port);
        else
            out << "the simulator gave no status with both fences on; using the timer feed\n";
    }
    if (feed.isEmpty()) {
        pollTimer->stop(); // nothing answers: silence would reset the fed values
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&feeder, &QTimer::timeout, &window, [clock] { feedEnergizer(clock.elapsed() / 1000.0); });
        feeder.start(1000);
        feedEnergizer(0);
        feed = QStringLiteral("timer inside the bench (no simulator status)");
    }

    out << "feed: " << feed << '\n';
    out << QStringLiteral("platform: %1, Qt %2\n").arg(QGuiApplication::platformName(), QString::fromLatin1(qVersion()));
    out.flush();

    const QString built = QStringLiteral("built");
    const QString reference = QStringLiteral("reference");
    const QString plain = QStringLiteral("plain");
    const bool withPlain = parser.isSet(plainOption);
    const qint64 xServer = findXServerPid();
    out << "modes: built = the scope as built (one paint per display frame at most);\n"
           "       reference = the same, replotted on every 10 ms sample as before";
    if (withPlain)
        out << ";\n       plain = reference plus, every tick, the hidden tab replotted, every read-out rewritten, "
               "plain curves";
    out << '\n';
    QVector<Result> results;
    if (memoryMinutes > 0) {
        out << QStringLiteral("memory run: %1 minutes with the scope open\n").arg(memoryMinutes);
        out.flush();
        results << runMode(app, built, Mode::Built, warmupMs, seconds, QString(), memoryMinutes, xServer);
    } else {
        for (int round = 0; round < rounds; ++round) {
            out << QStringLiteral("round %1/%2: %3 s per mode...\n").arg(round + 1).arg(rounds).arg(seconds);
            out.flush();
            const bool last = round == rounds - 1;
            if (withPlain)
                results << runMode(app, plain, Mode::Plain, warmupMs, seconds, QString(), 0, xServer);
            results << runMode(app, reference, Mode::Reference, warmupMs, seconds, QString(), 0, xServer);
            results << runMode(app, built, Mode::Built, warmupMs, seconds,
                               last ? parser.value(shotOption) : QString(), 0, xServer);
        }
    }
    out << '\n';
    printResults(results);

    if (memoryMinutes == 0) {
        // Ratio from the pooled figures of each mode.
        const auto pooled = [&results](const QString& name) {
            Result sum;
            double cpuSeconds = 0;
            for (const Result& r : results) {
                if (r.name != name)
                    continue;
                sum.seconds += r.seconds;
                cpuSeconds += r.cpuPercent * r.seconds;
                sum.paints.wall.insert(sum.paints.wall.end(), r.paints.wall.begin(), r.paints.wall.end());
                sum.samples[0] += r.samples[0];
                sum.samples[1] += r.samples[1];
                sum.expected += r.expected;
            }
            sum.cpuPercent = cpuSeconds / std::max(sum.seconds, 1e-9);
            return sum;
        };
        const Result ref = pooled(reference);
        const Result fast = pooled(built);
        const double fastP95 = percentile(fast.paints.wall, 95);
        out << '\n'
            << QStringLiteral("built / reference: CPU %1, canvas paint p95 %2\n")
                   .arg(fast.cpuPercent / ref.cpuPercent, 0, 'f', 2)
                   .arg(fastP95 / percentile(ref.paints.wall, 95), 0, 'f', 2);
        if (withPlain) {
            const Result slow = pooled(plain);
            out << QStringLiteral("built / plain: CPU %1, canvas paint p95 %2\n")
                       .arg(fast.cpuPercent / slow.cpuPercent, 0, 'f', 2)
                       .arg(fastP95 / percentile(slow.paints.wall, 95), 0, 'f', 2);
        }
        const auto verdict = [](bool ok) { return ok ? QStringLiteral("met") : QStringLiteral("MISSED"); };
        const qint64 minSamples = std::min(fast.samples[0], fast.samples[1]);
        out << QStringLiteral("goal CPU <= 5 %: %1 (%2 %, reference %3 %)\n")
                   .arg(verdict(fast.cpuPercent <= 5.0))
                   .arg(fast.cpuPercent, 0, 'f', 1)
                   .arg(ref.cpuPercent, 0, 'f', 1);
        out << QStringLiteral("goal paint p95 <= 0.5 ms: %1 (%2 ms, reference %3 ms)\n")
                   .arg(verdict(fastP95 <= 0.5))
                   .arg(ms(fastP95), ms(percentile(ref.paints.wall, 95)));
        out << QStringLiteral("goal no skipped sample: %1 (%2 of %3 due, fewer one per run at most)\n")
                   .arg(verdict(minSamples >= fast.expected - rounds))
                   .arg(minSamples)
                   .arg(fast.expected);
    }
    out.flush();

    if (sim.state() == QProcess::Running) {
        sim.write("quit\n");
        if (!sim.waitForFinished(2000)) {
            sim.terminate();
            if (!sim.waitForFinished(2000))
                sim.kill();
        }
    }
    return 0;
}
