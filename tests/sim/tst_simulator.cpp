// energizer-sim on its wire. Expected bytes are worked out by hand from the
// frame layout, not taken from the simulator's code.
#include "simprocess.h"

#include "config/configrecord.h"
#include "link/frames.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QByteArray statusRequest1 = QByteArray::fromHex("010101E3");
const QByteArray configRead1 = QByteArray::fromHex("01010201");
constexpr int ShortWaitMs = 300;  // for "nothing comes"
constexpr int ReplyWaitMs = 2000; // for "this must come"

quint8 at(const QByteArray& b, int i) { return static_cast<quint8>(b.at(i)); }

// The simulator's peer through one descriptor: a connected UDP socket (each
// read is one datagram), a TCP socket, or the pty opened raw like a serial port.
class Client
{
public:
    explicit Client(const SimProcess& sim)
    {
        termios tio;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(sim.port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (sim.kind() == QLatin1String("pty")) {
            fd_ = ::open(QFile::encodeName(sim.path()).constData(), O_RDWR | O_NOCTTY);
            if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
                ::cfmakeraw(&tio);
                ::tcsetattr(fd_, TCSANOW, &tio);
            }
        } else if ((fd_ = ::socket(AF_INET, sim.kind() == QLatin1String("udp") ? SOCK_DGRAM : SOCK_STREAM, 0)) >= 0) {
            ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~Client() { ::close(fd_); }
    void send(const QByteArray& frame) { QVERIFY(::write(fd_, frame.constData(), size_t(frame.size())) == frame.size()); }
    // One entry per read, until `bytes` have arrived or timeoutMs passed.
    QVector<QByteArray> receive(int bytes, int timeoutMs)
    {
        QVector<QByteArray> parts;
        QElapsedTimer timer;
        timer.start();
        for (int got = 0; got < bytes && timer.elapsed() < timeoutMs;) {
            pollfd p{fd_, POLLIN, 0};
            char buffer[256];
            const ssize_t n = ::poll(&p, 1, qMax(1, timeoutMs - int(timer.elapsed()))) > 0 ? ::read(fd_, buffer, sizeof buffer) : 0;
            if (n > 0) {
                parts.append(QByteArray(buffer, int(n)));
                got += int(n);
            }
        }
        return parts;
    }
    QByteArray receiveAll(int bytes, int timeoutMs = ReplyWaitMs)
    {
        QByteArray all;
        for (const QByteArray& part : receive(bytes, timeoutMs))
            all += part;
        return all;
    }

private:
    int fd_ = -1;
};

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void answersRequests_data();
    void answersRequests();
    void zoneCommandDrivesStatus_data();
    void zoneCommandDrivesStatus();
    void ignoresBadFrames_data();
    void ignoresBadFrames();
    void tcpStream();
    void faultsOnTheWire_data();
    void faultsOnTheWire();
    void alarmBitsFromStdin_data();
    void alarmBitsFromStdin();
    void startOptions();
    void refusesBadStart_data();
    void refusesBadStart();

private:
    // Starts the simulator on "udp", "tcp" or "pty" with extra options.
    bool startSim(SimProcess& sim, const QString& kind, const QStringList& extra = {})
    {
        const QString endpoint = kind == QLatin1String("pty") ? dir_.filePath(QStringLiteral("ttySIM")) : QStringLiteral("0");
        return !sim.start(QStringList{QLatin1String("--") + kind, endpoint} + extra).isEmpty();
    }
    QTemporaryDir dir_;
};

void TestSimulator::answersRequests_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("byQuitCommand");
    QTest::newRow("udp") << "udp" << false;
    QTest::newRow("tcp") << "tcp" << false;
    QTest::newRow("pty, left by quit") << "pty" << true;
    QTest::newRow("pty, terminated") << "pty" << false;
}

void TestSimulator::answersRequests()
{
    QFETCH(QString, kind);
    QFETCH(bool, byQuitCommand);
    SimProcess sim;
    QVERIFY(startSim(sim, kind));
    {
        Client client(sim);
        client.send(statusRequest1);
        const QByteArray status = client.receiveAll(27);
        QCOMPARE(status.size(), 27);
        QCOMPARE(status.left(3), QByteArray::fromHex("010181"));
        QVERIFY(frameChecksumOk(status));
        // Zones start off: no level, no voltages; battery and supply plausible.
        QCOMPARE(at(status, 13) & 0x80, 0);
        QCOMPARE(at(status, 16), 0);
        QVERIFY(at(status, 9) * 0.125 > 13.0 && at(status, 9) * 0.125 < 14.5);
        QVERIFY(at(status, 10) * 0.125 > 15.0 && at(status, 10) * 0.125 < 17.0);

        client.send(configRead1);
        const QByteArray config = client.receiveAll(52);
        QCOMPARE(config.size(), 52);
        QCOMPARE(config.left(3), QByteArray::fromHex("010182"));
        QVERIFY(frameChecksumOk(config));
        // Installer PIN 407318: digits 1-2 in byte 8, 3-4 in byte 7, 5-6 in byte 6, high nibble first.
        QCOMPARE(config.mid(6, 3), QByteArray::fromHex("187340"));
        QCOMPARE(at(config, 35), 60); // gate alarm delay of the default block
    }
    if (kind != QLatin1String("pty"))
        return;
    // The pty's link goes away however the simulator ends.
    QVERIFY(QFileInfo(sim.path()).isSymLink());
    if (byQuitCommand)
        sim.process().write("quit\n");
    else
        sim.process().terminate();
    QVERIFY(sim.process().waitForFinished(3000));
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(sim.path()) && !QFileInfo(sim.path()).isSymLink());
}

void TestSimulator::zoneCommandDrivesStatus_data()
{
    QTest::addColumn<bool>("hv1");
    QTest::addColumn<bool>("hv2");
    QTest::addColumn<bool>("on1");
    QTest::addColumn<bool>("on2");
    QTest::newRow("both on, high") << true << true << true << true;
    QTest::newRow("zone 1 high, zone 2 low") << true << false << true << true;
    QTest::newRow("zone 1 low only") << false << false << true << false;
    QTest::newRow("all off") << false << true << false << false;
}

void TestSimulator::zoneCommandDrivesStatus()
{
    QFETCH(bool, hv1);
    QFETCH(bool, hv2);
    QFETCH(bool, on1);
    QFETCH(bool, on2);
    SimProcess sim;
    QVERIFY(startSim(sim, QStringLiteral("udp")));
    Client client(sim);
    client.send(zoneCommandFrame(1, hv1, hv2, on1, on2));
    QCOMPARE(sim.command(QStringLiteral("state"), QStringLiteral("STATE")),
             QStringLiteral("STATE on1=%1 hv1=%2 on2=%3 hv2=%4").arg(int(on1)).arg(int(hv1)).arg(int(on2)).arg(int(hv2)));

    for (int n = 0; n < 2; ++n) { // the values move between replies
        client.send(statusRequest1);
        const QByteArray s = client.receiveAll(27);
        QCOMPARE(s.size(), 27);
        const bool on[2] = {on1, on2};
        const bool hv[2] = {hv1, hv2};
        for (int z = 0; z < 2; ++z) {
            const int base = z == 0 ? 12 : 19;
            const int output = at(s, base + 4) * 125;
            const int back = at(s, base + 5) * 125;
            const double cap = at(s, base + 3) * 6.25;
            const QString where = QStringLiteral("zone %1, reply %2: %3 V out, %4 V back, %5 V cap").arg(z + 1).arg(n).arg(output).arg(back).arg(cap);
            QVERIFY2(bool(at(s, base + 1) & 0x80) == on[z], qPrintable(where));
            QVERIFY2(((at(s, base + 1) & 0x03) != 1) == hv[z], qPrintable(where)); // mode 1 is low voltage
            if (!on[z]) {
                QVERIFY2(output == 0 && back == 0 && cap == 0.0, qPrintable(where));
                continue;
            }
            QVERIFY2(hv[z] ? output >= 7000 && output <= 9000 : output >= 3000 && output <= 4500, qPrintable(where));
            QVERIFY2(back > 0 && back < output && cap > 100.0 && cap < 480.0, qPrintable(where));
            QVERIFY2((at(s, base) & 0x0F) >= 7 && (at(s, base) & 0x0F) <= 9 && ((at(s, base) >> 4) & 0x03) == 1, qPrintable(where));
        }
    }
}

void TestSimulator::ignoresBadFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong checksum") << QByteArray::fromHex("010101E4") << QStringList() << "bad-checksum";
    QTest::newRow("other address") << QByteArray::fromHex("02010107") << QStringList() << "other-address";
    QTest::newRow("address 1 when set to 63") << statusRequest1 << QStringList{"--address", "63"} << "other-address";
    QTest::newRow("unknown command") << QByteArray::fromHex("0101035F") << QStringList() << "not-a-frame";
    QTest::newRow("cut short") << QByteArray::fromHex("010101") << QStringList() << "incomplete";
    QTest::newRow("zone command with bad checksum") << QByteArray::fromHex("01010503030000") << QStringList() << "bad-checksum";
}

void TestSimulator::ignoresBadFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QStringList, options);
    QFETCH(QString, reason);
    SimProcess sim;
    QVERIFY(startSim(sim, QStringLiteral("udp"), options << QStringLiteral("--verbose")));
    Client client(sim);
    client.send(frame);
    QVERIFY(client.receive(1, ShortWaitMs).isEmpty());
    QCOMPARE(sim.command(QStringLiteral("state"), QStringLiteral("STATE")), QStringLiteral("STATE on1=0 hv1=1 on2=0 hv2=1"));
    QCOMPARE(sim.count(QStringLiteral("IGNORED"), reason + QLatin1Char(' ') + QString::fromLatin1(frame.toHex(' ').toUpper())), 1);
    // Still answers what is addressed to it.
    client.send(statusRequestFrame(options.size() > 1 ? 63 : 1));
    QCOMPARE(client.receiveAll(27).size(), 27);
}

void TestSimulator::tcpStream()
{
    SimProcess sim;
    QVERIFY(startSim(sim, QStringLiteral("tcp")));
    Client client(sim);
    // Junk that looks like the start of a 52-byte write frame, a broken request,
    // then a good request split across two writes.
    client.send(QByteArray::fromHex("FF0104") + QByteArray::fromHex("010101E4") + statusRequest1.left(2));
    client.send(statusRequest1.mid(2));
    QByteArray reply = client.receiveAll(27);
    QCOMPARE(reply.size(), 27);
    QVERIFY(frameChecksumOk(reply));

    // A configuration write is stored; several requests in one write get one reply each.
    ConfigBlock block{};
    for (int i = 0; i < ConfigBlockSize; ++i)
        block[size_t(i)] = quint8(i * 7 + 3);
    client.send(configWriteFrame(1, block) + statusRequest1 + configRead1 + statusRequest1);
    reply = client.receiveAll(27 + 52 + 27);
    QCOMPARE(reply.size(), 27 + 52 + 27);
    QCOMPARE(at(reply, 2), 0x81);
    QCOMPARE(at(reply, 79 + 2), 0x81);
    const QByteArray config = reply.mid(27, 52);
    QCOMPARE(config.left(3), QByteArray::fromHex("010182"));
    QVERIFY(frameChecksumOk(config));
    for (int i = 3; i <= 50; ++i)
        QCOMPARE(at(config, i), quint8(i * 7 + 3));
    QCOMPARE(sim.block(), config);
}

void TestSimulator::faultsOnTheWire_data()
{
    // Over UDP each write is one datagram, so the shape of the writes is visible.
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QVector<int>>("datagrams");
    QTest::addColumn<int>("replyAt");
    QTest::addColumn<int>("minMs"); // request to last datagram, less the 5% a coarse timer may fire early
    QTest::newRow("none") << QStringList() << 2 << QVector<int>{27, 27} << 0 << 0;
    QTest::newRow("split") << QStringList{"--split", "10:20"} << 1 << QVector<int>{10, 10, 7} << 0 << 38;
    QTest::newRow("split, delayed") << QStringList{"--split", "9:150", "--delay", "100"} << 1 << QVector<int>{9, 9, 9} << 0 << 380;
    QTest::newRow("trailing") << QStringList{"--trailing", "5"} << 1 << QVector<int>{32} << 0 << 0;
    QTest::newRow("noise") << QStringList{"--noise", "6"} << 1 << QVector<int>{6, 27} << 6 << 0;
    QTest::newRow("noise and split") << QStringList{"--noise", "3", "--split", "20:10"} << 1 << QVector<int>{3, 20, 7} << 3 << 9;
    QTest::newRow("merge, odd count") << QStringList{"--merge"} << 3 << QVector<int>{54} << 0 << 0;
    QTest::newRow("silent after 2") << QStringList{"--silent-after", "2"} << 4 << QVector<int>{27, 27} << 0 << 0;
    QTest::newRow("silent after 0") << QStringList{"--silent-after", "0"} << 2 << QVector<int>{} << 0 << 0;
    QTest::newRow("drop all") << QStringList{"--drop", "1"} << 3 << QVector<int>{} << 0 << 0;
}

void TestSimulator::faultsOnTheWire()
{
    QFETCH(QStringList, options);
    QFETCH(int, requests);
    QFETCH(QVector<int>, datagrams);
    QFETCH(int, replyAt);
    QFETCH(int, minMs);
    SimProcess sim;
    QVERIFY(startSim(sim, QStringLiteral("udp"), options));
    Client client(sim);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < requests; ++i)
        client.send(statusRequest1);
    int expected = 0;
    for (int n : datagrams)
        expected += n;
    QVector<QByteArray> got = client.receive(expected, ReplyWaitMs);
    QVERIFY2(timer.elapsed() >= minMs, qPrintable(QString::number(timer.elapsed())));
    got += client.receive(1, ShortWaitMs); // and nothing more
    QVector<int> sizes;
    QByteArray all;
    for (const QByteArray& d : got) {
        sizes << d.size();
        all += d;
    }
    QCOMPARE(sizes, datagrams);
    // Whatever the faults, the reply proper is intact where it should be.
    if (!all.isEmpty()) {
        QCOMPARE(at(all, replyAt + 2), 0x81);
        QVERIFY(frameChecksumOk(all.mid(replyAt, 27)));
    }
}

void TestSimulator::alarmBitsFromStdin_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("mask");
    QTest::newRow("mains") << "mains" << 4 << 0x01;
    QTest::newRow("tamper") << "tamper" << 4 << 0x04;
    QTest::newRow("gate alarm") << "gate" << 5 << 0x01;
    QTest::newRow("panic") << "panic" << 6 << 0x04;
    QTest::newRow("gate input") << "gateinput" << 6 << 0x20;
    QTest::newRow("service") << "service" << 8 << 0x80;
    QTest::newRow("zone 2 SCR") << "scr2" << 21 << 0x02;
}

void TestSimulator::alarmBitsFromStdin()
{
    QFETCH(QString, name);
    QFETCH(int, offset);
    QFETCH(int, mask);
    SimProcess sim;
    QVERIFY(startSim(sim, QStringLiteral("udp")));
    Client client(sim);
    const auto statusByte = [&client, offset] {
        client.send(statusRequest1);
        const QByteArray reply = client.receiveAll(27);
        return reply.size() == 27 && frameChecksumOk(reply) ? int(at(reply, offset)) : -1;
    };
    const int before = statusByte();
    QCOMPARE(before & mask, 0);
    QCOMPARE(sim.command(QStringLiteral("set %1 1").arg(name)), QStringLiteral("OK %1=1").arg(name));
    QCOMPARE(statusByte(), before | mask);
    QCOMPARE(sim.command(QStringLiteral("set %1 0").arg(name)), QStringLiteral("OK %1=0").arg(name));
    QCOMPARE(statusByte(), before);
    QVERIFY(sim.command(QStringLiteral("set nosuchbit 1")).startsWith(QLatin1String("ERROR")));
}

void TestSimulator::startOptions()
{
    // A configuration file, alarm bits and zones set at start; it keeps running with stdin closed.
    const QString path = dir_.filePath(QStringLiteral("setup.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuration Company=\"x\">\n"
               "  <Options>\n    <InstallerPIN value=\"123456\"/>\n    <GateAlarmDelay value=\"300\"/>\n"
               "  </Options>\n</Configuration>\n");
    file.close();
    SimProcess sim;
    QVERIFY(startSim(sim, QStringLiteral("udp"), {"--config", path, "--set", "mains", "--on"}));
    sim.process().closeWriteChannel();
    QTest::qWait(100);
    Client client(sim);
    client.send(configRead1);
    const QByteArray config = client.receiveAll(52);
    QCOMPARE(config.size(), 52);
    QCOMPARE(config.mid(6, 3), QByteArray::fromHex("563412"));
    QCOMPARE(at(config, 35), 300 % 256);
    QCOMPARE(at(config, 50), 0); // BigNetworkAddress: the file has no Network group
    client.send(statusRequest1);
    const QByteArray status = client.receiveAll(27);
    QCOMPARE(status.size(), 27);
    QCOMPARE(at(status, 4) & 0x01, 0x01);
    QCOMPARE(at(status, 13) & 0x80, 0x80);
    QCOMPARE(at(status, 20) & 0x80, 0x80);
}

void TestSimulator::refusesBadStart_data()
{
    QTest::addColumn<QStringList>("arguments");
    const QString notXml = dir_.filePath(QStringLiteral("broken.xml"));
    QFile file(notXml);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<Configuration><Options>");
    QTest::newRow("no transport") << QStringList{"--verbose"};
    QTest::newRow("two transports") << QStringList{"--udp", "0", "--tcp", "0"};
    QTest::newRow("split of 0 bytes") << QStringList{"--udp", "0", "--split", "0:5"};
    QTest::newRow("drop above 1") << QStringList{"--udp", "0", "--drop", "1.5"};
    QTest::newRow("unknown bit") << QStringList{"--udp", "0", "--set", "nosuch"};
    QTest::newRow("config not XML") << QStringList{"--udp", "0", "--config", notXml};
    QTest::newRow("config missing") << QStringList{"--udp", "0", "--config", dir_.filePath("none.xml")};
    QTest::newRow("pty path is a file") << QStringList{"--pty", notXml};
}

void TestSimulator::refusesBadStart()
{
    QFETCH(QStringList, arguments);
    QProcess sim;
    sim.start(qEnvironmentVariable("EC_SIM"), arguments);
    QVERIFY(sim.waitForFinished(3000));
    QVERIFY(sim.exitCode() != 0);
    QVERIFY(!sim.readAllStandardOutput().contains("READY"));
    QVERIFY(!sim.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
