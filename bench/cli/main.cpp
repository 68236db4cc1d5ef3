// Start-to-exit time of one-shot energizer-cli commands against the bare
// program, interleaved in one run so both see the same machine load.
// Usage: bench_cli [RUNS]
#include "protocol/frames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>

namespace {

struct Series
{
    const char* name;
    QString program;
    QStringList args;
    QVector<double> ms;
    int failures = 0;
};

double median(QVector<double> v)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    const int n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void runOnce(Series& s)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(s.program, s.args);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ++s.failures;
        return;
    }
    s.ms << clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 50;

    QProcess sim;
    sim.start(QStringLiteral(EC_SIM_PATH), {QStringLiteral("--udp"), QStringLiteral("0"), QStringLiteral("--on")});
    QByteArray ready;
    while (!ready.contains('\n') && sim.waitForReadyRead(5000))
        ready += sim.readAllStandardOutput();
    if (!ready.startsWith("READY udp 127.0.0.1:")) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }
    const QString port = QString::fromLatin1(ready.trimmed().mid(ready.lastIndexOf(':') + 1));
    const QString target = QStringLiteral("127.0.0.1:") + port;
    const QString cli = QStringLiteral(EC_CLI_PATH);
    const QString bare = QStringLiteral(EC_BARE_PATH);

    Series series[] = {
        {"bare, status request", bare, {port, QString::fromLatin1(statusRequestFrame(1).toHex())}, {}},
        {"energizer-cli status", cli, {QStringLiteral("--udp"), target, QStringLiteral("status")}, {}},
        {"bare, config read request", bare, {port, QString::fromLatin1(configReadRequestFrame(1).toHex())}, {}},
        {"energizer-cli config read", cli, {QStringLiteral("--udp"), target, QStringLiteral("config"), QStringLiteral("read")}, {}},
    };
    // One warm-up round keeps the first run's page-cache misses out of the figures.
    for (Series& s : series) {
        runOnce(s);
        s.ms.clear();
        s.failures = 0;
    }
    for (int i = 0; i < runs; ++i) {
        for (Series& s : series)
            runOnce(s);
    }
    sim.terminate();
    sim.waitForFinished(3000);

    std::printf("process start to exit over UDP loopback, median of %d runs each, interleaved\n", runs);
    for (const Series& s : series)
        std::printf("  %-28s %7.2f ms  (%d failed)\n", s.name, median(s.ms), s.failures);
    std::printf("  ratio status      %5.2f (goal <= 1.5)\n", median(series[1].ms) / median(series[0].ms));
    std::printf("  ratio config read %5.2f (goal <= 1.5)\n", median(series[3].ms) / median(series[2].ms));
    return 0;
}
