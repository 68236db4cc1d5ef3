#include "protocol/configrecord.h"
#include "protocol/crc8.h"
#include "protocol/frames.h"

#include <QtTest>

class TestFrames : public QObject
{
    Q_OBJECT
private slots:
    void requestFrames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("status 1") << statusRequestFrame(1) << QByteArray::fromHex("010101E3");
        QTest::newRow("status 0") << statusRequestFrame(0) << QByteArray::fromHex("00010148");
        QTest::newRow("status 257 cut to 1") << statusRequestFrame(257) << QByteArray::fromHex("010101E3");
        QTest::newRow("config read 1") << configReadRequestFrame(1) << QByteArray::fromHex("01010201");
        QTest::newRow("zones both on, high")
            << zoneCommandFrame(1, true, true, true, true) << QByteArray::fromHex("0101050303009C");
        QTest::newRow("zone 1 on, both low")
            << zoneCommandFrame(1, false, false, true, false) << QByteArray::fromHex("010105000100E9");
        QTest::newRow("zone 2 high, both off")
            << zoneCommandFrame(42, false, true, false, false) << QByteArray::fromHex("2A01050200002C");
    }

    void requestFrames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, expected);
        QCOMPARE(frame.toHex(' '), expected.toHex(' '));
    }

    void checksum()
    {
        const auto crc = [](const char* s, int n) { return crc8(reinterpret_cast<const unsigned char*>(s), n); };
        QCOMPARE(crc("123456789", 9), 0x0B);
        QCOMPARE(crc("x", 0), -1);
        QCOMPARE(crc("x", -5), -1);

        QByteArray frame = QByteArray::fromHex("0101810000");
        sealFrame(frame);
        QVERIFY(frameChecksumOk(frame));
        frame[3] = 1;
        QVERIFY(!frameChecksumOk(frame));
        QVERIFY(!frameChecksumOk(QByteArray()));
        // The -1 of an empty count must not pass for a checksum of 0xFF.
        QVERIFY(!frameChecksumOk(QByteArray(1, char(0xFF))));
    }

    // Bytes 0..2 and 51 of the block are the received frame's own; the write
    // frame replaces them with its header and a fresh checksum.
    void configWriteFrame()
    {
        ConfigBlock block = defaultConfigBlock();
        block[0] = 0x77;
        block[2] = 0x82;
        block[51] = 0x99;
        const QByteArray frame = ::configWriteFrame(5, block);
        QCOMPARE(frame.size(), 52);
        QCOMPARE(frame.left(3), QByteArray::fromHex("050104"));
        QCOMPARE(frame.mid(3, 48), QByteArray(reinterpret_cast<const char*>(block.data()) + 3, 48));
        QCOMPARE(quint8(frame[51]), quint8(0x43));
    }
};

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
