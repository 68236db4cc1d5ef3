#include "config/configrecord.h"

#include <QtTest>

#include <cmath>

namespace {

ConfigBlock filled(quint8 value)
{
    ConfigBlock block;
    block.fill(value);
    return block;
}

// A value that sets every bit the parameter owns.
QVariant allOnes(int index)
{
    switch (paramInfo(index)->kind) {
    case ParamKind::Flag:
        return 1;
    case ParamKind::Field:
        return -1;
    case ParamKind::Voltage:
        return 255 * 170;
    case ParamKind::CapVoltage:
        return 994.5;
    case ParamKind::Pin:
        return QString(); // missing digits store 0xF
    }
    return {};
}

QVariant allZeros(int index)
{
    return paramInfo(index)->kind == ParamKind::Pin ? QVariant(QStringLiteral("000000")) : QVariant(0);
}

} // namespace

class TestConfigRecord : public QObject
{
    Q_OBJECT
private slots:
    void defaultValues_data();
    void defaultValues();
    void defaultBytes();
    void bitOwnership();
    void conversions_data();
    void conversions();
    void voltageRoundTrip_data();
    void voltageRoundTrip();
    void pins_data();
    void pins();
    void outOfRange();
};

void TestConfigRecord::defaultValues_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QVariant>("expected");
    const struct { int index; QVariant value; } rows[] = {
        { 0, 0 }, { 1, 0 }, { 2, 0 }, { 3, 0 }, { 4, 1 }, { 5, 1 }, { 6, 1 }, { 7, 0 },
        { 8, 0 }, { 9, 1 }, { 10, 0 }, { 11, 1 }, { 12, 0 }, { 13, 0 }, { 14, 0 },
        { 15, 1 }, { 16, 0 }, { 17, 60 }, { 18, 0 }, { 19, 0 },
        { 20, QStringLiteral("407318") }, { 21, QStringLiteral("1234") }, { 22, QStringLiteral("0000") },
        { 23, 120 }, { 24, 180 }, { 25, 192 }, { 26, 33 }, { 27, 3 }, { 28, 15 }, { 29, 0 },
        { 60, 0 }, { 61, 0 }, { 62, 0 }, { 63, 0 }, { 64, 0 }, { 65, 0 },
        { 66, 0 }, { 67, 0 }, { 68, 0 }, { 69, 0 }, { 70, 0 }, { 71, 1 }, { 72, 0 }, { 73, 0 },
    };
    for (const auto& r : rows)
        QTest::addRow("%d", r.index) << r.index << r.value;
    // Both zones decode alike.
    const QVariant zone[15] = { 1, 0, 475.8, 3, 4, 22, 2, 10, 1, 2, 3910.0, 2890.0, 680.0, 1360.0, 8160.0 };
    for (int z = 0; z < 2; ++z)
        for (int i = 0; i < 15; ++i)
            QTest::addRow("zone%d-%d", z + 1, 30 + 15 * z + i) << 30 + 15 * z + i << zone[i];
}

void TestConfigRecord::defaultValues()
{
    QFETCH(int, index);
    QFETCH(QVariant, expected);
    const QVariant got = getParam(defaultConfigBlock(), index);
    QCOMPARE(got.type(), expected.type());
    if (expected.type() == QVariant::Double)
        QVERIFY2(std::abs(got.toDouble() - expected.toDouble()) < 1e-9, qPrintable(got.toString()));
    else
        QCOMPARE(got, expected);
}

void TestConfigRecord::defaultBytes()
{
    // PINs 407318, 1234 and 0000 packed high nibble first from the top byte.
    const QByteArray expected = QByteArray::fromHex(
        "00 01 82 03 53 08 18 73 40 00 34 12 00 00"
        "7A 08 30 17 11 04 C3 16 52 51 7A 08 30 17 11 04 C3 16 52 51"
        "04 3C 00 00 00 00 C0 21 78 B4 03 00 0F A7 00 00 01");
    const ConfigBlock block = defaultConfigBlock();
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(block.data()), 51).toHex(' '), expected.toHex(' '));
}

// Each parameter owns its own bits, no two overlap, and together they cover
// exactly the addressed bits of the block: bytes 0-5, 9, 39 and 51 and the
// unaddressed bits are never written.
void TestConfigRecord::bitOwnership()
{
    ConfigBlock expectedMask = filled(0);
    for (int i : { 6, 7, 8, 10, 11, 12, 13, 35, 38, 40, 41, 42, 43, 44, 46, 47 })
        expectedMask[i] = 0xFF;
    for (int zone : { 14, 24 }) {
        for (int i = 0; i < 9; ++i)
            expectedMask[zone + i] = 0xFF;
        expectedMask[zone + 9] = 0x67; // bits 3, 4 and 7 unaddressed
    }
    expectedMask[34] = 0x0F;
    expectedMask[36] = 0xF7;
    expectedMask[37] = 0x7F;
    expectedMask[45] = 0x0F;
    expectedMask[48] = 0x8F;
    expectedMask[49] = 0x0F;
    expectedMask[50] = 0x3F;

    ConfigBlock owned = filled(0);
    for (int index = 0; index < ParamCount; ++index) {
        ConfigBlock setBits = filled(0x00);
        setParam(setBits, index, allOnes(index));
        ConfigBlock clearedBits = filled(0xFF);
        setParam(clearedBits, index, allZeros(index));
        for (int i = 0; i < ConfigBlockSize; ++i) {
            const quint8 mask = setBits[i];
            QVERIFY2(mask == quint8(~clearedBits[i]),
                     qPrintable(QStringLiteral("index %1 byte %2").arg(index).arg(i)));
            QVERIFY2((owned[i] & mask) == 0,
                     qPrintable(QStringLiteral("index %1 overlaps at byte %2").arg(index).arg(i)));
            owned[i] |= mask;
        }
    }
    for (int i = 0; i < ConfigBlockSize; ++i)
        QVERIFY2(owned[i] == expectedMask[i], qPrintable(QStringLiteral("byte %1: %2")
                                                              .arg(i).arg(owned[i], 2, 16, QLatin1Char('0'))));
}

void TestConfigRecord::conversions_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("byte");
    QTest::addColumn<quint8>("from00");
    QTest::addColumn<quint8>("fromFF");
    QTest::addColumn<QVariant>("readBack");

    // Fields keep the other bits of their byte and take values modulo their width.
    QTest::newRow("3-bit field in the middle") << 34 << QVariant(5) << 20 << quint8(0x50) << quint8(0xDF) << QVariant(5);
    QTest::newRow("9 in 3 bits") << 27 << QVariant(9) << 44 << quint8(0x01) << quint8(0xF9) << QVariant(1);
    QTest::newRow("300 in 8 bits") << 17 << QVariant(300) << 35 << quint8(44) << quint8(44) << QVariant(44);
    QTest::newRow("-1 in 6 bits") << 71 << QVariant(-1) << 50 << quint8(0x3F) << quint8(0xFF) << QVariant(63);
    QTest::newRow("high nibble") << 29 << QVariant(0xA) << 46 << quint8(0xA0) << quint8(0xAF) << QVariant(10);
    QTest::newRow("zone 2 field") << 52 << QVariant(0x15) << 32 << quint8(0xA8) << quint8(0xAF) << QVariant(0x15);
    QTest::newRow("double halfway goes up") << 17 << QVariant(2.5) << 35 << quint8(3) << quint8(3) << QVariant(3);
    QTest::newRow("negative halfway goes up") << 17 << QVariant(-2.5) << 35 << quint8(0xFE) << quint8(0xFE) << QVariant(254);
    QTest::newRow("double below half") << 17 << QVariant(2.49) << 35 << quint8(2) << quint8(2) << QVariant(2);
    QTest::newRow("decimal string") << 17 << QVariant(QStringLiteral("77")) << 35 << quint8(77) << quint8(77) << QVariant(77);
    QTest::newRow("not a number") << 17 << QVariant(QStringLiteral("7x")) << 35 << quint8(0) << quint8(0) << QVariant(0);
    QTest::newRow("fractional string") << 17 << QVariant(QStringLiteral("7.5")) << 35 << quint8(0) << quint8(0) << QVariant(0);
    QTest::newRow("huge double") << 17 << QVariant(1e300) << 35 << quint8(0) << quint8(0) << QVariant(0);
    QTest::newRow("NaN") << 17 << QVariant(std::nan("")) << 35 << quint8(0) << quint8(0) << QVariant(0);
    QTest::newRow("2^32 + 5") << 17 << QVariant(4294967301.0) << 35 << quint8(5) << quint8(5) << QVariant(5);
    QTest::newRow("invalid variant") << 17 << QVariant() << 35 << quint8(0) << quint8(0) << QVariant(0);

    // Flags: any non-zero int sets the bit.
    QTest::newRow("flag from 2") << 1 << QVariant(2) << 44 << quint8(0x20) << quint8(0xFF) << QVariant(1);
    QTest::newRow("flag from -1") << 14 << QVariant(-1) << 34 << quint8(0x01) << quint8(0xFF) << QVariant(1);
    QTest::newRow("flag from 0.4") << 14 << QVariant(0.4) << 34 << quint8(0x00) << quint8(0xFE) << QVariant(0);
    QTest::newRow("flag from true") << 66 << QVariant(true) << 36 << quint8(0x80) << quint8(0xFF) << QVariant(1);
    QTest::newRow("flag from 256") << 66 << QVariant(256) << 36 << quint8(0x80) << quint8(0xFF) << QVariant(1);
    QTest::newRow("flag from text") << 66 << QVariant(QStringLiteral("yes")) << 36 << quint8(0x00) << quint8(0x7F) << QVariant(0);

    // Voltages: nearest multiple of 170 V, halfway up, low 8 bits.
    QTest::newRow("1400 V") << 40 << QVariant(1400.0) << 17 << quint8(8) << quint8(8) << QVariant(1360.0);
    QTest::newRow("85 V halfway") << 43 << QVariant(85) << 15 << quint8(1) << quint8(1) << QVariant(170.0);
    QTest::newRow("84.9 V") << 43 << QVariant(84.9) << 15 << quint8(0) << quint8(0) << QVariant(0.0);
    QTest::newRow("-170 V") << 59 << QVariant(-170) << 26 << quint8(0xFF) << quint8(0xFF) << QVariant(43350.0);
    QTest::newRow("256 x 170 V") << 44 << QVariant(43520) << 16 << quint8(0) << quint8(0) << QVariant(0.0);
    QTest::newRow("voltage text") << 56 << QVariant(QStringLiteral("2890")) << 28 << quint8(17) << quint8(17) << QVariant(2890.0);
    QTest::newRow("voltage junk") << 56 << QVariant(QStringLiteral("abc")) << 28 << quint8(0) << quint8(0) << QVariant(0.0);
    QTest::newRow("voltage infinity") << 56 << QVariant(HUGE_VAL) << 28 << quint8(0) << quint8(0) << QVariant(0.0);

    // Capacitor: nearest multiple of 3.9 V.
    QTest::newRow("476 V cap") << 32 << QVariant(476) << 14 << quint8(122) << quint8(122) << QVariant(122 * 3.9);
    QTest::newRow("zone 2 cap") << 47 << QVariant(1.96) << 24 << quint8(1) << quint8(1) << QVariant(3.9);
}

void TestConfigRecord::conversions()
{
    QFETCH(int, index);
    QFETCH(QVariant, value);
    QFETCH(int, byte);
    QFETCH(quint8, from00);
    QFETCH(quint8, fromFF);
    QFETCH(QVariant, readBack);

    for (quint8 background : { quint8(0x00), quint8(0xFF) }) {
        ConfigBlock block = filled(background);
        setParam(block, index, value);
        for (int i = 0; i < ConfigBlockSize; ++i) {
            if (i == byte)
                QCOMPARE(block[i], background ? fromFF : from00);
            else
                QCOMPARE(block[i], background);
        }
        const QVariant got = getParam(block, index);
        QCOMPARE(got.type(), readBack.type());
        if (readBack.type() == QVariant::Double)
            QVERIFY(std::abs(got.toDouble() - readBack.toDouble()) < 1e-9);
        else
            QCOMPARE(got, readBack);
    }
}

void TestConfigRecord::voltageRoundTrip_data()
{
    QTest::addColumn<int>("index");
    for (int index = 0; index < ParamCount; ++index) {
        const ParamKind kind = paramInfo(index)->kind;
        if (kind == ParamKind::Voltage || kind == ParamKind::CapVoltage)
            QTest::addRow("%s-%d", paramInfo(index)->name, index) << index;
    }
}

// Every byte survives both the dialog's path (the double as read) and the
// file's path (the value rounded to whole volts).
void TestConfigRecord::voltageRoundTrip()
{
    QFETCH(int, index);
    const int at = paramInfo(index)->byte;
    const double step = paramInfo(index)->kind == ParamKind::Voltage ? 170.0 : 3.9;
    for (int r = 0; r < 256; ++r) {
        ConfigBlock block = filled(0x5A);
        block[at] = static_cast<quint8>(r);
        const double volts = getParam(block, index).toDouble();
        QVERIFY(std::abs(volts - r * step) < 1e-9);

        ConfigBlock viaDouble = filled(0x5A);
        setParam(viaDouble, index, volts);
        QCOMPARE(viaDouble, block);

        ConfigBlock viaWhole = filled(0x5A);
        setParam(viaWhole, index, static_cast<int>(std::lround(volts)));
        QCOMPARE(viaWhole, block);
    }
}

void TestConfigRecord::pins_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("bytes"); // lowest-numbered byte first
    QTest::addColumn<QString>("readBack");

    QTest::newRow("installer") << 20 << QVariant(QStringLiteral("123456")) << QByteArray("\x56\x34\x12", 3) << "123456";
    QTest::newRow("seventh digit ignored") << 20 << QVariant(QStringLiteral("9876543")) << QByteArray("\x54\x76\x98", 3) << "987654";
    QTest::newRow("letter in position 3") << 20 << QVariant(QStringLiteral("12a456")) << QByteArray("\x56\xF4\x12", 3) << "1215456";
    QTest::newRow("empty installer") << 20 << QVariant(QString()) << QByteArray("\xFF\xFF\xFF", 3) << "151515151515";
    QTest::newRow("master two digits") << 21 << QVariant(QStringLiteral("12")) << QByteArray("\xFF\x12", 2) << "121515";
    QTest::newRow("master from int") << 21 << QVariant(4321) << QByteArray("\x21\x43", 2) << "4321";
    QTest::newRow("reset with space") << 22 << QVariant(QStringLiteral("0 09")) << QByteArray("\x09\x0F", 2) << "01509";
    QTest::newRow("reset non-Latin digits") << 22 << QVariant(QStringLiteral("\u0661\u0662\u0663\u0664")) << QByteArray("\x34\x12", 2) << "1234";
    QTest::newRow("reset minus sign") << 22 << QVariant(QStringLiteral("-1-1")) << QByteArray("\xF1\xF1", 2) << "151151";
}

void TestConfigRecord::pins()
{
    QFETCH(int, index);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, readBack);

    const int first = index == 20 ? 6 : index == 21 ? 10 : 12;
    ConfigBlock block = defaultConfigBlock();
    ConfigBlock expected = block;
    for (int i = 0; i < bytes.size(); ++i)
        expected[first + i] = static_cast<quint8>(bytes[i]);
    setParam(block, index, value);
    QCOMPARE(block, expected);
    QCOMPARE(getParam(block, index).type(), QVariant::String);
    QCOMPARE(getParam(block, index).toString(), readBack);
}

void TestConfigRecord::outOfRange()
{
    for (int index : { -1, 74, 1000, std::numeric_limits<int>::min(), std::numeric_limits<int>::max() }) {
        QVERIFY(paramInfo(index) == nullptr);
        QVERIFY(!getParam(defaultConfigBlock(), index).isValid());
        ConfigBlock block = defaultConfigBlock();
        setParam(block, index, 0xFF);
        setParam(block, index, QStringLiteral("000000"));
        QCOMPARE(block, defaultConfigBlock());
    }
}

QTEST_APPLESS_MAIN(TestConfigRecord)
#include "tst_configrecord.moc"
