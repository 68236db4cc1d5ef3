#include "config/configrecord.h"
#include "link/crc8.h"
#include "link/frames.h"

#include <QtTest>

class TestFrames : public QObject
{
    Q_OBJECT
private slots:
    void checksum_data();
    void checksum();
    void requestFrames_data();
    void requestFrames();
    void configWriteFrame();
    void checksumCheck();
};

void TestFrames::checksum_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("expected");
    QTest::newRow("check value") << QByteArray("123456789") << 0x0B;
    QTest::newRow("one zero byte") << QByteArray(1, '\0') << 0x35;
    QTest::newRow("one 0xFF byte") << QByteArray(1, char(0xFF)) << 0x00;
    QTest::newRow("status request head") << QByteArray("\x01\x01\x01") << 0xE3;
}

void TestFrames::checksum()
{
    QFETCH(QByteArray, data);
    QFETCH(int, expected);
    QCOMPARE(crc8(reinterpret_cast<const unsigned char*>(data.constData()), data.size()), expected);
}

void TestFrames::requestFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("status 1") << statusRequestFrame(1) << QByteArray::fromHex("010101E3");
    QTest::newRow("status 0") << statusRequestFrame(0) << QByteArray::fromHex("00010148");
    QTest::newRow("status 63") << statusRequestFrame(63) << QByteArray::fromHex("3F0101C9");
    QTest::newRow("status 257 cut to 1") << statusRequestFrame(257) << QByteArray::fromHex("010101E3");
    QTest::newRow("config read 1") << configReadRequestFrame(1) << QByteArray::fromHex("01010201");
    QTest::newRow("config read 2") << configReadRequestFrame(2) << QByteArray::fromHex("020102E5");
    QTest::newRow("zones both on, high") << zoneCommandFrame(1, true, true, true, true)
                                         << QByteArray::fromHex("0101050303009C");
    QTest::newRow("zone 1 on, both low") << zoneCommandFrame(1, false, false, true, false)
                                         << QByteArray::fromHex("010105000100E9");
    QTest::newRow("zone 2 high, both off") << zoneCommandFrame(42, false, true, false, false)
                                           << QByteArray::fromHex("2A01050200002C");
}

void TestFrames::requestFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

// Bytes 0..2 and 51 of the block are the received frame's own; the write
// frame replaces them with its header and a fresh checksum.
void TestFrames::configWriteFrame()
{
    ConfigBlock block = defaultConfigBlock();
    block[0] = 0x77;
    block[1] = 0x66;
    block[2] = 0x82;
    block[51] = 0x99;
    const QByteArray frame = ::configWriteFrame(5, block);
    QCOMPARE(frame.size(), 52);
    QCOMPARE(frame.left(3), QByteArray::fromHex("050104"));
    for (int i = 3; i <= 50; ++i)
        QCOMPARE(quint8(frame[i]), block[i]);
    QCOMPARE(quint8(frame[51]), quint8(0x43));
    QVERIFY(frameChecksumOk(frame));
}

void TestFrames::checksumCheck()
{
    QCOMPARE(crc8(reinterpret_cast<const unsigned char*>("x"), 0), -1);
    QCOMPARE(crc8(reinterpret_cast<const unsigned char*>("x"), -5), -1);

    QByteArray frame = QByteArray::fromHex("0101810000");
    sealFrame(frame);
    QVERIFY(frameChecksumOk(frame));
    frame[3] = 1;
    QVERIFY(!frameChecksumOk(frame));
    QVERIFY(!frameChecksumOk(QByteArray()));
    QVERIFY(!frameChecksumOk(QByteArray(1, char(0xFF))));

    QCOMPARE(replyLength(0x81), 27);
    QCOMPARE(replyLength(0x82), 52);
    QCOMPARE(replyLength(0x01), 0);
}

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
