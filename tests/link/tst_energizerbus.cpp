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

    FakeBusPeer()
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
        const auto send = [this, d](int from, quint8 code, int size, int battery = 0) {
            QByteArray reply = QByteArray::fromHex("000100") + QByteArray(size - 3, '\0');
            reply[0] = char(from);
            reply[2] = char(code);
            reply[9] = char(battery);
            sealFrame(reply);
            socket.writeDatagram(reply, d.senderAddress(), d.senderPort());
        };
        if (quint8(frame.at(2)) == Frame::CmdConfigRead) {
            send(address, 0x81, 27);
            send(address, 0x82, 52);
            return;
        }
        polls[address] << now;
        const Answer answer = answers.value(address, Answer::Silent);
        m_unanswered = answer == Answer::Normal || answer == Answer::WrongAddress ? -1 : now;
        if (answer == Answer::Late)
            QTimer::singleShot(m_timeoutMs + 100, this, [send, address] { send(address, 0x81, 27, address * 8); });
        else if (answer != Answer::Silent)
            send(answer == Answer::WrongAddress ? address + 10 : address, 0x81, 27, address * 8);
    }

    const int m_timeoutMs = EnergizerBus::Timing().networkTimeoutMs;
    qint64 m_unanswered = -1;
};

struct TestBus
{
    EnergizerBus bus;
    QVector<Station*> stations;
    TestBus(const QString& link, const QVector<int>& addresses, const BusTiming& timing = {})
    {
        LinkSpec s;
        QString error;
        LinkSpec::parse(link, &s, &error);
        bus.setLink(s);
        bus.setTiming(timing);
        for (int a : addresses)
            stations << bus.addStation(a);
        bus.open();
    }
};

QString udpLink(quint16 port) { return QStringLiteral("udp:127.0.0.1:%1").arg(port); }

} // namespace

class TestEnergizerBus : public QObject
{
    Q_OBJECT
private slots:
    void repliesGoToTheirStation_data()
    {
        QTest::addColumn<int>("answer"); // of address 2; 1 and 3 answer normally
        QTest::newRow("answered") << int(Answer::Normal);
        QTest::newRow("dropped") << int(Answer::Silent);
        QTest::newRow("another address") << int(Answer::WrongAddress);
        QTest::newRow("past its timeout") << int(Answer::Late);
    }

    void repliesGoToTheirStation()
    {
        QFETCH(int, answer);
        FakeBusPeer peer;
        peer.answers = {{1, Answer::Normal}, {2, Answer(answer)}, {3, Answer::Normal}};
        TestBus t(udpLink(peer.socket.localPort()), {1, 2, 3});
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

    void silentAddressBacksOff_data()
    {
        QTest::addColumn<bool>("backOff");
        QTest::newRow("back-off") << true;
        QTest::newRow("every interval (a log of every poll)") << false;
    }

    void silentAddressBacksOff()
    {
        // Five energizers, 3 silent, on a line with no time to spare for a
        // timeout: the others keep their rate but for one timeout a round, 3 is
        // asked less and less often (or at the same rate with back-off off),
        // and is back as soon as it answers.
        QFETCH(bool, backOff);
        const int intervalMs = 200;
        const int timeoutMs = EnergizerBus::Timing().networkTimeoutMs;
        FakeBusPeer peer;
        peer.answers = {{1, Answer::Normal}, {2, Answer::Normal}, {3, Answer::Silent}, {4, Answer::Normal}, {5, Answer::Normal}};
        TestBus t(udpLink(peer.socket.localPort()), {1, 2, 3, 4, 5});
        Station* silent = t.stations[2];
        t.bus.setBackOff(backOff);
        t.bus.setPollInterval(intervalMs);
        QTRY_VERIFY_WITH_TIMEOUT(silent->availability() == Station::Availability::Offline, 6000);
        const int offlineAt = peer.polls.value(3).size();
        QTRY_VERIFY_WITH_TIMEOUT(peer.polls.value(3).size() >= offlineAt + 4, 20000);

        QList<qint64> gaps3;
        for (int i = 1; i < peer.polls.value(3).size(); ++i)
            gaps3 << peer.polls.value(3)[i] - peer.polls.value(3)[i - 1];
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

    void silentAddressAskedInSpareTime()
    {
        // A line with time to spare asks an off-line energizer every interval
        // however far it backed off: one that answers again is back within two.
        const int intervalMs = 500;
        FakeBusPeer peer;
        peer.answers = {{1, Answer::Normal}, {2, Answer::Silent}};
        TestBus t(udpLink(peer.socket.localPort()), {1, 2});
        Station* silent = t.stations[1];
        t.bus.setPollInterval(intervalMs);
        QTRY_VERIFY_WITH_TIMEOUT(silent->availability() == Station::Availability::Offline, 6000);
        // Four more misses: backed off to 16 intervals.
        const int offlineAt = silent->missedPolls();
        QTRY_VERIFY_WITH_TIMEOUT(silent->missedPolls() >= offlineAt + 4, 16 * intervalMs);
        QSignalSpy back(silent, &Station::availabilityChanged);
        QElapsedTimer clock;
        clock.start();
        peer.answers[2] = Answer::Normal;
        QVERIFY(back.wait(4 * intervalMs));
        QVERIFY2(silent->isOnline() && clock.elapsed() <= 2 * intervalMs, qPrintable(QString::number(clock.elapsed())));
    }

    void pauseAfterConnect()
    {
        // Nothing goes out before the pause after the line came up is over.
        FakeBusPeer peer;
        peer.answers = {{1, Answer::Normal}};
        BusTiming timing;
        timing.pauseAfterConnectMs = 400;
        QElapsedTimer clock;
        clock.start();
        TestBus t(udpLink(peer.socket.localPort()), {1}, timing);
        QSignalSpy replied(t.stations[0], &Station::statusReceived);
        t.bus.setPollInterval(100);
        QVERIFY(replied.wait(2000));
        QVERIFY2(clock.elapsed() >= timing.pauseAfterConnectMs, qPrintable(QString::number(clock.elapsed())));
    }

    void otherResponseKeepsRequest()
    {
        // A status reply while a configuration read is outstanding does not end it.
        FakeBusPeer peer;
        TestBus t(udpLink(peer.socket.localPort()), {1, 2});
        Station* s = t.stations[0];
        QSignalSpy configs(s, &Station::configReceived);
        QSignalSpy statuses(s, &Station::statusReceived);
        QSignalSpy dropped(&t.bus, &EnergizerBus::replyDropped);
        QVERIFY(s->requestConfig());
        QVERIFY(configs.wait(2000));
        QCOMPARE(statuses.count(), 0);
        QCOMPARE(dropped.count(), 1);
    }

    void longRoundNeedsMissedPolls()
    {
        // A round longer than the 3 s: the answering energizer stays on line,
        // the one that falls silent goes off line at its third missed poll.
        FakeBusPeer peer;
        peer.answers = {{1, Answer::Normal}, {2, Answer::Normal}};
        TestBus t(udpLink(peer.socket.localPort()), {1, 2});
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

    void simulatedLine_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("collide"); // a reply held past its timeout overlaps the next request
        QTest::newRow("2 drops half") << QStringList{"--fault", "2:drop=0.5"} << true;
        QTest::newRow("3 late") << QStringList{"--fault", "3:delay=400"} << false;
    }

    void simulatedLine()
    {
        // Three energizers on one simulated serial line at 19200 baud; each band
        // of output voltage belongs to one address.
        QFETCH(QStringList, faults);
        QFETCH(bool, collide);
        QTemporaryDir dir;
        SimProcess sim;
        const QString endpoint = sim.start(QStringList{"--addresses", "1-3", "--on", "--line-rate", "19200", "--pty", dir.filePath("bus")}
                                           + faults + (collide ? QStringList{"--collide"} : QStringList()));
        QVERIFY(!endpoint.isEmpty());
        TestBus t(QStringLiteral("serial:") + endpoint, {1, 2, 3});
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
        if (collide)
            QCOMPARE(sim.command(QStringLiteral("collisions"), QStringLiteral("COLLISIONS")), QStringLiteral("COLLISIONS 0"));
    }
};

QTEST_GUILESS_MAIN(TestEnergizerBus)
#include "tst_energizerbus.moc"
