// energizer-sim on its wire, only what the link, CLI and MQTT tests do not
// show. Expected bytes are worked out by hand from the frame layout, not taken
// from the simulator's code.
#include "simprocess.h"

#include "protocol/configxml.h"
#include "protocol/frames.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// Closed when it goes out of scope.
struct Link { int fd; ~Link() { ::close(fd); } };

static quint8 at(const QByteArray& b, int i) { return static_cast<quint8>(b.at(i)); }

// A descriptor to the simulator: the pty opened raw like a serial port, or a
// connected UDP socket (each read is one datagram).
static Link openLink(const SimProcess& sim)
{
    termios tio;
    const int fd = sim.kind() == "pty" ? ::open(sim.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY) : ::socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in address{AF_INET, htons(sim.port()), {htonl(INADDR_LOOPBACK)}, {}};
    if (sim.kind() != "pty")
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    else if (::tcgetattr(fd, &tio) == 0 && (::cfmakeraw(&tio), true))
        ::tcsetattr(fd, TCSANOW, &tio);
    return Link{fd};
}

// Writes the frames, then reads until `bytes` have arrived or 2 s passed.
static QByteArray ask(const Link& link, const QByteArrayList& frames, int bytes)
{
    QByteArray got;
    char buffer[256];
    pollfd p{link.fd, POLLIN, 0};
    for (const QByteArray& f : frames)
        if (::write(link.fd, f.constData(), size_t(f.size())) != f.size())
            return got;
    for (QDeadlineTimer left(2000); got.size() < bytes && ::poll(&p, 1, int(qMax<qint64>(1, left.remainingTime()))) > 0 && !left.hasExpired();)
        got.append(buffer, int(qMax<ssize_t>(0, ::read(link.fd, buffer, sizeof buffer))));
    return got;
}

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    // Status and configuration replies of the default block, both zones off;
    // the pty's link goes away when the simulator is terminated.
    void pty()
    {
        QTemporaryDir dir;
        SimProcess sim;
        QVERIFY(!sim.start({"--pty", dir.filePath("ttySIM")}).isEmpty());
        const QByteArray status = ask(openLink(sim), {statusRequestFrame(1)}, 27), config = ask(openLink(sim), {configReadRequestFrame(1)}, 52);
        // Zones 1 and 2 from bytes 12 and 19: on is bit 7 of the second, output voltage the fifth.
        QVERIFY2(status.size() == 27 && status.startsWith(QByteArray::fromHex("010181")) && frameChecksumOk(status) && ((at(status, 13) | at(status, 20)) & 0x80) == 0 && at(status, 16) == 0 && at(status, 23) == 0, status.toHex(' '));
        // Installer PIN 407318: digits 1-2 in byte 8, 3-4 in byte 7, 5-6 in byte 6, high nibble first.
        QVERIFY2(config.size() == 52 && config.startsWith(QByteArray::fromHex("010182")) && frameChecksumOk(config) && config.mid(6, 3) == QByteArray::fromHex("187340"), config.toHex(' '));
        sim.process().terminate();
        QVERIFY(sim.process().waitForFinished(3000) && sim.process().exitCode() == 0);
        QVERIFY(!QFileInfo::exists(sim.path()) && !QFileInfo(sim.path()).isSymLink());
    }

    // A configuration write is stored (it has no reply); a zone command sets each zone's own bits.
    void configWriteAndZoneCommand()
    {
        SimProcess sim;
        QVERIFY(!sim.start({"--udp", "0", "--on"}).isEmpty());
        ConfigBlock block{};
        for (int i = 0; i < ConfigBlockSize; ++i)
            block[size_t(i)] = quint8(i * 7 + 3);
        const QByteArray config = ask(openLink(sim), {configWriteFrame(1, block), configReadRequestFrame(1)}, 52);
        QCOMPARE(sim.block(), config);
        for (int i = 3; i <= 50; ++i)
            QCOMPARE(at(config, i), quint8(i * 7 + 3));
        ask(openLink(sim), {zoneCommandFrame(1, false, true, true, false)}, 0);
        QTRY_COMPARE(sim.command("state", "STATE"), QStringLiteral("STATE on1=1 hv1=0 on2=0 hv2=1"));
    }

    // Datagrams are answered in order, so the first reply must be to the configuration request sent after the ignored frame.
    void ignoredFrames()
    {
        for (const auto& [address, ignored] : {std::pair(1, QByteArray::fromHex("010101E4")), std::pair(63, statusRequestFrame(1))}) {
            SimProcess sim;
            QVERIFY(!sim.start({"--udp", "0", "--address", QString::number(address)}).isEmpty());
            const QByteArray reply = ask(openLink(sim), {ignored, configReadRequestFrame(address)}, 1);
            QVERIFY2(reply.size() == 52 && at(reply, 0) == address, reply.toHex(' '));
        }
    }

    void lineRate_data()
    {
        QTest::addColumn<bool>("collide");
        QTest::newRow("queued") << false;
        QTest::newRow("collide") << true;
    }

    // Two status requests written at once on a 19200 baud pty: queued, the second
    // reply waits for the first, each after (4 + 27) bytes x 10 bits plus the 1 ms
    // turnaround; with --collide neither is answered and one collision is counted.
    void lineRate()
    {
        QFETCH(bool, collide);
        QTemporaryDir dir;
        SimProcess sim;
        QStringList options{"--pty", dir.filePath("ttySIM"), "--addresses", "1,2", "--line-rate", "19200"};
        if (collide)
            options << "--collide";
        QVERIFY(!sim.start(options).isEmpty());
        const Link link = openLink(sim);
        QElapsedTimer took;
        took.start();
        const QByteArray both = ask(link, {statusRequestFrame(1) + statusRequestFrame(2)}, collide ? 0 : 54);
        if (!collide) {
            QVERIFY2(both.size() == 54 && at(both, 0) == 1 && at(both, 27) == 2, both.toHex(' '));
            QVERIFY2(took.elapsed() >= 2 * 17, qPrintable(QString::number(took.elapsed())));
            QCOMPARE(sim.command("collisions", "COLLISIONS"), QStringLiteral("COLLISIONS 0"));
            return;
        }
        QTRY_COMPARE(sim.command("collisions", "COLLISIONS"), QStringLiteral("COLLISIONS 1"));
        // Nothing of the dropped replies is left on the line before the next one.
        took.restart();
        const QByteArray next = ask(link, {statusRequestFrame(2)}, 27);
        QVERIFY2(next.size() == 27 && at(next, 0) == 2 && took.elapsed() >= 17, next.toHex(' '));
        // Another answer last, so the last line can only be the one printed at exit.
        QVERIFY(!sim.command("state", "STATE").isEmpty());
        sim.process().terminate();
        QVERIFY(sim.process().waitForFinished(3000));
        QTRY_COMPARE(sim.lastLine(), QStringLiteral("COLLISIONS 1"));
    }

    // Faults and configurations for one address leave the others alone; a silenced
    // address answers again once resumed. A request that gets no reply shows as
    // the other address's block coming first.
    void perAddress()
    {
        QTemporaryDir dir;
        ConfigBlock other = defaultConfigBlock();
        other[6] = 0x99;
        QFile file(dir.filePath("other.xml"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(configToXml(other)) > 0);
        file.close();
        SimProcess sim;
        QVERIFY(!sim.start({"--udp", "0", "--addresses", "1-3", "--fault", "2:silent-after=1", "--config-for", "3:" + file.fileName()}).isEmpty());
        QCOMPARE(ask(openLink(sim), {statusRequestFrame(2)}, 27).size(), 27);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(ask(openLink(sim), {statusRequestFrame(2), configReadRequestFrame(1)}, 52).left(3), QByteArray::fromHex("010182"));
        QCOMPARE(QByteArray::fromHex(sim.command("dump 3", "CONFIG ").mid(7).toLatin1()).mid(6, 3), QByteArray::fromHex("997340"));
        QCOMPARE(sim.block().mid(6, 3), QByteArray::fromHex("187340"));

        QCOMPARE(sim.command("silence 3", "OK"), QStringLiteral("OK silence 3"));
        QCOMPARE(ask(openLink(sim), {statusRequestFrame(3), configReadRequestFrame(1)}, 52).size(), 52);
        QCOMPARE(sim.command("resume 3", "OK"), QStringLiteral("OK resume 3"));
        QCOMPARE(ask(openLink(sim), {statusRequestFrame(3)}, 27).left(1), QByteArray::fromHex("03"));
    }

    void optionsRefused()
    {
        for (const QStringList& options : {QStringList{"--on"}, QStringList{"--udp", "65536"}, QStringList{"--udp", "0", "--set", "nosuchbit"},
                                           QStringList{"--udp", "0", "--addresses", "1,64"}, QStringList{"--udp", "0", "--addresses", "1-3", "--fault", "4:drop=1"},
                                           QStringList{"--udp", "0", "--fault", "1:merge=1"}, QStringList{"--udp", "0", "--turnaround", "5"}}) {
            QProcess p;
            p.start(qEnvironmentVariable("EC_SIM"), options);
            QVERIFY(p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit);
            const QByteArray err = p.readAllStandardError();
            QVERIFY2(p.exitCode() == 2 && err.startsWith("energizer-sim: ") && err.size() > 20, err.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
