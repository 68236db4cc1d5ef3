// Several energizers on one line: replies go only to the station that asked,
// one request at a time, and a silent address backs off without starving
// the others. Against an in-process UDP peer that plays a bus of energizers.
#include "simprocess.h"

#include "protocol/energizer.h"
#include "link/energizerbus.h"
#include "protocol/frames.h"
#include "link/station.h"

#include <QElapsedTimer>
#include <QHash>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

namespace {

enum class Answer { Normal, Silent, WrongAddress, Late };

// Answers status requests for its addresses; the battery reads the address in volts.
// A configuration read gets a stray status reply first, then its own.
class FakeBusPeer : public QObject
{
public:
    QUdpSocket socket;
    QHash<int, Answer> answers;
    QHash<int, QList<qint64>> polls; // arrival times per address
    int overlaps = 0;                // a request while an earlier one could still be answered
    QElapsedTimer clock;

    explicit FakeBusPeer(int timeoutMs)
        : m_timeoutMs(timeoutMs)
    {
        clock.start();
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        connect(&socket, &QUdpSocket::readyRead, this, [this] {
            while (socket.hasPendingDatagrams())
                take(socket.receiveDatagram());
        });
    }

private:
    void take(const QNetworkDatagram& d)
    {
        const QByteArray frame = d.data();
        if (frame.size() != 4 || !frameChecksumOk(frame))
            return;
        const qint64 now = clock.elapsed();
        // Half the timeout: this peer shares the test's event loop, so its clock lags now and then.
        if (m_unanswered >= 0 && now - m_unanswered < m_timeoutMs / 2)
            ++overlaps;
        const int address = quint8(frame.at(0));
        if (quint8(frame.at(2)) == Frame::CmdConfigRead) {
            QByteArray stray = QByteArray::fromHex("000181") + QByteArray(24, '\0');
            QByteArray config = QByteArray::fromHex("000182") + QByteArray(49, '\0');
            stray[0] = config[0] = char(address);
            sealFrame(stray);
            sealFrame(config);
            socket.writeDatagram(stray, d.senderAddress(), d.senderPort());
            socket.writeDatagram(config, d.senderAddress(), d.senderPort());
            return;
        }
        polls[address] << now;
        const Answer answer = answers.value(address, Answer::Silent);
        m_unanswered = answer == Answer::Normal || answer == Answer::WrongAddress ? -1 : now;
        if (answer == Answer::Silent)
            return;
        QByteArray reply = QByteArray::fromHex("000181") + QByteArray(24, '\0');
        reply[0] = char(answer == Answer::WrongAddress ? address + 10 : address);
        reply[9] = char(address * 8);
        sealFrame(reply);
        if (answer == Answer::Late) {
            QTimer::singleShot(m_timeoutMs + 100, this, [this, reply, d] { socket.writeDatagram(reply, d.senderAddress(), d.senderPort()); });
            return;
        }
        socket.writeDatagram(reply, d.senderAddress(), d.senderPort());
    }

    int m_timeoutMs;
    qint64 m_unanswered = -1;
};

LinkSpec udpSettings(quint16 port)
{
    LinkSpec s;
    s.kind = LinkSpec::Kind::Udp;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    return s;
}

LinkSpec ptySettings(const QString& path)
{
    LinkSpec s;
    s.portName = path;
    return s;
}

struct TestBus
{
    EnergizerBus bus;
    QVector<Station*> stations;
    TestBus(quint16 port, const QVector<int>& addresses)
        : TestBus(udpSettings(port), addresses)
    {
    }
    TestBus(const LinkSpec& s, const QVector<int>& addresses)
    {
        bus.setLink(s);
        for (int a : addresses)
            stations << bus.addStation(a);
        bus.open();
    }
};

} // namespace

class TestEnergizerBus : public QObject
{
    Q_OBJECT
private slots:
    void repliesGoToTheirStation_data();
    void repliesGoToTheirStation();
    void silentAddressBacksOff_data();
    void silentAddressBacksOff();
    void otherResponseKeepsRequest();
    void longRoundNeedsMissedPolls();
    void simulatedLine_data();
    void simulatedLine();
};

void TestEnergizerBus::repliesGoToTheirStation_data()
{
    QTest::addColumn<int>("answer"); // of address 2; 1 and 3 answer normally
    QTest::newRow("answered") << int(Answer::Normal);
    QTest::newRow("dropped") << int(Answer::Silent);
    QTest::newRow("another address") << int(Answer::WrongAddress);
    QTest::newRow("past its timeout") << int(Answer::Late);
}

void TestEnergizerBus::repliesGoToTheirStation()
{
    QFETCH(int, answer);
    const int timeoutMs = EnergizerBus::Timing().networkTimeoutMs;
    FakeBusPeer peer(timeoutMs);
    peer.answers = {{1, Answer::Normal}, {2, Answer(answer)}, {3, Answer::Normal}};
    TestBus t(peer.socket.localPort(), {1, 2, 3});
    QHash<Station*, QList<double>> seen;
    for (Station* s : qAsConst(t.stations))
        connect(s, &Station::statusReceived, this, [&seen, s] { seen[s] << s->energizer().batteryVoltage; });
    t.bus.setPollInterval(50);
    QTRY_VERIFY_WITH_TIMEOUT(peer.polls.value(2).size() >= 6, 10000);
    t.bus.setPollInterval(0);
    QTRY_VERIFY(t.bus.isIdle());

    // Each station shows its own values and nobody else's.
    for (Station* s : qAsConst(t.stations)) {
        for (double v : seen.value(s))
            QCOMPARE(v, double(s->address()));
    }
    QVERIFY(seen.value(t.stations[0]).size() >= 5);
    QVERIFY(seen.value(t.stations[2]).size() >= 5);
    // A late reply may still answer the station's next request; it is its own all the same.
    if (Answer(answer) == Answer::Normal)
        QVERIFY(t.stations[1]->isOnline());
    else if (Answer(answer) != Answer::Late)
        QVERIFY(seen.value(t.stations[1]).isEmpty());
    // An energizer slower than the timeout overlaps the next request whatever the bus does.
    if (Answer(answer) != Answer::Late)
        QCOMPARE(peer.overlaps, 0);
}

void TestEnergizerBus::silentAddressBacksOff_data()
{
    QTest::addColumn<bool>("backOff");
    QTest::newRow("back-off") << true;
    QTest::newRow("every interval (a log of every poll)") << false;
}

void TestEnergizerBus::silentAddressBacksOff()
{
    // Five energizers, 3 silent: the others keep their rate but for one
    // timeout a round, 3 is asked less and less often (or at the same rate
    // with back-off off), and is back as soon as it answers.
    QFETCH(bool, backOff);
    const int intervalMs = 200;
    const int timeoutMs = EnergizerBus::Timing().networkTimeoutMs;
    FakeBusPeer peer(timeoutMs);
    peer.answers = {{1, Answer::Normal}, {2, Answer::Normal}, {3, Answer::Silent}, {4, Answer::Normal}, {5, Answer::Normal}};
    TestBus t(peer.socket.localPort(), {1, 2, 3, 4, 5});
    Station* silent = t.stations[2];
    t.bus.setBackOff(backOff);
    t.bus.setPollInterval(intervalMs);
    QTRY_VERIFY_WITH_TIMEOUT(silent->availability() == Station::Availability::Offline, 6000);
    const int offlineAt = peer.polls.value(3).size();
    QTRY_VERIFY_WITH_TIMEOUT(peer.polls.value(3).size() >= offlineAt + 4, 20000);

    const QList<qint64> gaps3 = [&] {
        QList<qint64> g;
        const QList<qint64>& p = peer.polls.value(3);
        for (int i = 1; i < p.size(); ++i)
            g << p[i] - p[i - 1];
        return g;
    }();
    // Offline from the third miss on, then doubling gaps (with back-off).
    QVERIFY2(!backOff || (gaps3.last() >= 4 * intervalMs && gaps3.last() > gaps3.first()), qPrintable(QString::number(gaps3.last())));
    // Never more than one interval plus one timeout between two polls.
    for (int a : backOff ? QVector<int>{1, 2, 4, 5} : QVector<int>{1, 2, 3, 4, 5}) {
        const QList<qint64>& p = peer.polls.value(a);
        for (int i = 1; i < p.size(); ++i)
            QVERIFY2(p[i] - p[i - 1] <= intervalMs + timeoutMs + 100,
                     qPrintable(QStringLiteral("address %1: %2 ms").arg(a).arg(p[i] - p[i - 1])));
    }
    QCOMPARE(peer.overlaps, 0);

    peer.answers[3] = Answer::Normal;
    const int before = peer.polls.value(3).size();
    QTRY_VERIFY_WITH_TIMEOUT(peer.polls.value(3).size() > before, Station::MaxBackoffMs + 1000);
    QTRY_VERIFY(silent->isOnline());
    // Back at the normal pace at once.
    const int answeredAt = peer.polls.value(3).size();
    QTRY_VERIFY_WITH_TIMEOUT(peer.polls.value(3).size() >= answeredAt + 2, 4 * (intervalMs + timeoutMs));
    QCOMPARE(silent->energizer().batteryVoltage, 3.0);
}

void TestEnergizerBus::otherResponseKeepsRequest()
{
    // A status reply while a configuration read is outstanding does not end it.
    FakeBusPeer peer(EnergizerBus::Timing().networkTimeoutMs);
    TestBus t(peer.socket.localPort(), {1, 2});
    Station* s = t.stations[0];
    QSignalSpy configs(s, &Station::configReceived);
    QSignalSpy statuses(s, &Station::statusReceived);
    QSignalSpy dropped(&t.bus, &EnergizerBus::replyDropped);
    QVERIFY(s->requestConfig());
    QVERIFY(configs.wait(2000));
    QCOMPARE(statuses.count(), 0);
    QCOMPARE(dropped.count(), 1);
}

void TestEnergizerBus::longRoundNeedsMissedPolls()
{
    // A round longer than the 3 s: the answering energizer stays on line,
    // the one that falls silent goes off line at its third missed poll.
    FakeBusPeer peer(EnergizerBus::Timing().networkTimeoutMs);
    peer.answers = {{1, Answer::Normal}, {2, Answer::Normal}};
    TestBus t(peer.socket.localPort(), {1, 2});
    QStringList wrong;
    for (Station* s : qAsConst(t.stations)) {
        connect(s, &Station::availabilityChanged, this, [&wrong, s](Station::Availability a) {
            if (a == Station::Availability::Offline && (s->address() == 1 || s->missedPolls() < Station::MissedPollsOffline))
                wrong << QStringLiteral("%1 off line after %2 missed").arg(s->address()).arg(s->missedPolls());
        });
    }
    t.bus.setPollInterval(Station::StaleReplyMs + 200);
    QTRY_VERIFY(t.stations[1]->isOnline());
    peer.answers[2] = Answer::Silent;
    QTRY_VERIFY_WITH_TIMEOUT(t.stations[1]->availability() == Station::Availability::Offline, 4 * (Station::StaleReplyMs + 500));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
    QVERIFY(t.stations[0]->isOnline());
    QVERIFY(peer.polls.value(1).size() >= 4);
}

void TestEnergizerBus::simulatedLine_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("collide"); // a reply held past its timeout overlaps the next request
    QTest::newRow("pty, 2 drops half") << "pty" << QStringList{"--fault", "2:drop=0.5"} << true;
    QTest::newRow("udp, 2 drops half") << "udp" << QStringList{"--fault", "2:drop=0.5"} << true;
    QTest::newRow("pty, 3 late") << "pty" << QStringList{"--fault", "3:delay=400"} << false;
}

void TestEnergizerBus::simulatedLine()
{
    // Three energizers on one simulated line at 19200 baud; each band of
    // output voltage belongs to one address.
    QFETCH(QString, kind);
    QFETCH(QStringList, faults);
    QFETCH(bool, collide);
    QTemporaryDir dir;
    SimProcess sim;
    QStringList args{"--addresses", "1-3", "--on", "--line-rate", "19200"};
    args << faults << QLatin1String("--") + kind << (kind == QLatin1String("pty") ? dir.filePath(QStringLiteral("bus")) : QStringLiteral("0"));
    if (collide)
        args << QStringLiteral("--collide");
    const QString endpoint = sim.start(args);
    QVERIFY(!endpoint.isEmpty());
    TestBus t(kind == QLatin1String("pty") ? ptySettings(endpoint) : udpSettings(endpoint.toUShort()), {1, 2, 3});
    QHash<int, int> replies;
    QStringList wrong;
    for (Station* s : qAsConst(t.stations)) {
        connect(s, &Station::statusReceived, this, [&, s] {
            const int counts = int(s->energizer().outputVoltage1 / 125);
            const int low = 56 + 20 * (s->address() - 1);
            if (counts < low || counts > low + 16)
                wrong << QStringLiteral("%1: %2 V").arg(s->address()).arg(s->energizer().outputVoltage1);
            ++replies[s->address()];
        });
    }
    t.bus.setPollInterval(20);
    QTRY_VERIFY_WITH_TIMEOUT(replies.value(1) >= 20 && replies.value(2) >= 5 && replies.value(3) >= 3, 20000);
    t.bus.setPollInterval(0);
    QTRY_VERIFY(t.bus.isIdle());
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
    if (collide) {
        QCOMPARE(sim.command(QStringLiteral("collisions"), QStringLiteral("COLLISIONS")), QStringLiteral("COLLISIONS 0"));
    }
}

QTEST_GUILESS_MAIN(TestEnergizerBus)
#include "tst_energizerbus.moc"
