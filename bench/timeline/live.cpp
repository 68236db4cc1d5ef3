// Two energizer-gateways in one run, each polling its own simulated
// energizers (the same site) every second: one keeps the timeline, the other has "timeline = none".
// Each has the same number of /api/stream clients. An alarm toggled on a
// simulator every half second gives the time from the reply that carried it
// to the server-sent event at each client.
#include "bench/timeline/live.h"

#include "bench/common/procstats.h"
#include "bench/common/sims.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int PerSim = 63;

struct Change
{
    int sim = 0;
    int address = 0;
    bool gate = false;
    qint64 sentNs = 0;
    std::vector<bool> seen; // by client, those of the first gateway first
};

// One gateway and its stream clients.
struct Served
{
    QProcess process;
    std::vector<Sim> sims; // its own, so a reply's time is this gateway's poll
    quint16 port = 0;
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    std::vector<QByteArray> buffers;
    std::vector<double> latencies;
    int missed = 0;
};

// Does this "energizers" event say the gate alarm of eSIM/ADDRESS is as wanted?
bool says(const QByteArray& data, const Change& c)
{
    const QByteArray head = "{\"address\":" + QByteArray::number(c.address) + ",\"alarms\":[";
    const QByteArray link = "\"link\":\"e" + QByteArray::number(c.sim) + '"';
    for (int at = data.indexOf(head); at >= 0; at = data.indexOf(head, at + 1)) {
        const int alarmsEnd = data.indexOf(']', at);
        const int linkAt = data.indexOf("\"link\":", alarmsEnd);
        if (data.mid(linkAt, link.size()) != link)
            continue;
        return data.mid(at + head.size(), alarmsEnd - at - head.size()).contains("\"gate\"") == c.gate;
    }
    return false;
}

QByteArray siteFile(const std::vector<Sim>& sims, const std::vector<QString>& lists, quint16 port, const QString& timeline)
{
    QByteArray site = QStringLiteral("[gateway]\nmetrics = 127.0.0.1:%1\ninterval = 1\ntimeline = %2\n").arg(port).arg(timeline).toUtf8();
    for (size_t i = 0; i < sims.size(); ++i)
        site += QStringLiteral("[e%1]\nlink = udp:127.0.0.1:%2\nenergizers = %3\n").arg(i).arg(sims[i].port).arg(lists[i]).toUtf8();
    return site;
}

// The store's size as its writer sees it, the write-ahead log's pages included.
qint64 storeBytes(const QString& path)
{
    qint64 bytes = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery q(db);
        if (db.open() && q.exec(QStringLiteral("SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size()")) && q.next())
            bytes = q.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return bytes;
}

} // namespace

int runLive(const LiveOptions& o)
{
    benchClock();
    QTemporaryDir dir;
    std::vector<QString> lists;
    for (int left = o.energizers; left > 0; left -= PerSim)
        lists.push_back(QStringLiteral("1-%1").arg(qMin(left, PerSim)));
    const QString store = dir.filePath(QStringLiteral("timeline.sqlite"));
    Served served[2]; // with the store, without
    for (Served& s : served) {
        if (!startSims(s.sims, o.bin, lists)) {
            std::fprintf(stderr, "bench_timeline: the simulators did not start\n");
            return 1;
        }
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "STATE_DIRECTORY"})
        environment.insert(QLatin1String(name), dir.path());
    QElapsedTimer running;
    running.start();
    for (int g = 0; g < 2; ++g) {
        served[g].port = freePort();
        const QString path = dir.filePath(QStringLiteral("site%1.conf").arg(g));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(siteFile(served[g].sims, lists, served[g].port, g == 0 ? store : QStringLiteral("none")));
        f.close();
        served[g].process.setProcessEnvironment(environment);
        served[g].process.setStandardErrorFile(dir.filePath(QStringLiteral("gateway%1.log").arg(g)));
        served[g].process.start(o.bin + QStringLiteral("/energizer-gateway"), {QStringLiteral("--site"), path});
    }

    // Until every energizer is on line at both.
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    const auto online = [&](quint16 port) {
        QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/api/site").arg(port))));
        waitUntil(5000, [reply] { return reply->isFinished(); });
        const int n = reply->readAll().count("\"online\":true");
        reply->deleteLater();
        return n;
    };
    waitUntil(60000, [&] { return online(served[0].port) >= o.energizers && online(served[1].port) >= o.energizers; });
    const int up[] = {online(served[0].port), online(served[1].port)};

    // The stream clients.
    std::vector<std::unique_ptr<Change>> changes;
    for (Served& s : served) {
        const int first = &s == served ? 0 : o.clients;
        s.buffers.resize(o.clients);
        for (int c = 0; c < o.clients; ++c) {
            auto socket = std::make_unique<QTcpSocket>();
            QTcpSocket* raw = socket.get();
            QObject::connect(raw, &QTcpSocket::connected, raw, [raw] {
                raw->write("GET /api/stream HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n");
            });
            QObject::connect(raw, &QTcpSocket::readyRead, raw, [&s, &changes, raw, c, first] {
                QByteArray& buffer = s.buffers[c];
                buffer += raw->readAll();
                int end;
                while ((end = buffer.indexOf("\n\n")) >= 0) {
                    const QByteArray event = buffer.left(end);
                    buffer.remove(0, end + 2);
                    if (!event.contains("event: energizers"))
                        continue;
                    const qint64 now = benchClock().nsecsElapsed();
                    for (auto& change : changes) {
                        if (change->seen[first + c] || !says(event, *change))
                            continue;
                        change->seen[first + c] = true;
                        // From the reply that carried the change.
                        const qint64 reply = s.sims[change->sim].lastReplyNs[change->address];
                        if (reply > change->sentNs)
                            s.latencies.push_back((now - reply) / 1e6);
                    }
                }
            });
            // A browser each: the server limits connections per address.
            raw->bind(QHostAddress(QStringLiteral("127.0.1.%1").arg(c + 1)));
            raw->connectToHost(QHostAddress::LocalHost, s.port);
            s.clients.push_back(std::move(socket));
        }
    }
    waitUntil(5000, [&] {
        for (Served& s : served)
            for (auto& c : s.clients)
                if (c->state() != QAbstractSocket::ConnectedState)
                    return false;
        return true;
    });

    // Measure: an alarm raised or cleared every 500 ms, each change seen by every client of both.
    const qint64 bytes0 = storeBytes(store);
    const double minutes0 = running.elapsed() / 60000.0;
    qint64 ticks0[2];
    for (int g = 0; g < 2; ++g)
        ticks0[g] = cpuTicks(served[g].process.processId());
    int toggled = 0;
    std::vector<bool> gate(lists.size() * 64, false);
    QTimer toggle;
    QObject::connect(&toggle, &QTimer::timeout, [&] {
        // Missed by a client within 5 s: counted, then forgotten.
        const qint64 now = benchClock().nsecsElapsed();
        for (auto it = changes.begin(); it != changes.end();) {
            if (now - (*it)->sentNs < 5000000000LL) {
                ++it;
                continue;
            }
            for (int c = 0; c < 2 * o.clients; ++c)
                served[c / o.clients].missed += (*it)->seen[c] ? 0 : 1;
            it = changes.erase(it);
        }
        const int k = (toggled++ * 37) % o.energizers; // spread over the links
        auto change = std::make_unique<Change>();
        change->sim = k / PerSim;
        change->address = k % PerSim + 1;
        change->gate = gate[change->sim * 64 + change->address] = !gate[change->sim * 64 + change->address];
        change->sentNs = now;
        change->seen.assign(2 * o.clients, false);
        for (Served& s : served)
            s.sims[change->sim].process->write(QStringLiteral("set gate %1 %2\n").arg(change->gate ? 1 : 0).arg(change->address).toLatin1());
        changes.push_back(std::move(change));
    });
    toggle.start(500);
    QEventLoop loop;
    QTimer::singleShot(o.seconds * 1000, &loop, &QEventLoop::quit);
    QElapsedTimer measured;
    measured.start();
    loop.exec();
    toggle.stop();
    const double elapsed = measured.elapsed() / 1000.0;
    const double tick = sysconf(_SC_CLK_TCK);
    double cpu[2], peakMb[2];
    for (int g = 0; g < 2; ++g) {
        cpu[g] = (cpuTicks(served[g].process.processId()) - ticks0[g]) / tick / elapsed * 100;
        peakMb[g] = statusKb(served[g].process.processId(), "VmHWM") / 1024.0;
    }
    const double bytesPerMinute = (storeBytes(store) - bytes0) / (running.elapsed() / 60000.0 - minutes0);

    // First paint, after the measurement, at the gateway with the store.
    QByteArray paint = "not measured";
    if (!o.firstPaint.isEmpty()) {
        QProcess browser;
        browser.start(o.firstPaint, {QStringLiteral("http://127.0.0.1:%1/").arg(served[0].port), QString::number(o.energizers)});
        browser.waitForFinished(120000);
        paint = browser.readAllStandardOutput().trimmed() + browser.readAllStandardError().right(300).trimmed();
    }
    // The timeline closed: its whole file over the energizer-minutes it ran.
    const double ranMinutes = running.elapsed() / 60000.0;
    for (Served& s : served)
        stop(s.process);
    const double closedBytes = QFileInfo(store).size();
    for (Served& s : served)
        for (Sim& sim : s.sims)
            stop(*sim.process);

    const char* names[] = {"with the timeline", "timeline = none"};
    std::printf("Live: %d energizers on %zu simulated UDP modules, polled every 1 s by two gateways at once, one with the\n"
                "timeline and one without, %d /api/stream clients each; an alarm toggled every 500 ms; measured %.0f s\n",
                o.energizers, lists.size(), o.clients, elapsed);
    for (int g = 0; g < 2; ++g) {
        std::printf("  %-18s CPU %.1f %% of one core, peak RSS %.1f MB, %d on line at start; reply to event at a client:\n"
                    "  %-18s median %.1f ms, p99 %.1f ms, max %.1f ms over %zu events, %d missed\n",
                    names[g], cpu[g], peakMb[g], up[g], "", percentile(served[g].latencies, 0.5), percentile(served[g].latencies, 0.99),
                    percentile(served[g].latencies, 1.0), served[g].latencies.size(), served[g].missed);
    }
    std::printf("  the timeline costs %.1f %% of a core (goal <= 4), peak RSS %.1f MB (goal <= 64)\n", cpu[0] - cpu[1], peakMb[0]);
    std::printf("  store growth while measured (pages in use, the log's included): %.1f kB a minute,\n"
                "  extrapolated %.1f kB per energizer and day (goal <= 100);\n"
                "  the closed file after %.1f min: %.1f kB per energizer and day\n",
                bytesPerMinute / 1024, bytesPerMinute * 1440 / 1024 / o.energizers, ranMinutes,
                closedBytes / 1024 / o.energizers / ranMinutes * 1440);
    std::printf("  first paint of the overview, 3 loads (first contentful paint ms / all %d cards ms / cards): %s (goal <= 1000)\n",
                o.energizers, paint.constData());
    return 0;
}
