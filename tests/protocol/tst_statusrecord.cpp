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

// The status table as its readers expect it: columns, kinds, zones, metric
// families and alarm labels are what users' files, dashboards and alert rules
// depend on.
using K = StatusKind;
struct Expected
{
    QString name;
    K kind;
    int zone;
    QByteArray metric;
    QByteArray alarm;
};

QVector<Expected> expectedFields()
{
    // Zone fields by their name and alarm label without the zone.
    const Expected zone[] = {
        {"fenceOn", K::Flag, 0, "energizer_zone_on", ""}, {"fenceHv", K::Flag, 0, "energizer_zone_high_voltage", ""},
        {"fenceLevel", K::Level, 0, "", ""}, {"outputVoltage", K::Voltage, 0, "energizer_output_voltage_volts", ""},
        {"returnVoltage", K::Voltage, 0, "energizer_return_voltage_volts", ""}, {"capVoltage", K::Voltage, 0, "", ""},
        {"voutOk", K::Alarm, 0, "", "vout"}, {"scrOk", K::Alarm, 0, "", "scr"}, {"flybackOk", K::Alarm, 0, "", "flyback"},
        {"interferenceOk", K::Alarm, 0, "", "interference"}, {"fenceCondition", K::Condition, 0, "", ""},
    };
    QVector<Expected> fields{{"address", K::Address, 0, "", ""}, {"online", K::Online, 0, "", ""}};
    for (int z = 1; z <= 2; ++z) {
        for (const Expected& f : zone)
            fields.append({f.name + QString::number(z), f.kind, z, f.metric,
                           f.alarm.isEmpty() ? "" : "zone" + QByteArray::number(z) + '_' + f.alarm});
    }
    fields += {
        {"strobe1Ok", K::Alarm, 0, "", ""}, {"strobe2Ok", K::Alarm, 0, "", ""}, {"sirenOk", K::Alarm, 0, "", ""},
        {"gateInputOk", K::Alarm, 0, "", ""}, {"on1Input", K::Input, 1, "", ""}, {"on2Input", K::Input, 2, "", ""},
        {"panicInputOk", K::Alarm, 0, "", ""}, {"hv1Input", K::Input, 1, "", ""}, {"hv2Input", K::Input, 2, "", ""},
        {"magneticSwitchOk", K::Alarm, 0, "", "magnetic_switch"}, {"tamperOk", K::Alarm, 0, "", "tamper"},
        {"syncMaster", K::Flag, 0, "", ""}, {"syncOk", K::Alarm, 0, "", "sync_loss"},
        {"serviceOk", K::Alarm, 0, "", "service"}, {"auxFuseOk", K::Alarm, 0, "", "aux_fuse"},
        {"gateAlarmOk", K::Alarm, 0, "", "gate"}, {"panicAlarmOk", K::Alarm, 0, "", "panic"},
        {"mainsOk", K::Alarm, 0, "", "mains_fail"}, {"batteryFuseOk", K::Alarm, 0, "", "battery_fuse"},
        {"batteryFlatOk", K::Alarm, 0, "", "battery_flat"},
        {"batteryVoltage", K::Voltage, 0, "energizer_battery_voltage_volts", ""}, {"supplyVoltage", K::Voltage, 0, "", ""},
    };
    return fields;
}

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
    for (const Expected& f : expectedFields())
        if (f.kind == K::Alarm)
            m[f.name] = true;
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

    void statusTable_data()
    {
        QTest::addColumn<int>("column");
        const QVector<Expected> fields = expectedFields();
        for (int column = 0; column < fields.size(); ++column)
            QTest::newRow(qPrintable(fields[column].name)) << column;
    }

    // In column order, each field of its kind, unit and zone, exported as
    // the dashboards expect. Its values are checked by decoding() above.
    void statusTable()
    {
        QFETCH(int, column);
        const QVector<Expected> fields = expectedFields();
        const Expected& expected = fields[column];
        QCOMPARE(int(statusFields().size()), fields.size());
        const StatusField& field = statusFields().at(std::size_t(column));
        QCOMPARE(QLatin1String(field.name), expected.name);
        QCOMPARE(statusField(expected.name), &field); // names are unique
        QCOMPARE(field.kind, expected.kind);
        QCOMPARE(field.zone, expected.zone);
        QCOMPARE(QByteArray(field.unit), QByteArray(expected.kind == K::Voltage ? "V" : ""));
        QCOMPARE(QByteArray(field.metric), expected.metric);
        QCOMPARE(QByteArray(field.alarm), expected.alarm);
        QVERIFY(field.label && *field.label);
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
