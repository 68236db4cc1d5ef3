#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

// What the site benches share: free ports, waiting on events, stopping by pid,
// and simulators whose TX lines tell when each status reply left.

inline QElapsedTimer& benchClock()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock;
}

inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

inline void waitUntil(int ms, const std::function<bool()>& done)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < ms && !done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

inline void stop(QProcess& p)
{
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(3000);
    }
}

// A simulator serving some addresses on UDP; its TX lines tell when it sent each reply.
struct Sim
{
    std::unique_ptr<QProcess> process;
    QByteArray partial;
    quint16 port = 0;
    qint64 lastReplyNs[64] = {};

    void start(const QString& bin, const QString& addresses, int seed)
    {
        process = std::make_unique<QProcess>();
        QObject::connect(process.get(), &QProcess::readyReadStandardOutput, process.get(), [this] {
            partial += process->readAllStandardOutput();
            int end;
            int from = 0;
            while ((end = partial.indexOf('\n', from)) >= 0) {
                const QByteArray line = partial.mid(from, end - from);
                from = end + 1;
                // "TX AA 01 81 ...": a status reply of address AA.
                if (line.size() > 11 && line.startsWith("TX ") && line.mid(9, 2) == "81")
                    lastReplyNs[QByteArray::fromHex(line.mid(3, 2)).at(0) & 63] = benchClock().nsecsElapsed();
                else if (line.startsWith("READY udp 127.0.0.1:"))
                    port = line.mid(20).trimmed().toUShort();
            }
            partial.remove(0, from);
        });
        process->start(bin + QStringLiteral("/energizer-sim"),
                       {QStringLiteral("--udp"), QStringLiteral("0"), QStringLiteral("--addresses"), addresses,
                        QStringLiteral("--verbose"), QStringLiteral("--seed"), QString::number(seed)});
    }
};

inline bool startSims(std::vector<Sim>& sims, const QString& bin, const std::vector<QString>& addressLists)
{
    sims.resize(addressLists.size());
    for (size_t i = 0; i < sims.size(); ++i)
        sims[i].start(bin, addressLists[i], static_cast<int>(i) + 1);
    waitUntil(15000, [&] { return std::all_of(sims.begin(), sims.end(), [](const Sim& s) { return s.port != 0; }); });
    return std::all_of(sims.begin(), sims.end(), [](const Sim& s) { return s.port != 0; });
}
