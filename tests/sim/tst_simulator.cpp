// energizer-sim on its wire, only what the link, CLI and MQTT tests do not
// show. Expected bytes are worked out by hand from the frame layout, not taken
// from the simulator's code.
#include "simprocess.h"

#include "link/frames.h"

#include <QDeadlineTimer>
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

    void optionsRefused()
    {
        for (const QStringList& options : {QStringList{"--on"}, QStringList{"--udp", "65536"}, QStringList{"--udp", "0", "--set", "nosuchbit"}}) {
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
