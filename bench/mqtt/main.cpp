// MQTT bridge bench: N simulators, N energizer-cli mqtt bridges and one
// mosquitto on 127.0.0.1; prints each bridge's CPU and RSS and the time from a
// simulator's status reply to the state message at a subscriber.
#include "services/mqttclient.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <unistd.h>

#include "bench/common/procstats.h"

namespace {

QElapsedTimer clockNs;

struct Sim
{
    std::unique_ptr<QProcess> process;
    QByteArray partial;
    quint16 port = 0;
    qint64 lastReplyNs = -1; // arrival of its last status reply's TX line
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption binOption(QStringLiteral("bin"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QString(), QStringLiteral("S"), QStringLiteral("60"));
    const QCommandLineOption countOption(QStringLiteral("count"), QString(), QStringLiteral("N"), QStringLiteral("50"));
    parser.addOptions({binOption, secondsOption, countOption});
    parser.process(app);
    const QString bin = parser.value(binOption);
    const int seconds = parser.value(secondsOption).toInt();
    const int count = parser.value(countOption).toInt();
    clockNs.start();

    // The broker.
    QTemporaryDir dir;
    quint16 brokerPort;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        brokerPort = probe.serverPort();
    }
    QFile conf(dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\nlog_type none\nset_tcp_nodelay true\n").arg(brokerPort).toUtf8());
    conf.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    broker.waitForStarted();

    // The simulators, each telling us when it sent a status reply.
    std::vector<Sim> sims(count);
    for (int i = 0; i < count; ++i) {
        Sim& s = sims[i];
        s.process = std::make_unique<QProcess>();
        QObject::connect(s.process.get(), &QProcess::readyReadStandardOutput, [&s] {
            s.partial += s.process->readAllStandardOutput();
            int end;
            while ((end = s.partial.indexOf('\n')) >= 0) {
                const QByteArray line = s.partial.left(end);
                s.partial.remove(0, end + 1);
                if (line.startsWith("TX 01 01 81"))
                    s.lastReplyNs = clockNs.nsecsElapsed();
                else if (line.startsWith("READY udp 127.0.0.1:"))
                    s.port = line.mid(20).trimmed().toUShort();
            }
        });
        s.process->start(bin + QStringLiteral("/energizer-sim"),
                         {QStringLiteral("--udp"), QStringLiteral("0"), QStringLiteral("--on"), QStringLiteral("--verbose"),
                          QStringLiteral("--seed"), QString::number(i + 1)});
    }
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000 && std::any_of(sims.begin(), sims.end(), [](const Sim& s) { return s.port == 0; }))
        app.processEvents(QEventLoop::AllEvents, 10);

    // The subscriber.
    std::vector<double> latencies;
    std::vector<int> states(count, 0);
    bool measuring = false;
    MqttClient subscriber;
    MqttClient::Options options;
    options.host = QStringLiteral("127.0.0.1");
    options.port = brokerPort;
    options.clientId = QStringLiteral("bench-subscriber");
    QString error;
    subscriber.setup(options, &error);
    QObject::connect(&subscriber, &MqttClient::connected, [&] { subscriber.subscribe(QStringLiteral("bench/+/state"), 0); });
    QObject::connect(&subscriber, &MqttClient::messageReceived, [&](const QString& topic, const QByteArray&, bool retained) {
        const qint64 now = clockNs.nsecsElapsed();
        const int i = topic.section(QLatin1Char('/'), 1, 1).toInt();
        if (retained || i < 0 || i >= count)
            return;
        ++states[i];
        const qint64 reply = sims[i].lastReplyNs;
        if (measuring && reply > 0 && now - reply < 1000000000)
            latencies.push_back((now - reply) / 1e6);
    });
    subscriber.connectToBroker();

    // The bridges.
    std::vector<std::unique_ptr<QProcess>> bridges;
    for (int i = 0; i < count; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setStandardErrorFile(QProcess::nullDevice());
        p->start(bin + QStringLiteral("/energizer-cli"),
                 {QStringLiteral("--udp"), QStringLiteral("127.0.0.1:%1").arg(sims[i].port), QStringLiteral("mqtt"),
                  QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(brokerPort),
                  QStringLiteral("--topic"), QStringLiteral("bench/%1").arg(i)});
        bridges.push_back(std::move(p));
    }
    waited.restart();
    while (waited.elapsed() < 15000 && std::any_of(states.begin(), states.end(), [](int n) { return n < 2; }))
        app.processEvents(QEventLoop::AllEvents, 10);
    const int started = static_cast<int>(std::count_if(states.begin(), states.end(), [](int n) { return n >= 2; }));

    // Measure.
    std::vector<qint64> ticks0;
    for (auto& b : bridges)
        ticks0.push_back(cpuTicks(b->processId()));
    const qint64 brokerTicks0 = cpuTicks(broker.processId());
    std::fill(states.begin(), states.end(), 0);
    measuring = true;
    QElapsedTimer measured;
    measured.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    measuring = false;
    const double elapsed = measured.elapsed() / 1000.0;
    const double tick = sysconf(_SC_CLK_TCK);
    std::vector<double> cpu;
    std::vector<double> rss;
    for (size_t i = 0; i < bridges.size(); ++i) {
        cpu.push_back((cpuTicks(bridges[i]->processId()) - ticks0[i]) / tick / elapsed * 100);
        rss.push_back(statusKb(bridges[i]->processId(), "VmRSS") / 1024.0);
    }
    const double brokerCpu = (cpuTicks(broker.processId()) - brokerTicks0) / tick / elapsed * 100;
    const double brokerRss = statusKb(broker.processId(), "VmRSS") / 1024.0;
    int messages = 0;
    for (int n : states)
        messages += n;

    // Stop everything by its own pid.
    for (auto& b : bridges)
        b->terminate();
    for (auto& b : bridges)
        b->waitForFinished(3000);
    for (Sim& s : sims) {
        s.process->terminate();
        s.process->waitForFinished(3000);
    }
    broker.terminate();
    broker.waitForFinished(3000);

    auto mean = [](const std::vector<double>& v) { return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / v.size(); };
    std::printf("MQTT bridge bench: %d bridges (%d running) against %d simulators, one mosquitto (set_tcp_nodelay true), %.0f s, poll every 1 s\n",
                count, started, count, elapsed);
    std::printf("per monitored energizer (one bridge process):\n");
    std::printf("  CPU %% of one core   mean %.3f   max %.3f   (goal <= 0.5)\n", mean(cpu), *std::max_element(cpu.begin(), cpu.end()));
    std::printf("  RSS MB               mean %.1f   max %.1f   (goal <= 20)\n", mean(rss), *std::max_element(rss.begin(), rss.end()));
    std::printf("  broker share         CPU %.3f %%, RSS %.2f MB (broker total CPU %.2f %%, RSS %.1f MB)\n",
                brokerCpu / count, brokerRss / count, brokerCpu, brokerRss);
    std::printf("reply to state message at a subscriber, over %zu messages (%d state messages seen):\n", latencies.size(), messages);
    std::printf("  median %.2f ms   p99 %.2f ms   max %.2f ms   (goal p99 < 20)\n", percentile(latencies, 0.5),
                percentile(latencies, 0.99), percentile(latencies, 1.0));
    std::printf("  (approximation: from the simulator's TX line arriving on its stdout pipe to the message at this\n"
                "   process's subscriber; the line leaves just after the reply, so the figure may read slightly low)\n");
    return 0;
}
