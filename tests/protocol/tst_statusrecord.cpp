#include "protocol/energizer.h"
#include "protocol/energizerfields.h"
#include "protocol/statusrecord.h"

#include <QSignalSpy>
#include <QTranslator>
#include <QtTest>

namespace {

// Every field of the object by name.
QVariantMap snapshot(const Energizer& e)
{
    return energizerToJson(e).toVariantMap();
}

// What one set bit of an all-zero reply changes (several fields blank-separated).
const struct { int byte, bit; const char* fields; QVariant value; } bitRows[] = {
    {4, 0, "mainsOk", false}, {4, 1, "magneticSwitchOk", false}, {4, 2, "tamperOk", false}, {4, 3, "syncMaster", true},
    {5, 0, "gateAlarmOk", false}, {5, 1, "sirenOk", false}, {5, 2, "strobe1Ok", false}, {5, 3, "strobe2Ok", false},
    {6, 0, "hv1Input", true}, {6, 1, "hv2Input", true}, {6, 2, "panicInputOk panicAlarmOk", false},
    {6, 3, "on1Input", true}, {6, 4, "on2Input", true}, {6, 5, "gateInputOk", false},
    {8, 0, "auxFuseOk", false}, {8, 1, "batteryFuseOk batteryFlatOk", false}, {8, 4, "syncOk", false},
    {8, 7, "serviceOk", false},
    {12, 4, "fenceCondition1", "<Good>"}, {12, 5, "fenceCondition1", "<Check>"},
    {13, 0, "fenceHv1", false}, {13, 7, "fenceOn1", true},
    {14, 0, "voutOk1", false}, {14, 1, "scrOk1", false}, {14, 2, "flybackOk1", false},
    {14, 3, "interferenceOk1", false},
    {19, 4, "fenceCondition2", "<Good>"}, {19, 5, "fenceCondition2", "<Check>"},
    {20, 0, "fenceHv2", false}, {20, 7, "fenceOn2", true},
    {21, 0, "voutOk2", false}, {21, 1, "scrOk2", false}, {21, 2, "flybackOk2", false},
    {21, 3, "interferenceOk2", false},
};

// Bits 0..lastBit of these bytes are a number: bit n adds step * 2^n.
const struct { int byte, lastBit; const char* field; double step; } numberRows[] = {
    {9, 7, "batteryVoltage", 0.125}, {10, 7, "supplyVoltage", 0.125}, {12, 3, "fenceLevel1", 1},
    {15, 7, "capVoltage1", 6.25}, {16, 7, "outputVoltage1", 125}, {17, 7, "returnVoltage1", 125},
    {19, 3, "fenceLevel2", 1}, {22, 7, "capVoltage2", 6.25}, {23, 7, "outputVoltage2", 125},
    {24, 7, "returnVoltage2", 125},
};

QByteArray reply(int byte = 0, quint8 value = 0)
{
    QByteArray r(27, '\0');
    r[2] = char(0x81);
    r[byte] = char(value);
    return r;
}

// An all-zero status: nothing active, no fault, both zones off in high voltage.
QVariantMap quietState()
{
    QVariantMap m = snapshot(Energizer());
    for (auto it = m.begin(); it != m.end(); ++it)
        if (it.key().contains(QLatin1String("Ok"))) // the alarms: true is no alarm
            it.value() = true;
    m["fenceHv1"] = m["fenceHv2"] = m["online"] = true;
    m["fenceCondition1"] = m["fenceCondition2"] = QString();
    return m;
}

// "field=value" lines, so a failure names the first differing field.
QStringList text(const QVariantMap& state)
{
    QStringList lines;
    for (auto it = state.begin(); it != state.end(); ++it)
        lines << it.key() + QLatin1Char('=') + it.value().toString();
    return lines;
}

struct MarkingTranslator : QTranslator
{
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        return qstrcmp(context, "Energizer") == 0 ? QStringLiteral("<%1>").arg(QLatin1String(source)) : QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class TestStatusRecord : public QObject
{
    Q_OBJECT
private slots:
    // Condition texts come back marked, so every row also shows they are
    // translated when decoded, not once at start-up.
    void initTestCase() { QCoreApplication::installTranslator(&translator); }

    void decoding_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("value");
        QTest::addColumn<QVariantMap>("changes");

        // Every bit lands in exactly its fields; header and trailing bytes feed nothing.
        for (int byte = 0; byte < 27; ++byte) {
            for (int bit = 0; bit < 8; ++bit) {
                QVariantMap changes;
                for (const auto& r : bitRows)
                    if (r.byte == byte && r.bit == bit)
                        for (const QString& field : QString::fromLatin1(r.fields).split(QLatin1Char(' ')))
                            changes[field] = r.value;
                for (const auto& r : numberRows)
                    if (r.byte == byte && bit <= r.lastBit)
                        changes[QLatin1String(r.field)] = r.step * (1 << bit);
                QTest::addRow("byte %d bit %d", byte, bit) << byte << (1 << bit) << changes;
            }
        }

        QTest::newRow("level 10 counts as 0") << 12 << 0x1A << QVariantMap{{"fenceCondition1", "<Good>"}};
        QTest::newRow("level 15 counts as 0") << 19 << 0xFF << QVariantMap{{"fenceCondition2", "<Bad>"}};
        QTest::newRow("level 9, bad") << 12 << 0x39 << QVariantMap{{"fenceLevel1", 9}, {"fenceCondition1", "<Bad>"}};
        // The clamp's edge for zone 2 as for zone 1.
        QTest::newRow("zone 2 level 10 counts as 0") << 19 << 0x1A << QVariantMap{{"fenceCondition2", "<Good>"}};
        QTest::newRow("zone 2 level 9, bad") << 19 << 0x39 << QVariantMap{{"fenceLevel2", 9}, {"fenceCondition2", "<Bad>"}};
        QTest::newRow("on, low voltage") << 13 << 0x81 << QVariantMap{{"fenceOn1", true}, {"fenceHv1", false}};
        QTest::newRow("on, mode 3") << 13 << 0x83 << QVariantMap{{"fenceOn1", true}};
        QTest::newRow("zone 2 mode 1, other bits set") << 20 << 0x7D << QVariantMap{{"fenceHv2", false}};
        QTest::newRow("every input active")
            << 6 << 0xFF
            << QVariantMap{{"hv1Input", true}, {"hv2Input", true}, {"on1Input", true}, {"on2Input", true},
                           {"panicInputOk", false}, {"panicAlarmOk", false}, {"gateInputOk", false}};
    }

    void decoding()
    {
        QFETCH(int, byte);
        QFETCH(int, value);
        QFETCH(QVariantMap, changes);

        QVariantMap expected = quietState();
        for (auto it = changes.begin(); it != changes.end(); ++it)
            expected[it.key()] = it.value();
        // Bytes past the 27th are not part of the status.
        const QByteArray r = reply(byte, quint8(value));
        for (const QByteArray& bytes : {r, r + QByteArray(25, char(0xFF))}) {
            Energizer e;
            QSignalSpy spy(&e, &Energizer::paramChanged);
            QVERIFY(decodeStatus(e, bytes));
            QCOMPARE(spy.count(), 1);
            QCOMPARE(text(snapshot(e)), text(expected));
        }
    }

    void refused()
    {
        for (int field : {-1, 0, 53})
            QVERIFY(!statusField(reply(), field).isValid());
        for (int size : {0, 3, 26}) {
            QByteArray shortReply(size, char(0xFF));
            if (size > 2)
                shortReply[2] = char(0x81);
            Energizer e;
            e.address = 7;
            const QVariantMap before = snapshot(e);
            QSignalSpy spy(&e, &Energizer::paramChanged);
            QVERIFY(!decodeStatus(e, shortReply));
            QCOMPARE(spy.count(), 0);
            QCOMPARE(text(snapshot(e)), text(before));
            for (int field = 1; field <= 52; ++field)
                QVERIFY(!statusField(shortReply, field).isValid());
        }
    }

    // Columns in their order, with the metric families and alarm labels:
    // users' files, dashboards and alert rules depend on them.
    void exportedNames()
    {
        QStringList got;
        for (const StatusField& f : statusFields())
            got << (QLatin1String(f.name) + QLatin1Char(' ') + QLatin1String(f.metric) + QLatin1String(f.alarm)).trimmed();
        QCOMPARE(got.join(QLatin1Char(',')),
                 QStringLiteral("address,online,fenceOn1 energizer_zone_on,fenceHv1 energizer_zone_high_voltage,fenceLevel1,"
                                "outputVoltage1 energizer_output_voltage_volts,returnVoltage1 energizer_return_voltage_volts,capVoltage1,"
                                "voutOk1 zone1_vout,scrOk1 zone1_scr,flybackOk1 zone1_flyback,interferenceOk1 zone1_interference,fenceCondition1,"
                                "fenceOn2 energizer_zone_on,fenceHv2 energizer_zone_high_voltage,fenceLevel2,"
                                "outputVoltage2 energizer_output_voltage_volts,returnVoltage2 energizer_return_voltage_volts,capVoltage2,"
                                "voutOk2 zone2_vout,scrOk2 zone2_scr,flybackOk2 zone2_flyback,interferenceOk2 zone2_interference,fenceCondition2,"
                                "strobe1Ok,strobe2Ok,sirenOk,gateInputOk,on1Input,on2Input,panicInputOk,hv1Input,hv2Input,"
                                "magneticSwitchOk magnetic_switch,tamperOk tamper,syncMaster,syncOk sync_loss,serviceOk service,auxFuseOk aux_fuse,"
                                "gateAlarmOk gate,panicAlarmOk panic,mainsOk mains_fail,batteryFuseOk battery_fuse,batteryFlatOk battery_flat,"
                                "batteryVoltage energizer_battery_voltage_volts,supplyVoltage"));
    }

    // reset must bring back every field a status reply can write.
    void resetClearsEverything()
    {
        Energizer e;
        e.address = 9;
        QVERIFY(decodeStatus(e, QByteArray(27, char(0xFF))));
        QSignalSpy spy(&e, &Energizer::paramChanged);
        e.reset();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(text(snapshot(e)), text(snapshot(Energizer())));
        QCOMPARE(e.fenceCondition1, QStringLiteral("Bad"));
    }

private:
    MarkingTranslator translator;
};

QTEST_GUILESS_MAIN(TestStatusRecord)
#include "tst_statusrecord.moc"
