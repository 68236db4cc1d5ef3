// energizer-sim on its wire, as far as the other tests rely on it. Expected
// bytes are worked out by hand from the frame layout, not taken from the
// simulator's code.
#include "simprocess.h"

#include "config/configrecord.h"
#include "link/frames.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <numeric>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QByteArray statusRequest1 = QByteArray::fromHex("010101E3");
const QByteArray configRead1 = QByteArray::fromHex("01010201");

quint8 at(const QByteArray& b, int i) { return static_cast<quint8>(b.at(i)); }

// Zone 1 or 2 of a status reply (its bytes from 12 or 19): on (bit 7 of the
// second), high voltage (mode 1 is low), output voltage (fifth, 125 V steps).
QString zone(const QByteArray& s, int z)
{
    const int base = z == 1 ? 12 : 19, volts = s.size() == 27 ? at(s, base + 4) * 125 : -1;
    const char* range = volts == 0 ? "0 V" : volts >= 7000 && volts <= 9000 ? "HV" : volts >= 3000 && volts <= 4500 ? "LV" : "out of range";
    return volts < 0 ? QStringLiteral("no reply") : QStringLiteral("on=%1 hv=%2 %3").arg(at(s, base + 1) >> 7).arg(int((at(s, base + 1) & 3) != 1)).arg(range);
}

// The simulator's peer through one descriptor: a connected UDP socket (each
// read is one datagram), a TCP socket, or the pty opened raw like a serial port.
class Client
{
public:
    explicit Client(const SimProcess& sim)
    {
        sockaddr_in address{AF_INET, htons(sim.port()), {htonl(INADDR_LOOPBACK)}, {}};
        termios tio;
        if (sim.kind() == "pty" && (fd_ = ::open(sim.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY)) >= 0 && ::tcgetattr(fd_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        } else if (sim.kind() != "pty" && (fd_ = ::socket(AF_INET, sim.kind() == "udp" ? SOCK_DGRAM : SOCK_STREAM, 0)) >= 0) {
            ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~Client() { ::close(fd_); }
    bool send(const QByteArray& frame) { return ::write(fd_, frame.constData(), size_t(frame.size())) == frame.size(); }
    // One entry per read, until `bytes` have arrived or timeoutMs passed.
    QByteArrayList receive(int bytes, int timeoutMs = 2000)
    {
        QByteArrayList parts;
        char buffer[256];
        pollfd p{fd_, POLLIN, 0};
        for (QDeadlineTimer left(timeoutMs); parts.join().size() < bytes && ::poll(&p, 1, int(qMax<qint64>(1, left.remainingTime()))) > 0 && !left.hasExpired();)
            parts.append(QByteArray(buffer, int(qMax<ssize_t>(0, ::read(fd_, buffer, sizeof buffer)))));
        return parts;
    }
    // A request and all of its reply.
    QByteArray ask(const QByteArray& request, int bytes) { return send(request) ? receive(bytes).join() : QByteArray(); }

private:
    int fd_ = -1;
};

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void pty_data();
    void pty();
    void zonesAndAlarmBits();
    void configWrite_data();
    void configWrite();
    void faultsOnTheWire_data();
    void faultsOnTheWire();

private:
    QTemporaryDir dir_;
};

void TestSimulator::pty_data()
{
    QTest::addColumn<QByteArray>("end");
    QTest::newRow("left by quit") << QByteArray("quit\n");
    QTest::newRow("terminated") << QByteArray();
}

// Replies over the pty, the default block and both zones off; the pty's link
// goes away however the simulator ends. (UDP and TCP replies: the tests below.)
void TestSimulator::pty()
{
    QFETCH(QByteArray, end);
    SimProcess sim;
    QVERIFY(!sim.start({"--pty", dir_.filePath("ttySIM")}).isEmpty());
    {
        Client client(sim);
        const QByteArray status = client.ask(statusRequest1, 27), config = client.ask(configRead1, 52);
        QVERIFY2(status.size() == 27 && status.startsWith(QByteArray::fromHex("010181")) && frameChecksumOk(status), status.toHex(' '));
        QCOMPARE(zone(status, 1) + ", " + zone(status, 2), QStringLiteral("on=0 hv=1 0 V, on=0 hv=1 0 V"));
        QVERIFY2(config.size() == 52 && config.startsWith(QByteArray::fromHex("010182")) && frameChecksumOk(config), config.toHex(' '));
        // Installer PIN 407318: digits 1-2 in byte 8, 3-4 in byte 7, 5-6 in byte 6, high nibble first; gate alarm delay 60.
        QCOMPARE(config.mid(6, 3), QByteArray::fromHex("187340"));
        QCOMPARE(at(config, 35), 60);
    }
    QVERIFY(QFileInfo(sim.path()).isSymLink());
    if (end.isEmpty())
        sim.process().terminate();
    sim.process().write(end);
    QVERIFY(sim.process().waitForFinished(3000) && sim.process().exitCode() == 0);
    QVERIFY(!QFileInfo::exists(sim.path()) && !QFileInfo(sim.path()).isSymLink());
}

// As the other tests set them: --on and --set at start, a zone command (with
// a bad checksum ignored), bits set from stdin.
void TestSimulator::zonesAndAlarmBits()
{
    SimProcess sim;
    QVERIFY(!sim.start({"--udp", "0", "--on", "--set", "mains"}).isEmpty());
    Client client(sim);
    QByteArray s = client.ask(statusRequest1, 27);
    QCOMPARE(zone(s, 1) + ", " + zone(s, 2), QStringLiteral("on=1 hv=1 HV, on=1 hv=1 HV"));
    QVERIFY(client.send(QByteArray::fromHex("01010503030000")));
    QVERIFY(client.send(zoneCommandFrame(1, false, true, true, false)));
    QCOMPARE(sim.command("state", "STATE"), QStringLiteral("STATE on1=1 hv1=0 on2=0 hv2=1"));
    s = client.ask(statusRequest1, 27);
    QCOMPARE(zone(s, 1) + ", " + zone(s, 2), QStringLiteral("on=1 hv=0 LV, on=0 hv=1 0 V"));
    // mains: byte 4 bit 0; tamper: byte 4 bit 2; gate alarm: byte 5 bit 0.
    QVERIFY((at(s, 4) & 0x05) == 0x01 && (at(s, 5) & 0x01) == 0);
    QCOMPARE(sim.command("set gate 1"), QStringLiteral("OK gate=1"));
    QCOMPARE(sim.command("set tamper 1"), QStringLiteral("OK tamper=1"));
    s = client.ask(statusRequest1, 27);
    QVERIFY((at(s, 4) & 0x05) == 0x05 && (at(s, 5) & 0x01) == 0x01);
    QVERIFY(sim.command("set nosuchbit 1").startsWith("ERROR"));
}

void TestSimulator::configWrite_data()
{
    QTest::addColumn<bool>("ignore");
    QTest::newRow("stored") << false;
    QTest::newRow("--ignore-writes") << true;
}

// Over TCP several requests in one write get one reply each, in order; RX lines count the write.
void TestSimulator::configWrite()
{
    QFETCH(bool, ignore);
    SimProcess sim;
    QVERIFY(!sim.start(QStringList{"--tcp", "0", "--verbose"} + (ignore ? QStringList{"--ignore-writes"} : QStringList())).isEmpty());
    const QByteArray before = sim.block();
    QCOMPARE(before.size(), 52);
    Client client(sim);
    ConfigBlock block{};
    for (int i = 0; i < ConfigBlockSize; ++i)
        block[size_t(i)] = quint8(i * 7 + 3);
    const QByteArray reply = client.ask(configWriteFrame(1, block) + statusRequest1 + configRead1 + statusRequest1, 27 + 52 + 27);
    QCOMPARE(reply.size(), 27 + 52 + 27);
    const QByteArray config = reply.mid(27, 52);
    QVERIFY(at(reply, 2) == 0x81 && at(reply, 27 + 2) == 0x82 && at(reply, 79 + 2) == 0x81 && frameChecksumOk(config));
    for (int i = 3; i <= 50; ++i)
        QCOMPARE(at(config, i), ignore ? at(before, i) : quint8(i * 7 + 3));
    QCOMPARE(sim.block(), config);
    QCOMPARE(sim.count("RX", "01 01 04"), 1);
}

void TestSimulator::faultsOnTheWire_data()
{
    // Over UDP each write is one datagram, so the shape of the writes is visible.
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QVector<int>>("datagrams");
    QTest::addColumn<int>("minMs"); // request to last datagram, less the 5% a coarse timer may fire early
    QTest::newRow("wrong checksum") << QStringList() << QByteArray::fromHex("010101E4") << 1 << QVector<int>{} << 0;
    QTest::newRow("address 1 when set to 63") << QStringList{"--address", "63"} << statusRequest1 << 1 << QVector<int>{} << 0;
    QTest::newRow("split, delayed") << QStringList{"--split", "9:150", "--delay", "100"} << statusRequest1 << 1 << QVector<int>{9, 9, 9} << 380;
    QTest::newRow("trailing") << QStringList{"--trailing", "5"} << statusRequest1 << 1 << QVector<int>{32} << 0;
    QTest::newRow("noise and split") << QStringList{"--noise", "3", "--split", "20:10"} << statusRequest1 << 1 << QVector<int>{3, 20, 7} << 9;
    QTest::newRow("merge, odd count") << QStringList{"--merge"} << statusRequest1 << 3 << QVector<int>{54} << 0;
    QTest::newRow("silent after 2") << QStringList{"--silent-after", "2"} << statusRequest1 << 4 << QVector<int>{27, 27} << 0;
    QTest::newRow("drop all") << QStringList{"--drop", "1"} << statusRequest1 << 3 << QVector<int>{} << 0;
}

void TestSimulator::faultsOnTheWire()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, request);
    QFETCH(int, requests);
    QFETCH(QVector<int>, datagrams);
    QFETCH(int, minMs);
    SimProcess sim;
    QVERIFY(!sim.start(QStringList{"--udp", "0"} + options).isEmpty());
    Client client(sim);
    const qint64 sent = SimProcess::nowMs();
    for (int i = 0; i < requests; ++i)
        QVERIFY(client.send(request));
    QByteArrayList got = client.receive(std::accumulate(datagrams.begin(), datagrams.end(), 0));
    QVERIFY2(SimProcess::nowMs() - sent >= minMs, qPrintable(QString::number(SimProcess::nowMs() - sent)));
    got += client.receive(1, 300); // and nothing more
    QVector<int> sizes(got.size());
    std::transform(got.begin(), got.end(), sizes.begin(), [](const QByteArray& d) { return d.size(); });
    QCOMPARE(sizes, datagrams);
    // Whatever the faults, the reply proper is intact.
    const QByteArray all = got.join();
    const int reply = all.indexOf(QByteArray::fromHex("010181"));
    QVERIFY(all.isEmpty() || (reply >= 0 && frameChecksumOk(all.mid(reply, 27))));
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
