#include "device/energizer.h"
#include "device/statusrecord.h"

#include <QSignalSpy>
#include <QTranslator>
#include <QtTest>

namespace {

QVariantMap snapshot(const Energizer& e)
{
    return {
        { "address", e.address },
        { "fenceOn1", e.fenceOn1 }, { "fenceHv1", e.fenceHv1 }, { "fenceLevel1", e.fenceLevel1 },
        { "outputVoltage1", e.outputVoltage1 }, { "returnVoltage1", e.returnVoltage1 },
        { "capVoltage1", e.capVoltage1 }, { "voutOk1", e.voutOk1 }, { "scrOk1", e.scrOk1 },
        { "flybackOk1", e.flybackOk1 }, { "interferenceOk1", e.interferenceOk1 },
        { "fenceCondition1", e.fenceCondition1 },
        { "fenceOn2", e.fenceOn2 }, { "fenceHv2", e.fenceHv2 }, { "fenceLevel2", e.fenceLevel2 },
        { "outputVoltage2", e.outputVoltage2 }, { "returnVoltage2", e.returnVoltage2 },
        { "capVoltage2", e.capVoltage2 }, { "voutOk2", e.voutOk2 }, { "scrOk2", e.scrOk2 },
        { "flybackOk2", e.flybackOk2 }, { "interferenceOk2", e.interferenceOk2 },
        { "fenceCondition2", e.fenceCondition2 },
        { "strobe1Ok", e.strobe1Ok }, { "strobe2Ok", e.strobe2Ok }, { "sirenOk", e.sirenOk },
        { "gateInputOk", e.gateInputOk }, { "on1Input", e.on1Input }, { "on2Input", e.on2Input },
        { "panicInputOk", e.panicInputOk }, { "hv1Input", e.hv1Input }, { "hv2Input", e.hv2Input },
        { "magneticSwitchOk", e.magneticSwitchOk }, { "tamperOk", e.tamperOk },
        { "syncMaster", e.syncMaster }, { "syncOk", e.syncOk }, { "serviceOk", e.serviceOk },
        { "auxFuseOk", e.auxFuseOk }, { "gateAlarmOk", e.gateAlarmOk },
        { "panicAlarmOk", e.panicAlarmOk }, { "mainsOk", e.mainsOk },
        { "batteryFuseOk", e.batteryFuseOk }, { "batteryFlatOk", e.batteryFlatOk },
        { "batteryVoltage", e.batteryVoltage }, { "supplyVoltage", e.supplyVoltage },
        { "online", e.online },
    };
}

QByteArray reply(std::initializer_list<std::pair<int, quint8>> bytes = {})
{
    QByteArray r(27, '\0');
    r[2] = char(0x81);
    for (const auto& b : bytes)
        r[b.first] = char(b.second);
    return r;
}

// What an all-zero status block decodes to: nothing active, no fault,
// both zones off in high-voltage mode.
QVariantMap quietState()
{
    Energizer e;
    QVariantMap m = snapshot(e);
    for (auto it = m.begin(); it != m.end(); ++it) {
        if (it.key().contains(QLatin1String("Ok")))
            it.value() = true;
    }
    m["fenceHv1"] = true;
    m["fenceHv2"] = true;
    m["fenceCondition1"] = QString();
    m["fenceCondition2"] = QString();
    m["online"] = true;
    return m;
}

// Changes from the quiet state when one bit of the reply is set.
QVariantMap changesForBit(int byte, int bit)
{
    const double weight = 1 << bit;
    const char* zone1Flags[4] = { "voutOk1", "scrOk1", "flybackOk1", "interferenceOk1" };
    const char* zone2Flags[4] = { "voutOk2", "scrOk2", "flybackOk2", "interferenceOk2" };
    const char* conditions[2] = { "Good", "Check" };
    switch (byte) {
    case 4: {
        const char* f[4] = { "mainsOk", "magneticSwitchOk", "tamperOk", "syncMaster" };
        return bit < 4 ? QVariantMap{ { f[bit], bit == 3 } } : QVariantMap{};
    }
    case 5: {
        const char* f[4] = { "gateAlarmOk", "sirenOk", "strobe1Ok", "strobe2Ok" };
        return bit < 4 ? QVariantMap{ { f[bit], false } } : QVariantMap{};
    }
    case 6:
        switch (bit) {
        case 0: return { { "hv1Input", true } };
        case 1: return { { "hv2Input", true } };
        case 2: return { { "panicInputOk", false }, { "panicAlarmOk", false } };
        case 3: return { { "on1Input", true } };
        case 4: return { { "on2Input", true } };
        case 5: return { { "gateInputOk", false } };
        }
        return {};
    case 8:
        switch (bit) {
        case 0: return { { "auxFuseOk", false } };
        case 1: return { { "batteryFuseOk", false }, { "batteryFlatOk", false } };
        case 4: return { { "syncOk", false } };
        case 7: return { { "serviceOk", false } };
        }
        return {};
    case 9: return { { "batteryVoltage", 0.125 * weight } };
    case 10: return { { "supplyVoltage", 0.125 * weight } };
    case 12:
    case 19: {
        const QString n = QString::number(byte == 12 ? 1 : 2);
        if (bit < 4)
            return { { "fenceLevel" + n, 1 << bit } };
        if (bit < 6)
            return { { "fenceCondition" + n, QString::fromLatin1(conditions[bit - 4]) } };
        return {};
    }
    case 13:
    case 20: {
        const QString n = QString::number(byte == 13 ? 1 : 2);
        if (bit == 0)
            return { { "fenceHv" + n, false } };
        if (bit == 7)
            return { { "fenceOn" + n, true } };
        return {};
    }
    case 14: return bit < 4 ? QVariantMap{ { zone1Flags[bit], false } } : QVariantMap{};
    case 21: return bit < 4 ? QVariantMap{ { zone2Flags[bit], false } } : QVariantMap{};
    case 15: return { { "capVoltage1", 6.25 * weight } };
    case 22: return { { "capVoltage2", 6.25 * weight } };
    case 16: return { { "outputVoltage1", 125 * weight } };
    case 23: return { { "outputVoltage2", 125 * weight } };
    case 17: return { { "returnVoltage1", 125 * weight } };
    case 24: return { { "returnVoltage2", 125 * weight } };
    }
    return {};
}

void compareStates(const QVariantMap& got, const QVariantMap& expected)
{
    QCOMPARE(got.keys(), expected.keys());
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const QVariant g = got.value(it.key());
        if (it.value().type() == QVariant::Double)
            QVERIFY2(g.toDouble() == it.value().toDouble(),
                     qPrintable(it.key() + ": " + g.toString() + " != " + it.value().toString()));
        else
            QVERIFY2(g.toString() == it.value().toString(),
                     qPrintable(it.key() + ": " + g.toString() + " != " + it.value().toString()));
    }
}

class GermanConditions : public QTranslator
{
public:
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        if (qstrcmp(context, "Energizer") != 0)
            return {};
        if (qstrcmp(source, "Good") == 0)
            return QStringLiteral("Gut");
        if (qstrcmp(source, "Check") == 0)
            return QStringLiteral("Prüfen");
        if (qstrcmp(source, "Bad") == 0)
            return QStringLiteral("Schlecht");
        return {};
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class TestStatusRecord : public QObject
{
    Q_OBJECT
private slots:
    void singleBits_data();
    void singleBits();
    void wholeBytes_data();
    void wholeBytes();
    void longReply();
    void shortRepliesRefused_data();
    void shortRepliesRefused();
    void fieldNumbers();
    void conditionTranslated();
    void resetClearsEverything();
};

void TestStatusRecord::singleBits_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("bit");
    QTest::addColumn<QVariantMap>("changes");
    for (int byte = 0; byte < 27; ++byte)
        for (int bit = 0; bit < 8; ++bit)
            QTest::addRow("byte %d bit %d", byte, bit) << byte << bit << changesForBit(byte, bit);
}

// Every bit of the reply lands in exactly the fields it should and nowhere
// else; the frame header and the trailing bytes feed nothing.
void TestStatusRecord::singleBits()
{
    QFETCH(int, byte);
    QFETCH(int, bit);
    QFETCH(QVariantMap, changes);

    Energizer e;
    QSignalSpy spy(&e, &Energizer::paramChanged);
    QVERIFY(decodeStatus(e, reply({ { byte, quint8(1u << bit) } })));
    QCOMPARE(spy.count(), 1);
    QVariantMap expected = quietState();
    for (auto it = changes.begin(); it != changes.end(); ++it)
        expected[it.key()] = it.value();
    compareStates(snapshot(e), expected);
}

void TestStatusRecord::wholeBytes_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("value");
    QTest::addColumn<QVariantMap>("changes");

    QTest::newRow("level 10 counts as 0") << 12 << 0x1A << QVariantMap{ { "fenceCondition1", "Good" } };
    QTest::newRow("level 15 counts as 0") << 19 << 0xFF << QVariantMap{ { "fenceCondition2", "Bad" } };
    QTest::newRow("level 9, bad") << 12 << 0x39 << QVariantMap{ { "fenceLevel1", 9 }, { "fenceCondition1", "Bad" } };
    QTest::newRow("condition none") << 12 << 0x05 << QVariantMap{ { "fenceLevel1", 5 } };
    QTest::newRow("zone 2 level 9, check") << 19 << 0xE9 << QVariantMap{ { "fenceLevel2", 9 }, { "fenceCondition2", "Check" } };
    QTest::newRow("on, low voltage") << 13 << 0x81 << QVariantMap{ { "fenceOn1", true }, { "fenceHv1", false } };
    QTest::newRow("on, mode 0") << 13 << 0x80 << QVariantMap{ { "fenceOn1", true } };
    QTest::newRow("on, mode 3") << 13 << 0x83 << QVariantMap{ { "fenceOn1", true } };
    QTest::newRow("zone 2 mode 1, other bits set") << 20 << 0x7D << QVariantMap{ { "fenceHv2", false } };
    QTest::newRow("every input active")
        << 6 << 0xFF
        << QVariantMap{ { "hv1Input", true }, { "hv2Input", true }, { "on1Input", true }, { "on2Input", true },
                        { "panicInputOk", false }, { "panicAlarmOk", false }, { "gateInputOk", false } };
}

void TestStatusRecord::wholeBytes()
{
    QFETCH(int, byte);
    QFETCH(int, value);
    QFETCH(QVariantMap, changes);

    Energizer e;
    QVERIFY(decodeStatus(e, reply({ { byte, quint8(value) } })));
    QVariantMap expected = quietState();
    for (auto it = changes.begin(); it != changes.end(); ++it)
        expected[it.key()] = it.value();
    compareStates(snapshot(e), expected);
}

// Bytes past the 27th are not part of the status.
void TestStatusRecord::longReply()
{
    QByteArray longer = reply({ { 16, 0x02 } });
    longer.append(25, char(0xFF));
    Energizer e;
    QVERIFY(decodeStatus(e, longer));
    QVariantMap expected = quietState();
    expected["outputVoltage1"] = 250.0;
    compareStates(snapshot(e), expected);
}

void TestStatusRecord::shortRepliesRefused_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("3 bytes") << 3;
    QTest::newRow("26 bytes") << 26;
}

void TestStatusRecord::shortRepliesRefused()
{
    QFETCH(int, size);
    QByteArray shortReply(size, char(0xFF));
    if (size > 2)
        shortReply[2] = char(0x81);

    Energizer e;
    e.address = 7;
    const QVariantMap before = snapshot(e);
    QSignalSpy spy(&e, &Energizer::paramChanged);
    QVERIFY(!decodeStatus(e, shortReply));
    QCOMPARE(spy.count(), 0);
    compareStates(snapshot(e), before);
    for (int field = 0; field <= 53; ++field)
        QVERIFY(!statusField(shortReply, field).isValid());
}

void TestStatusRecord::fieldNumbers()
{
    const QByteArray r = reply({ { 9, 0x6D }, { 12, 0x2A }, { 15, 0x03 }, { 16, 0x02 } });
    QVERIFY(!statusField(r, 0).isValid());
    QVERIFY(!statusField(r, 53).isValid());
    QVERIFY(!statusField(r, -1).isValid());
    for (int field = 1; field <= 52; ++field)
        QVERIFY(statusField(r, field).isValid());

    QCOMPARE(int(statusField(r, 6).type()), int(QMetaType::Float));
    QCOMPARE(statusField(r, 6).toFloat(), 13.625f);
    QCOMPARE(int(statusField(r, 37).type()), int(QMetaType::Double));
    QCOMPARE(statusField(r, 37).toDouble(), 18.75);
    QCOMPARE(int(statusField(r, 30).type()), int(QMetaType::Int));
    QCOMPARE(statusField(r, 30).toInt(), 250);
    QCOMPARE(int(statusField(r, 26).type()), int(QMetaType::QString));
    QCOMPARE(statusField(r, 26).toString(), QStringLiteral("Check"));
    // A level above 9 reads as an empty string, not as a number.
    QCOMPARE(int(statusField(r, 32).type()), int(QMetaType::QString));
    QVERIFY(statusField(r, 32).toString().isEmpty());
}

void TestStatusRecord::conditionTranslated()
{
    GermanConditions german;
    QCoreApplication::installTranslator(&german);
    Energizer e;
    decodeStatus(e, reply({ { 12, 0x10 }, { 19, 0x30 } }));
    QCOMPARE(e.fenceCondition1, QStringLiteral("Gut"));
    QCOMPARE(e.fenceCondition2, QStringLiteral("Schlecht"));
    decodeStatus(e, reply({ { 12, 0x20 }, { 19, 0x00 } }));
    QCOMPARE(e.fenceCondition1, QStringLiteral("Prüfen"));
    QCOMPARE(e.fenceCondition2, QString());
    QCoreApplication::removeTranslator(&german);
}

// reset must bring back every field a status reply can write.
void TestStatusRecord::resetClearsEverything()
{
    Energizer fresh;
    Energizer e;
    e.address = 9;
    QVERIFY(decodeStatus(e, QByteArray(27, char(0xFF))));
    QSignalSpy spy(&e, &Energizer::paramChanged);
    e.reset();
    QCOMPARE(spy.count(), 1);
    compareStates(snapshot(e), snapshot(fresh));
    QCOMPARE(e.fenceCondition1, QStringLiteral("Bad"));
}

QTEST_GUILESS_MAIN(TestStatusRecord)
#include "tst_statusrecord.moc"
