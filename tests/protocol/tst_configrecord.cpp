// The configuration record, and the frames and checksum that carry it.
#include "protocol/configrecord.h"
#include "protocol/crc8.h"
#include "protocol/frames.h"

#include <QtTest>

#include <cmath>

namespace {

ConfigBlock filled(quint8 value)
{
    ConfigBlock block;
    block.fill(value);
    return block;
}

QByteArray hex(const ConfigBlock& block)
{
    return QByteArray(reinterpret_cast<const char*>(block.data()), ConfigBlockSize).toHex(' ');
}

// onFF, when given, is what the parameter's bytes hold on a 0xFF background.
void row(const char* name, int index, const QVariant& value, int byte, const QVariant& readBack, const char* on00,
         const char* onFF = nullptr)
{
    QTest::newRow(name) << index << value << byte << readBack << QByteArray::fromHex(on00)
                        << QByteArray::fromHex(onFF ? onFF : on00);
}

} // namespace

class TestConfigRecord : public QObject
{
    Q_OBJECT
private slots:
    // Each parameter owns its own bits, no two overlap, and together they cover
    // exactly the addressed bits: bytes 0-5, 9, 39, 51 and the unaddressed bits
    // are never written.
    void bitOwnership()
    {
        const QByteArray expected = QByteArray::fromHex(
            "000000000000 FFFFFF 00 FFFFFFFF FFFFFFFFFFFFFFFFFF 67 FFFFFFFFFFFFFFFFFF 67"
            "0F FF F7 7F FF 00 FFFFFFFFFF 0F FFFF 8F 0F 3F 00");
        ConfigBlock owned = filled(0);
        for (int index = 0; index < ParamCount; ++index) {
            const ParamKind kind = paramInfo(index)->kind;
            // A value that sets every bit of the parameter; missing PIN digits store 0xF.
            const QVariant ones = kind == ParamKind::Pin          ? QVariant(QString())
                                  : kind == ParamKind::Voltage    ? QVariant(255 * 170)
                                  : kind == ParamKind::CapVoltage ? QVariant(994.5)
                                                                  : QVariant(-1);
            ConfigBlock set = filled(0x00);
            setParam(set, index, ones);
            ConfigBlock cleared = filled(0xFF);
            setParam(cleared, index, kind == ParamKind::Pin ? QVariant(QStringLiteral("000000")) : QVariant(0));
            for (int i = 0; i < ConfigBlockSize; ++i) {
                const QByteArray where = QStringLiteral("index %1 byte %2").arg(index).arg(i).toLatin1();
                QVERIFY2(set[i] == quint8(~cleared[i]), where);
                QVERIFY2((owned[i] & set[i]) == 0, "overlap at " + where);
                owned[i] |= set[i];
            }
        }
        QCOMPARE(hex(owned), expected.toHex(' '));
    }

    void conversions_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QVariant>("readBack");
        QTest::addColumn<QByteArray>("on00");
        QTest::addColumn<QByteArray>("onFF");

        // Fields keep the other bits of their byte and take values modulo their width.
        row("3-bit field in the middle", 34, 5, 20, 5, "50", "DF");
        row("9 in 3 bits", 27, 9, 44, 1, "01", "F9");
        row("-1 in 6 bits", 71, -1, 50, 63, "3F", "FF");
        row("double halfway goes up", 17, 2.5, 35, 3, "03");
        row("negative halfway goes up", 17, -2.5, 35, 254, "FE");
        row("decimal string", 17, QStringLiteral("77"), 35, 77, "4D");
        row("fractional string", 17, QStringLiteral("7.5"), 35, 0, "00");
        row("huge double", 17, 1e300, 35, 0, "00");
        row("NaN", 17, std::nan(""), 35, 0, "00");
        row("2^32 + 5", 17, 4294967301.0, 35, 5, "05");
        row("invalid variant", 17, QVariant(), 35, 0, "00");

        // Flags: any non-zero int sets the bit.
        row("flag from 256", 66, 256, 36, 1, "80", "FF");
        row("flag from 0.4", 14, 0.4, 34, 0, "00", "FE");
        row("flag from text", 66, QStringLiteral("yes"), 36, 0, "00", "7F");

        // Voltages: nearest multiple of 170 V, halfway up, low 8 bits; voltageRoundTrip has every step.
        row("85 V halfway", 43, 85, 15, 170.0, "01");
        row("-170 V", 59, -170, 26, 43350.0, "FF");
        row("256 x 170 V", 44, 43520, 16, 0.0, "00");
        row("voltage infinity", 56, HUGE_VAL, 28, 0.0, "00");

        // PINs: digits low byte first, a missing or non-digit position stores 0xF.
        row("installer", 20, QStringLiteral("123456"), 6, QStringLiteral("123456"), "563412");
        row("seventh digit ignored", 20, QStringLiteral("9876543"), 6, QStringLiteral("987654"), "547698");
        row("letter in position 3", 20, QStringLiteral("12a456"), 6, QStringLiteral("1215456"), "56F412");
        row("empty installer", 20, QString(), 6, QStringLiteral("151515151515"), "FFFFFF");
        row("master two digits", 21, QStringLiteral("12"), 10, QStringLiteral("121515"), "FF12");
        row("master from int", 21, 4321, 10, QStringLiteral("4321"), "2143");
    }

    void conversions()
    {
        QFETCH(int, index);
        QFETCH(QVariant, value);
        QFETCH(int, byte);
        QFETCH(QVariant, readBack);
        QFETCH(QByteArray, on00);
        QFETCH(QByteArray, onFF);

        for (quint8 fill : {quint8(0x00), quint8(0xFF)}) {
            ConfigBlock block = filled(fill);
            setParam(block, index, value);
            QByteArray expected(ConfigBlockSize, char(fill));
            expected.replace(byte, on00.size(), fill ? onFF : on00);
            QCOMPARE(hex(block), expected.toHex(' '));

            const QVariant got = getParam(block, index);
            QCOMPARE(got.type(), readBack.type());
            if (readBack.type() == QVariant::Double)
                QVERIFY2(std::abs(got.toDouble() - readBack.toDouble()) < 1e-9, qPrintable(got.toString()));
            else
                QCOMPARE(got, readBack);
        }
    }

    // Every byte of the voltage kinds survives both the dialog's path (the
    // double as read) and the file's path (the value rounded to whole volts).
    void voltageRoundTrip()
    {
        for (int index = 0; index < ParamCount; ++index) {
            const ParamInfo* info = paramInfo(index);
            if (info->kind != ParamKind::Voltage && info->kind != ParamKind::CapVoltage)
                continue;
            const double step = info->kind == ParamKind::Voltage ? 170.0 : 3.9;
            for (int r = 0; r < 256; ++r) {
                const QByteArray where = QStringLiteral("%1 byte %2").arg(info->name).arg(r).toLatin1();
                ConfigBlock block = filled(0x5A);
                block[info->byte] = static_cast<quint8>(r);
                const double volts = getParam(block, index).toDouble();
                QVERIFY2(std::abs(volts - r * step) < 1e-9, where);
                for (const QVariant& value : {QVariant(volts), QVariant(int(std::lround(volts)))}) {
                    ConfigBlock back = filled(0x5A);
                    setParam(back, index, value);
                    QVERIFY2(back == block, where);
                }
            }
        }
    }

    void outOfRange()
    {
        for (int index : {-1, 74, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
            QVERIFY(paramInfo(index) == nullptr);
            QVERIFY(!getParam(defaultConfigBlock(), index).isValid());
            ConfigBlock block = defaultConfigBlock();
            setParam(block, index, 0xFF);
            setParam(block, index, QStringLiteral("000000"));
            QCOMPARE(hex(block), hex(defaultConfigBlock()));
        }
    }

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

QTEST_APPLESS_MAIN(TestConfigRecord)
#include "tst_configrecord.moc"
