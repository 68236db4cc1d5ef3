#include "protocol/frames.h"
#include "protocol/replyassembler.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// Replies built by hand: address, 0x01, response code, then a byte pattern
// that never repeats the code at offset 2 of a tail, then the CRC-8.
QByteArray reply(quint8 code, int length, quint8 salt, bool sealed = true)
{
    QByteArray bytes(length, '\0');
    bytes[0] = 0x01;
    bytes[1] = 0x01;
    bytes[2] = static_cast<char>(code);
    for (int i = 3; i < length; ++i)
        bytes[i] = static_cast<char>((i * 5 + salt) & 0x3F);
    if (sealed)
        sealFrame(bytes);
    return bytes;
}

QByteArray status(quint8 salt = 0) { return reply(0x81, 27, salt); }
QByteArray config(quint8 salt = 0) { return reply(0x82, 52, salt); }

struct Burst
{
    qint64 atMs;
    QByteArray bytes;
};
using Bursts = QList<Burst>;
using Replies = QList<QByteArray>;
using Codes = QList<quint8>;

struct Recorder
{
    explicit Recorder(ReplyAssembler& assembler)
    {
        QObject::connect(&assembler, &ReplyAssembler::replyReady, [this](const QByteArray& r) { replies << r; });
        QObject::connect(&assembler, &ReplyAssembler::unknownResponse, [this](quint8 c) { unknown << c; });
    }
    Replies replies;
    Codes unknown;
};

} // namespace

Q_DECLARE_METATYPE(Bursts)

class TestReplyAssembler : public QObject
{
    Q_OBJECT
private slots:
    void bursts_data()
    {
        QTest::addColumn<Bursts>("input");
        QTest::addColumn<Replies>("expected");
        QTest::addColumn<Codes>("unknown");
        QTest::addColumn<int>("leftOver");

        const QByteArray s = status(1);
        const QByteArray c = config(2);
        const QByteArray noise = QByteArray::fromHex("5a17c3ee01");

        QTest::newRow("two in one burst") << Bursts{{0, s + c}} << Replies{s, c} << Codes{} << 0;
        QTest::newRow("three split across bursts") << Bursts{{0, s.left(5)}, {5, s.mid(5) + s.left(2)}, {9, s.mid(2) + c}} << Replies{s, s, c} << Codes{} << 0;
        QTest::newRow("trailing bytes wait and go stale") << Bursts{{0, s + QByteArray("\x0d\x0a", 2)}, {1000, c}} << Replies{s, c} << Codes{} << 0;
        // Within the stale time they are read as the next reply's start, until
        // the reply's checksum shows where it really starts.
        QTest::newRow("trailing bytes then a quick reply") << Bursts{{0, s + QByteArray("\x0d\x0a", 2)}, {5, c}} << Replies{s, c} << Codes{0x01} << 0;
        QTest::newRow("noise burst before a reply") << Bursts{{0, noise}, {2, s}} << Replies{s} << Codes{0xc3} << 0;
        QTest::newRow("noise before a reply in its burst") << Bursts{{0, noise + s}, {1000, c}} << Replies{s, c} << Codes{0xc3} << 0;
        QTest::newRow("noise that reads as a reply start") << Bursts{{0, QByteArray("\x07\x07\x82", 3) + s}} << Replies{s} << Codes{} << 0;
        QTest::newRow("noise burst that reads as a reply start") << Bursts{{0, QByteArray("\x07\x07\x81", 3)}, {3, s}} << Replies{s} << Codes{} << 0;
        // The checksum is not asked of a reply that starts a read.
        const QByteArray unsealed = reply(0x81, 27, 3, false);
        QTest::newRow("unsealed reply at a read start") << Bursts{{0, noise}, {3, unsealed}} << Replies{unsealed} << Codes{0xc3} << 0;
        QTest::newRow("unknown code") << Bursts{{0, reply(0x83, 27, 0)}, {3, s}} << Replies{s} << Codes{0x83} << 0;
        QTest::newRow("stale partial dropped first") << Bursts{{0, s.left(10)}, {150, c}} << Replies{c} << Codes{} << 0;
        QTest::newRow("100 ms is not yet stale") << Bursts{{0, s.left(10)}, {100, s.mid(10)}} << Replies{s} << Codes{} << 0;
        QTest::newRow("101 ms is stale") << Bursts{{0, c.left(10)}, {101, c.mid(10)}} << Replies{} << Codes{quint8(c.at(12))} << -1;
        Bursts slow;
        for (int i = 0; i < 13; ++i)
            slow << Burst{i * 60, c.mid(i * 4, 4)};
        QTest::newRow("slow trickle, gaps under the stale time") << slow << Replies{c} << Codes{} << 0;
        QTest::newRow("partial left at the end") << Bursts{{0, s + c.left(30)}} << Replies{s} << Codes{} << 30;
    }

    void bursts()
    {
        QFETCH(Bursts, input);
        QFETCH(Replies, expected);
        QFETCH(Codes, unknown);
        QFETCH(int, leftOver);
        ReplyAssembler assembler;
        Recorder out(assembler);
        for (const Burst& burst : input)
            assembler.feed(burst.bytes, burst.atMs);
        QCOMPARE(out.replies, expected);
        QCOMPARE(out.unknown, unknown);
        if (leftOver >= 0)
            QCOMPARE(assembler.pending(), leftOver);
        QVERIFY(assembler.pending() < 52);
    }

    void noiseBeforeEveryReply_data()
    {
        QTest::addColumn<int>("maxNoise");
        QTest::addColumn<int>("maxPiece"); // 0: each burst at once
        QTest::newRow("noise and reply in one read (TCP)") << 8 << 0;
        QTest::newRow("noise, stream in random pieces (serial)") << 8 << 4;
        QTest::newRow("no noise, replies merged and split anywhere") << 0 << 200;
    }

    void noiseBeforeEveryReply()
    {
        // Up to 8 bytes of any value before each reply, a second between replies:
        // every one comes out once, and nothing piles up.
        QFETCH(int, maxNoise);
        QFETCH(int, maxPiece);
        QRandomGenerator rng(11);
        ReplyAssembler assembler;
        Recorder out(assembler);
        Replies sent;
        QByteArray stream;
        for (int i = 0; i < 1000; ++i) {
            QByteArray noise(maxNoise ? 1 + int(rng.bounded(maxNoise)) : 0, '\0');
            for (char& b : noise)
                b = static_cast<char>(rng.bounded(256));
            sent << (i % 3 ? status(quint8(i)) : config(quint8(i)));
            stream += noise + sent.last();
            if (maxNoise == 0)
                continue;
            for (int pos = 0, n = 0; pos < stream.size(); pos += n) {
                n = maxPiece ? 1 + int(rng.bounded(maxPiece)) : stream.size();
                assembler.feed(stream.mid(pos, n), i * 1000 + pos);
            }
            stream.clear();
            QVERIFY(assembler.pending() < 52);
        }
        // The merged stream comes within the stale time, piece after piece.
        for (int pos = 0, n = 0, now = 0; pos < stream.size(); pos += n, now += rng.bounded(3)) {
            n = 1 + int(rng.bounded(maxPiece));
            assembler.feed(stream.mid(pos, n), now);
            QVERIFY(assembler.pending() < 52);
        }
        QCOMPARE(out.replies, sent);
    }

    void clearWhileHandingOn()
    {
        // A receiver that reopens the link drops the rest of the old stream.
        ReplyAssembler assembler;
        Replies replies;
        connect(&assembler, &ReplyAssembler::replyReady, [&](const QByteArray& r) {
            replies << r;
            assembler.clear();
        });
        assembler.feed(status() + config() + status().left(4), 0);
        QCOMPARE(replies, Replies{status()});
        QCOMPARE(assembler.pending(), 0);
        assembler.feed(config(), 1);
        QCOMPARE(replies.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestReplyAssembler)
#include "tst_replyassembler.moc"
