// Site gateway bench: one energizer-gateway serving many simulated energizers
// (simulators with many addresses each) through one mosquitto on 127.0.0.1,
// scraped every 5 s; then the same per energizer for one energizer-cli mqtt
// process per energizer, the baseline.
#include "services/mqttclient.h"
#include "services/mqttdiscovery.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
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
#include "bench/common/sims.h"

namespace {

struct Scrape
{
    int up = 0;
    double requests = 0;
    double timeouts = 0;
    double ms = 0;
};

Scrape parseScrape(const QByteArray& body)
{
    Scrape s;
    for (const QByteArray& line : body.split('\n')) {
        if (line.startsWith("energizer_up{") && line.endsWith(" 1"))
            ++s.up;
        else if (line.startsWith("energizer_bus_requests_total{"))
            s.requests += line.mid(line.lastIndexOf(' ') + 1).toDouble();
        else if (line.startsWith("energizer_bus_timeouts_total{"))
            s.timeouts += line.mid(line.lastIndexOf(' ') + 1).toDouble();
    }
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption binOption(QStringLiteral("bin"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QString(), QStringLiteral("S"), QStringLiteral("60"));
    const QCommandLineOption energizersOption(QStringLiteral("energizers"), QString(), QStringLiteral("N"), QStringLiteral("1000"));
    const QCommandLineOption baselineOption(QStringLiteral("baseline"), QString(), QStringLiteral("N"), QStringLiteral("50"));
    parser.addOptions({binOption, secondsOption, energizersOption, baselineOption});
    parser.process(app);
    const QString bin = parser.value(binOption);
    const int seconds = qMax(5, parser.value(secondsOption).toInt());
    const int total = qBound(1, parser.value(energizersOption).toInt(), 64 * 63);
    const int baselineCount = qMax(0, parser.value(baselineOption).toInt());
    constexpr int PerSim = 63; // addresses 1..63 of one module
    benchClock();

    // The broker.
    QTemporaryDir dir;
    const quint16 brokerPort = freePort();
    QFile conf(dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\nlog_type none\n"
                              "set_tcp_nodelay true\nmax_queued_messages 100000\n").arg(brokerPort).toUtf8());
    conf.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    broker.waitForStarted();

    // The simulators: 63 addresses each, the last one the rest.
    std::vector<QString> lists;
    for (int left = total; left > 0; left -= PerSim)
        lists.push_back(QStringLiteral("1-%1").arg(qMin(left, PerSim)));
    std::vector<Sim> sims;
    if (!startSims(sims, bin, lists)) {
        std::fprintf(stderr, "bench_gateway: the simulators did not start\n");
        return 1;
    }

    // The site file.
    const quint16 metricsPort = freePort();
    QByteArray site = QStringLiteral("[gateway]\nmqtt = 127.0.0.1:%1\ntopic = bench\ndiscovery = true\nmetrics = 127.0.0.1:%2\ninterval = 1\n")
                          .arg(brokerPort).arg(metricsPort).toUtf8();
    for (size_t i = 0; i < sims.size(); ++i)
        site += QStringLiteral("[e%1]\nlink = udp:127.0.0.1:%2\nenergizers = %3\n").arg(i).arg(sims[i].port).arg(lists[i]).toUtf8();
    QFile siteFile(dir.filePath(QStringLiteral("site.conf")));
    siteFile.open(QIODevice::WriteOnly);
    siteFile.write(site);
    siteFile.close();

    // The subscriber: time from a simulator's reply to the state message here.
    std::vector<double> latencies;
    std::vector<int> states(sims.size() * 64, 0);
    bool measuring = false;
    MqttClient subscriber;
    MqttClient::Options options;
    options.host = QStringLiteral("127.0.0.1");
    options.port = brokerPort;
    options.clientId = QStringLiteral("bench-subscriber");
    QString error;
    subscriber.setup(options, &error);
    // Home Assistant's view: discovery messages and bytes, device configurations seen.
    int legacyMessages = 0; // the one-time hand-over of per-entity topics
    qint64 discoveryBytes = 0;
    int deviceConfigs = 0;
    QObject::connect(&subscriber, &MqttClient::connected, [&] {
        subscriber.subscribe(QStringLiteral("bench/+/+/state"), 0);
        subscriber.subscribe(QStringLiteral("homeassistant/#"), 0);
    });
    QObject::connect(&subscriber, &MqttClient::messageReceived, [&](const QString& topic, const QByteArray& payload, bool retained) {
        const qint64 now = benchClock().nsecsElapsed();
        if (topic.startsWith(QLatin1String("homeassistant/"))) {
            if (!topic.startsWith(QLatin1String("homeassistant/device/"))) {
                ++legacyMessages;
                return;
            }
            ++deviceConfigs;
            discoveryBytes += payload.size();
            return;
        }
        const size_t sim = topic.section(QLatin1Char('/'), 1, 1).mid(1).toUInt();
        const int address = topic.section(QLatin1Char('/'), 2, 2).toInt() & 63;
        if (retained || sim >= sims.size())
            return;
        ++states[sim * 64 + address];
        const qint64 reply = sims[sim].lastReplyNs[address];
        if (measuring && reply > 0 && now - reply < 1000000000)
            latencies.push_back((now - reply) / 1e6);
    });
    subscriber.connectToBroker();
    waitUntil(5000, [&] { return subscriber.isConnected(); });

    QProcess gateway;
    qputenv("STATE_DIRECTORY", dir.path().toLocal8Bit()); // its timeline
    gateway.setStandardErrorFile(dir.filePath(QStringLiteral("gateway.log")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("energizer.mqtt.debug=true")); // its discovery figures
    gateway.setProcessEnvironment(environment);
    QElapsedTimer startup;
    startup.start();
    gateway.start(bin + QStringLiteral("/energizer-gateway"), {QStringLiteral("--site"), siteFile.fileName()});
    const auto seen = [&] { return static_cast<int>(std::count_if(states.begin(), states.end(), [](int n) { return n > 0; })); };
    waitUntil(30000, [&] { return seen() >= total; });
    const double startupSeconds = startup.elapsed() / 1000.0;
    const int startedCount = seen();
    // Discovery at start, the hand-over of the old topics included, before measuring.
    waitUntil(60000, [&] { return deviceConfigs >= total + 1; });
    const int startMessages = deviceConfigs;
    const qint64 startBytes = discoveryBytes;
    const int legacyExpected = 2 * total * legacyDiscoveryTopics(DiscoveryDevice()).size(); // handed over, then cleared
    waitUntil(60000, [&] { return legacyMessages >= legacyExpected; });

    // Scrapes every 5 s, as Prometheus would.
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    std::vector<Scrape> scrapes;
    QTimer scrapeTimer;
    const auto scrape = [&] {
        QElapsedTimer took;
        took.start();
        QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(metricsPort))));
        QObject::connect(reply, &QNetworkReply::finished, reply, [&scrapes, reply, took] {
            const QByteArray body = reply->readAll();
            if (qEnvironmentVariableIsSet("BENCH_DUMP")) {
                QFile dump(qEnvironmentVariable("BENCH_DUMP"));
                if (dump.open(QIODevice::WriteOnly))
                    dump.write(body);
            }
            Scrape s = parseScrape(body);
            s.ms = took.nsecsElapsed() / 1e6;
            scrapes.push_back(s);
            reply->deleteLater();
        });
    };
    QObject::connect(&scrapeTimer, &QTimer::timeout, scrape);

    // Measure.
    const qint64 ticks0 = cpuTicks(gateway.processId());
    const qint64 brokerTicks0 = cpuTicks(broker.processId());
    std::fill(states.begin(), states.end(), 0);
    measuring = true;
    scrape();
    scrapeTimer.start(5000);
    QElapsedTimer measured;
    measured.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    scrapeTimer.stop();
    const size_t before = scrapes.size();
    scrape();
    waitUntil(5000, [&] { return scrapes.size() > before; });
    measuring = false;
    const double elapsed = measured.elapsed() / 1000.0;
    const double tick = sysconf(_SC_CLK_TCK);
    const double cpu = (cpuTicks(gateway.processId()) - ticks0) / tick / elapsed * 100;
    const double brokerCpu = (cpuTicks(broker.processId()) - brokerTicks0) / tick / elapsed * 100;
    const double peakMb = statusKb(gateway.processId(), "VmHWM") / 1024.0;
    int messages = 0;
    for (int n : states)
        messages += n;
    // One republish Home Assistant asks for.
    const int configsBefore = deviceConfigs;
    const qint64 republishTicks0 = cpuTicks(gateway.processId());
    QElapsedTimer republishing;
    republishing.start();
    subscriber.publish(QStringLiteral("homeassistant/status"), QByteArrayLiteral("online"), 1, false);
    waitUntil(30000, [&] { return deviceConfigs - configsBefore >= total + 1; });
    const double republishMs = republishing.nsecsElapsed() / 1e6;
    const double republishCpu = (cpuTicks(gateway.processId()) - republishTicks0) / double(sysconf(_SC_CLK_TCK));
    QFile log(dir.filePath(QStringLiteral("gateway.log")));
    log.open(QIODevice::ReadOnly);
    const QByteArray logText = log.readAll();
    const int slice = logText.lastIndexOf("longest slice ");
    const QByteArray longestSlice = slice < 0 ? QByteArray("?") : logText.mid(slice + 14, logText.indexOf(" CPU)", slice) - slice - 14);

    // SIGTERM: the time to exit, then a newcomer's count of the retained availabilities that read offline.
    QElapsedTimer stopping;
    stopping.start();
    gateway.terminate();
    gateway.waitForFinished(30000);
    const double stopMs = stopping.nsecsElapsed() / 1e6;
    QHash<QString, QByteArray> availability;
    MqttClient newcomer;
    options.clientId = QStringLiteral("bench-newcomer");
    newcomer.setup(options, &error);
    QObject::connect(&newcomer, &MqttClient::connected, [&] { newcomer.subscribe(QStringLiteral("bench/+/+/availability"), 1); });
    QObject::connect(&newcomer, &MqttClient::messageReceived, [&](const QString& topic, const QByteArray& payload, bool retained) {
        if (retained)
            availability.insert(topic, payload);
    });
    newcomer.connectToBroker();
    waitUntil(10000, [&] { return availability.size() >= total; });
    const int offlineCount = static_cast<int>(std::count(availability.begin(), availability.end(), QByteArrayLiteral("offline")));
    for (Sim& s : sims)
        stop(*s.process);

    const Scrape& first = scrapes.front();
    const Scrape& last = scrapes.back();
    const double polls = last.requests - first.requests;
    const double answered = polls > 0 ? 1 - (last.timeouts - first.timeouts) / polls : 0;
    double worstScrape = 0;
    for (const Scrape& s : scrapes)
        worstScrape = std::max(worstScrape, s.ms);

    // The baseline: one simulator and one energizer-cli mqtt per energizer.
    double baseCpu = 0, baseRss = 0;
    int baseRunning = 0;
    if (baselineCount > 0) {
        std::vector<Sim> baseSims;
        startSims(baseSims, bin, std::vector<QString>(baselineCount, QStringLiteral("1")));
        std::vector<std::unique_ptr<QProcess>> bridges;
        for (int i = 0; i < baselineCount; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setStandardErrorFile(QProcess::nullDevice());
            p->start(bin + QStringLiteral("/energizer-cli"),
                     {QStringLiteral("--udp"), QStringLiteral("127.0.0.1:%1").arg(baseSims[i].port), QStringLiteral("mqtt"),
                      QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(brokerPort),
                      QStringLiteral("--topic"), QStringLiteral("baseline/%1").arg(i)});
            bridges.push_back(std::move(p));
        }
        QTimer::singleShot(3000, &app, &QCoreApplication::quit); // connected and polling
        app.exec();
        std::vector<qint64> ticks;
        for (auto& b : bridges)
            ticks.push_back(cpuTicks(b->processId()));
        const int baseSeconds = qMin(seconds, 20);
        QElapsedTimer baseTimer;
        baseTimer.start();
        QTimer::singleShot(baseSeconds * 1000, &app, &QCoreApplication::quit);
        app.exec();
        const double baseElapsed = baseTimer.elapsed() / 1000.0;
        for (size_t i = 0; i < bridges.size(); ++i) {
            const qint64 t = cpuTicks(bridges[i]->processId());
            if (t < 0)
                continue;
            ++baseRunning;
            baseCpu += (t - ticks[i]) / tick / baseElapsed * 100;
            baseRss += statusKb(bridges[i]->processId(), "VmHWM") / 1024.0;
        }
        if (baseRunning > 0) {
            baseCpu /= baseRunning;
            baseRss /= baseRunning;
        }
        for (auto& b : bridges)
            stop(*b);
        for (Sim& s : baseSims)
            stop(*s.process);
    }
    stop(broker);

    std::printf("Site gateway bench: one energizer-gateway, %d energizers on %zu simulated UDP modules, poll every 1 s,\n"
                "one mosquitto, a scrape every 5 s; measured %.0f s after all had answered (%d did within %.1f s of start)\n",
                total, sims.size(), elapsed, startedCount, startupSeconds);
    std::printf("  CPU                %.1f %% of one core   (goal <= 20)   broker %.1f %%\n", cpu, brokerCpu);
    std::printf("  peak RSS           %.1f MB   (goal <= 64)   %.1f kB per energizer\n", peakMb, peakMb * 1024 / total);
    std::printf("  online             %d of %d at the last scrape (%.2f %%)\n", last.up, total, 100.0 * last.up / total);
    std::printf("  polls answered     %.3f %% of %.0f   (goal >= 99.9)\n", answered * 100, polls);
    std::printf("  reply to MQTT      median %.2f ms   p99 %.2f ms   max %.2f ms over %zu state messages   (goal p99 <= 50)\n",
                percentile(latencies, 0.5), percentile(latencies, 0.99), percentile(latencies, 1.0), latencies.size());
    std::printf("  scrapes            %zu, slowest %.1f ms\n", scrapes.size(), worstScrape);
    std::printf("  SIGTERM to exit    %.0f ms; then %d of %d availability topics retained offline\n", stopMs, offlineCount, total);
    std::printf("  discovery at start %d messages, %.1f kB, per energizer %.2f messages, %.2f kB   (before: 48, 22.4 kB; goal 1, <= 10 kB)\n"
                "                     (the gateway's own device included; once after the upgrade also %d hand-over messages of the old topics)\n",
                startMessages, startBytes / 1024.0, double(startMessages) / total, startBytes / 1024.0 / total, legacyMessages);
    std::printf("  one HA 'online'    republished %d device messages in %.0f ms, %.2f s of CPU, longest slice %s CPU)   (before: 1.9 s CPU; goal <= 5 ms)\n",
                deviceConfigs - configsBefore, republishMs, republishCpu, longestSlice.constData());
    std::printf("  (reply to MQTT: from the simulator's TX line of the reply reaching this process's pipe to the state\n"
                "   message at this process's subscriber; the line leaves just after the reply, so it may read slightly low)\n");
    std::printf("  (%d state messages seen; expected about %.0f)\n", messages, total * elapsed);
    if (baselineCount > 0) {
        std::printf("Baseline: %d energizer-cli mqtt processes (%d running), one energizer each, per energizer:\n", baselineCount, baseRunning);
        std::printf("  CPU %.3f %% of one core (x%d: %.1f %%), peak RSS %.1f MB (x%d: %.0f MB)\n", baseCpu, total, baseCpu * total,
                    baseRss, total, baseRss * total);
        std::printf("  the gateway uses %.0fx less memory and %.1fx less CPU per energizer   (goal >= 100x memory)\n",
                    baseRss * total / peakMb, cpu > 0 ? baseCpu * total / cpu : 0.0);
    }
    return 0;
}
