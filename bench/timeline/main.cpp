// Timeline store figures on synthetic data: growth per energizer and day,
// a 90-day trend query for one energizer, and the longest pruning step.
// The store alone, written as the recorder writes it (one transaction per
// minute for every energizer); with --bin, first the live figures of live.cpp.
#include "bench/common/procstats.h"
#include "bench/timeline/live.h"
#include "services/timelinerecorder.h"
#include "services/timelinestore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

constexpr qint64 MinutesPerDay = 1440;

qint64 fileBytes(const QString& path)
{
    return QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
}

// Writes days of minute readings (and a few events a day) for energizers, ending at endMinute.
bool fill(TimelineStore& store, int energizers, int days, qint64 endMinute)
{
    std::mt19937 random(1);
    std::uniform_real_distribution<double> jitter(-250, 250);
    for (qint64 m = endMinute - days * MinutesPerDay; m < endMinute; ++m) {
        QVector<TimelineReading> readings;
        QVector<TimelineEvent> events;
        for (int e = 0; e < energizers; ++e) {
            TimelineReading r{QStringLiteral("north"), e % 64, m, {}, {}, {}};
            r.link += QString::number(e / 64);
            const double base[] = {8500, 7800, 8200, 7600, 13.6};
            for (int s = 0; s < TimelineSeriesCount; ++s) {
                const double spread = s == 4 ? 0.2 : 300;
                r.mean[s] = base[s] + (s == 4 ? jitter(random) / 1000 : jitter(random));
                r.min[s] = r.mean[s] - spread;
                r.max[s] = r.mean[s] + spread;
            }
            readings << r;
            // About 20 events an energizer and day.
            if ((m + e) % 72 == 0)
                events << TimelineEvent{0, m * 60000, r.link, r.address, TimelineKind::AlarmRaised, QStringLiteral("gate"), {}, 0};
        }
        const QString error = store.write(events, readings);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption energizersOption(QStringLiteral("energizers"), QStringLiteral("Energizers for the growth (default 100)."), QStringLiteral("N"), QStringLiteral("100"));
    const QCommandLineOption trendOption(QStringLiteral("trend-energizers"), QStringLiteral("Energizers kept 91 days for the query (default 10)."), QStringLiteral("N"), QStringLiteral("10"));
    const QCommandLineOption binOption(QStringLiteral("bin"), QStringLiteral("Run the live part with the programs in DIR."), QStringLiteral("DIR"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QStringLiteral("Live: seconds measured (default 600)."), QStringLiteral("S"), QStringLiteral("600"));
    const QCommandLineOption liveOption(QStringLiteral("live-energizers"), QStringLiteral("Live: energizers (default 1000)."), QStringLiteral("N"), QStringLiteral("1000"));
    const QCommandLineOption clientsOption(QStringLiteral("clients"), QStringLiteral("Live: /api/stream clients (default 20)."), QStringLiteral("N"), QStringLiteral("20"));
    const QCommandLineOption paintOption(QStringLiteral("first-paint"), QStringLiteral("Live: the browser script."), QStringLiteral("FILE"));
    parser.addOptions({energizersOption, trendOption, binOption, secondsOption, liveOption, clientsOption, paintOption});
    parser.process(app);
    if (parser.isSet(binOption)) {
        LiveOptions live;
        live.bin = parser.value(binOption);
        live.firstPaint = parser.value(paintOption);
        live.seconds = qMax(10, parser.value(secondsOption).toInt());
        live.energizers = qBound(1, parser.value(liveOption).toInt(), 64 * 63);
        live.clients = qMax(1, parser.value(clientsOption).toInt());
        if (runLive(live) != 0)
            return 1;
    }
    const int energizers = qMax(1, parser.value(energizersOption).toInt());
    const int trendEnergizers = qMax(1, parser.value(trendOption).toInt());
    QTemporaryDir dir;
    const qint64 now = QDateTime::currentMSecsSinceEpoch() / 60000;

    // Growth: the file after one day of every energizer, checkpointed.
    const QString growthPath = dir.filePath(QStringLiteral("growth.sqlite"));
    {
        TimelineStore store(growthPath);
        QElapsedTimer took;
        took.start();
        if (!fill(store, energizers, 1, now))
            return 1;
        std::printf("one day of %d energizers written in %.1f s (%.2f ms per minute's transaction)\n", energizers,
                    took.elapsed() / 1000.0, double(took.elapsed()) / MinutesPerDay);
    }
    std::printf("store growth: %.1f kB per energizer and day (goal <= 100)\n", fileBytes(growthPath) / 1024.0 / energizers);

    // 91 days, so that a day is pruned; then a 90-day trend of one energizer.
    const QString trendPath = dir.filePath(QStringLiteral("trend.sqlite"));
    TimelineStore store(trendPath);
    if (!fill(store, trendEnergizers, 91, now))
        return 1;
    TimelineFilter one;
    one.link = QStringLiteral("north0");
    one.addresses = {trendEnergizers / 2};
    one.sinceMs = (now - 90 * MinutesPerDay) * 60000;
    // A chart's worth of points: an hour each.
    one.bucketMinutes = 60;
    QVector<double> ms;
    int rows = 0;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer took;
        took.start();
        rows = store.readings(one).value.size();
        ms << took.nsecsElapsed() / 1e6;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("90-day trend of one energizer in hours (%d rows, %d energizers in a %.0f MB file): median %.1f ms, max %.1f ms (goal <= 50)\n",
                rows, trendEnergizers, fileBytes(trendPath) / 1e6, ms[ms.size() / 2], ms.last());

    QVector<double> stepMs, stepCpuMs;
    int steps = 0, deleted = 0;
    for (bool finished = false; !finished; ++steps) {
        QElapsedTimer took;
        took.start();
        const double cpuBefore = threadCpuMs();
        const StoreResult<TimelinePruned> step = store.prune((now - 400 * MinutesPerDay) * 60000, (now - 90 * MinutesPerDay) * 60000, TimelineRecorder::PruneRows);
        stepMs << took.nsecsElapsed() / 1e6;
        stepCpuMs << threadCpuMs() - cpuBefore;
        if (!step.ok())
            return 1;
        deleted += step.value.rows;
        finished = step.value.finished;
        QThread::msleep(TimelineRecorder::PruneBusyMs); // as the recorder paces them
    }
    std::sort(stepMs.begin(), stepMs.end());
    std::sort(stepCpuMs.begin(), stepCpuMs.end());
    std::printf("pruning a day of %d energizers: %d rows in %d steps, median step %.2f ms, longest %.2f ms wall, %.2f ms of CPU"
                " (goal < 5)\n",
                trendEnergizers, deleted, steps, stepMs[stepMs.size() / 2], stepMs.last(), stepCpuMs.last());
    return 0;
}
