// Link bench: how fast the tool follows a status reply with its next frame on
// the wire, and how long its event loop ever stalls while polling. Prints
// figures only.
//
// The fake energizer answers requests only, as a real one does, so every
// reply is one the tool asked for. The window's 1 s status timer is cut to
// 20 ms so that the samples come quickly; the tool is idle between polls all
// the same. bench/link/run compiles this same bench source against an earlier
// revision's library code too and runs both in turns, so that the two sets of
// figures come from the same fake energizer, machine and minute.
//
// Usage: bench_link [stall seconds]           both kinds of reaction, then the stall
//        bench_link reaction udp|tcp N [FILE]  N reactions, each in µs a line to FILE
//        bench_link stall SECONDS
#include "fakeenergizer.h"

#include "app/mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QElapsedTimer>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

// Times every event delivery, so a stall can be put down to its receiver.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --depth;
            return handled;
        }
        QElapsedTimer timer;
        timer.start();
        const QEvent::Type type = event->type();
        const char* className = receiver->metaObject()->className();
        const bool handled = QApplication::notify(receiver, event);
        const double ms = timer.nsecsElapsed() / 1e6;
        if (ms > longestMs) {
            longestMs = ms;
            longestWhat = QStringLiteral("%1 event %2").arg(QLatin1String(className)).arg(int(type));
        }
        --depth;
        return handled;
    }
    int depth = 0;
    double longestMs = 0;
    QString longestWhat;
};

void writeSettings(int netMode, quint16 port)
{
    QSettings ini(QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini"), QSettings::IniFormat);
    ini.setIniCodec("UTF-8");
    ini.clear();
    ini.setValue(QStringLiteral("ownIPAddress"), QStringLiteral("127.0.0.1"));
    ini.setValue(QStringLiteral("IPAddress"), QStringLiteral("127.0.0.1"));
    ini.setValue(QStringLiteral("portNumber"), port);
    ini.setValue(QStringLiteral("comMode"), 1);
    ini.setValue(QStringLiteral("UDP"), netMode);
    ini.sync();
}

double percentile(QVector<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int index = std::min(int(values.size()) - 1, int(p / 100.0 * values.size()));
    return values.at(index);
}

void waitUntilFinished(const FakeEnergizer& fake, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!fake.finished() && waited.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

void fastPolls(MainWindow& window)
{
    for (QTimer* timer : window.findChildren<QTimer*>()) {
        if (timer->isActive() && !timer->isSingleShot() && timer->interval() == 1000)
            timer->setInterval(20);
    }
}

void reaction(bool tcp, int replies, const QString& samplesFile)
{
    FakeEnergizer fake(tcp ? FakeEnergizer::Kind::Tcp : FakeEnergizer::Kind::Udp, replies);
    writeSettings(tcp ? 2 : 0, fake.port());
    fake.start();
    MainWindow window;
    window.show();
    fastPolls(window);
    waitUntilFinished(fake, 60000 + replies * 100);
    fake.stop();
    const QVector<double> us = fake.reactionsUs();
    std::printf("reaction %s: %d replies, %d unanswered, median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                tcp ? "TCP" : "UDP", int(us.size()), fake.missed(), percentile(us, 50) / 1000.0,
                percentile(us, 99) / 1000.0, percentile(us, 100) / 1000.0);
    std::fflush(stdout);
    if (samplesFile.isEmpty())
        return;
    QFile file(samplesFile);
    if (file.open(QIODevice::Append | QIODevice::Text)) {
        for (double v : us)
            file.write(QByteArray::number(v, 'f', 1) + '\n');
    }
}

qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct ProbeResult
{
    QVector<double> gaps;
    // GUI-thread CPU time spent within each gap: a long gap with little CPU
    // is the machine running something else, not this program stalling.
    QVector<double> busy;
    double longestGapBusyMs = 0;
    double longestDeliveryMs = 0;
    QString longestWhat;
};

// Runs the event loop for the given time with a 1 ms probe timer.
ProbeResult probeLoop(int seconds)
{
    auto* timed = static_cast<TimedApplication*>(qApp);
    ProbeResult result;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    qint64 last = -1;
    qint64 lastCpu = 0;
    result.gaps.reserve(seconds * 1000);
    result.busy.reserve(seconds * 1000);
    double longestGap = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        if (last >= 0) {
            const double gap = (now - last) / 1e6;
            result.gaps << gap;
            result.busy << (cpu - lastCpu) / 1e6;
            if (gap > longestGap) {
                longestGap = gap;
                result.longestGapBusyMs = result.busy.last();
            }
        }
        last = now;
        lastCpu = cpu;
    });
    QTimer::singleShot(500, [&] {
        timed->longestMs = 0;
        clock.start();
        probe.start(1);
    });
    QTimer::singleShot(500 + seconds * 1000, qApp, &QCoreApplication::quit);
    QApplication::exec();
    result.longestDeliveryMs = timed->longestMs;
    result.longestWhat = timed->longestWhat;
    return result;
}

void printProbe(const char* what, int seconds, const ProbeResult& r)
{
    std::printf("%s, %d s: %d ticks, longest gap %.3f ms (GUI thread busy %.3f ms of it), p99.9 %.3f ms, "
                "median %.3f ms; longest busy stretch %.3f ms; longest event handled %.3f ms (%s)\n",
                what, seconds, int(r.gaps.size()), percentile(r.gaps, 100), r.longestGapBusyMs,
                percentile(r.gaps, 99.9), percentile(r.gaps, 50), percentile(r.busy, 100), r.longestDeliveryMs,
                qPrintable(r.longestWhat));
    std::fflush(stdout);
}

void stall(int seconds)
{
    // The machine's own floor first: the same probe with no window at all.
    const int baseline = std::min(seconds, 10);
    printProbe("stall baseline (no window)", baseline, probeLoop(baseline));

    FakeEnergizer fake(FakeEnergizer::Kind::Udp);
    writeSettings(0, fake.port());
    fake.start();
    MainWindow window;
    window.show();
    const ProbeResult polling = probeLoop(seconds);
    fake.stop();
    printProbe("stall while polling (UDP, configuration re-read every second)", seconds, polling);
}

} // namespace

int main(int argc, char** argv)
{
    TimedApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString what = args.value(0);
    if (what == QLatin1String("reaction")) {
        const int replies = args.value(2).toInt();
        reaction(args.value(1) == QLatin1String("tcp"), replies > 0 ? replies : 200, args.value(3));
        return 0;
    }
    const int seconds = (what == QLatin1String("stall") ? args.value(1) : what).toInt();
    if (what != QLatin1String("stall")) {
        reaction(false, 200, {});
        reaction(true, 200, {});
    }
    stall(seconds > 0 ? seconds : 60);
    return 0;
}
