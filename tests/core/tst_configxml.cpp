#include "config/configxml.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QXmlStreamWriter>
#include <QtTest>

Q_DECLARE_METATYPE(ConfigBlock)

namespace {

QByteArray defaultFile()
{
    QFile file(QStringLiteral(EC_TEST_DATA "/default.xml"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

QByteArray replaced(QByteArray text, const char* from, const char* to)
{
    const int at = text.indexOf(from);
    if (at < 0)
        qFatal("'%s' not in the test file", from);
    return text.replace(at, int(qstrlen(from)), to);
}

// What loading gives for a parameter the file does not provide.
QVariant missing(int index)
{
    if (index >= 20 && index <= 22)
        return QString::fromLatin1(index == 20 ? "151515151515" : "15151515");
    const ParamKind kind = paramInfo(index)->kind;
    return kind == ParamKind::Voltage || kind == ParamKind::CapVoltage ? QVariant(0.0) : QVariant(0);
}

// A block with random bytes and random decimal PINs (a PIN nibble above 9
// cannot survive a file, by design of the format).
ConfigBlock randomBlock(quint32 seed)
{
    QRandomGenerator rng(seed);
    ConfigBlock block;
    for (auto& b : block)
        b = static_cast<quint8>(rng.bounded(256));
    setParam(block, 20, QString::number(rng.bounded(1000000)).rightJustified(6, QLatin1Char('0')));
    setParam(block, 21, QString::number(rng.bounded(10000)).rightJustified(4, QLatin1Char('0')));
    setParam(block, 22, QString::number(rng.bounded(10000)).rightJustified(4, QLatin1Char('0')));
    return block;
}

} // namespace

class TestConfigXml : public QObject
{
    Q_OBJECT
private slots:
    void groupsCoverEveryParameter();
    void defaultText();
    void writeElementOrder();
    void roundTrip_data();
    void roundTrip();
    void oddFiles_data();
    void oddFiles();
    void malformed_data();
    void malformed();
};

void TestConfigXml::groupsCoverEveryParameter()
{
    QVector<int> seen(ParamCount, 0);
    for (const XmlGroup& group : xmlGroups()) {
        for (int index : group.params) {
            QVERIFY(paramInfo(index));
            QCOMPARE(QByteArray(paramInfo(index)->group), QByteArray(group.name));
            ++seen[index];
        }
    }
    QCOMPARE(seen, QVector<int>(ParamCount, 1));
}

void TestConfigXml::defaultText()
{
    QCOMPARE(configToXml(defaultConfigBlock()), defaultFile());

    // Building twice into one document replaces, not appends.
    QDomDocument doc;
    buildConfigDocument(doc, randomBlock(7));
    buildConfigDocument(doc, defaultConfigBlock());
    QCOMPARE(doc.doctype().name(), QStringLiteral("Configuration"));
    QCOMPARE(documentText(doc), defaultFile());

    // A PIN nibble above 9 is written as two digits.
    ConfigBlock block = defaultConfigBlock();
    setParam(block, 21, QStringLiteral("12"));
    QVERIFY(configToXml(block).contains("<MasterPIN value=\"121515\"/>"));
}

void TestConfigXml::writeElementOrder()
{
    QDomDocument doc;
    QVERIFY(doc.setContent(QByteArray("<r b='2' C='3' a='1'>hi<x z='&lt;'/><!--no--><y>t</y>tail</r>")));
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter writer(&buffer);
    writeElement(writer, doc.documentElement());
    QCOMPARE(text, QByteArray("<r C=\"3\" a=\"1\" b=\"2\">hi<x z=\"&lt;\"/><y>t</y>tail</r>"));
}

void TestConfigXml::roundTrip_data()
{
    QTest::addColumn<ConfigBlock>("block");
    QTest::newRow("default") << defaultConfigBlock();
    for (quint32 seed : { 1u, 2u, 3u, 0xC0FFEEu })
        QTest::addRow("random %u", seed) << randomBlock(seed);
    ConfigBlock ones;
    ones.fill(0xFF);
    setParam(ones, 20, QStringLiteral("999999"));
    setParam(ones, 21, QStringLiteral("9999"));
    setParam(ones, 22, QStringLiteral("9999"));
    QTest::newRow("all bits set") << ones;
    ConfigBlock zeros{};
    QTest::newRow("all bits clear") << zeros;
}

// Saving and loading gives back every parameter; what no parameter holds
// comes from the default block.
void TestConfigXml::roundTrip()
{
    QFETCH(ConfigBlock, block);
    const QByteArray text = configToXml(block);
    ConfigBlock loaded;
    loaded.fill(0xAB);
    QString error;
    QVERIFY2(configFromXml(text, loaded, &error), qPrintable(error));

    for (int index = 0; index < ParamCount; ++index)
        QCOMPARE(getParam(loaded, index), getParam(block, index));
    const ConfigBlock defaults = defaultConfigBlock();
    for (int i : { 0, 1, 2, 3, 4, 5, 9, 39, 51 })
        QCOMPARE(loaded[i], defaults[i]);
    QCOMPARE(loaded[23] & 0x98, defaults[23] & 0x98);
    QCOMPARE(configToXml(loaded), text);
}

void TestConfigXml::oddFiles_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("sparse"); // false: start from the default file's values
    QTest::addColumn<QVariantMap>("expected"); // parameter index -> value

    const QByteArray base = defaultFile();
    const int netStart = base.indexOf("  <Network>");
    const int netEnd = base.indexOf("</Network>\n") + 11;
    QByteArray noNetwork = base;
    noNetwork.remove(netStart, netEnd - netStart);

    QTest::newRow("no Network group") << noNetwork << false
        << QVariantMap{ { "70", 0 }, { "71", 0 }, { "72", 0 }, { "73", 0 } };
    QTest::newRow("300 modulo 256")
        << replaced(base, "GateAlarmDelay value=\"60\"", "GateAlarmDelay value=\"300\"") << false
        << QVariantMap{ { "17", 44 } };
    QTest::newRow("1400 V to 1360 V")
        << replaced(base, "FncLowPwrVltg value=\"1360\"", "FncLowPwrVltg value=\"1400\"") << false
        << QVariantMap{ { "43", 1360.0 } };
    QTest::newRow("negative into 3 bits")
        << replaced(base, "FncControlMethod value=\"1\"", "FncControlMethod value=\"-1\"") << false
        << QVariantMap{ { "38", 7 } };
    QTest::newRow("not a number")
        << replaced(base, "LCD1 value=\"15\"", "LCD1 value=\"fifteen\"") << false << QVariantMap{ { "28", 0 } };
    QTest::newRow("beyond int range")
        << replaced(base, "AlarmOnTime value=\"120\"", "AlarmOnTime value=\"4294967416\"") << false
        << QVariantMap{ { "23", 0 } };
    QTest::newRow("character reference")
        << replaced(base, "AlarmOffTime value=\"180\"", "AlarmOffTime value=\"&#50;00\"") << false
        << QVariantMap{ { "24", 200 } };
    QTest::newRow("attribute missing")
        << replaced(base, "BigNetworkAddress value=\"1\"", "BigNetworkAddress other=\"1\"") << false
        << QVariantMap{ { "71", 0 } };
    QTest::newRow("other root, no Company")
        << replaced(replaced(base, "<Configuration Company=\"Ravlin (Pty) Ltd\">", "<Setup>"),
                    "</Configuration>", "</Setup>")
        << false << QVariantMap{};
    QTest::newRow("PIN with 0xF nibbles read back as digits")
        << replaced(base, "MasterPIN value=\"1234\"", "MasterPIN value=\"121515\"") << false
        << QVariantMap{ { "21", "1215" } };
    QTest::newRow("short PIN")
        << replaced(base, "InstallerPIN value=\"407318\"", "InstallerPIN value=\"40\"") << false
        << QVariantMap{ { "20", "4015151515" } };
    QTest::newRow("second element of a name ignored")
        << replaced(base, "<LCD2 value=\"0\"/>", "<LCD2 value=\"0\"/><LCD2 value=\"9\"/><Unknown value=\"3\"/>")
        << false << QVariantMap{};
    QTest::newRow("first group of a name wins")
        << replaced(base, "  <Inputs>", "  <Network><BigNetworkAddress value=\"9\"/></Network>\n  <Inputs>")
        << false << QVariantMap{ { "70", 0 }, { "71", 9 }, { "72", 0 }, { "73", 0 } };

    QTest::newRow("empty root") << QByteArray("<Configuration/>") << true << QVariantMap{};
    QTest::newRow("group nested too deep")
        << QByteArray("<a><b><Options><LCD1 value='3'/></Options></b></a>") << true << QVariantMap{};
    QTest::newRow("single value, text and comments around")
        << QByteArray("<?xml version='1.0'?><!-- saved --><c>text<Inputs><!-- x -->"
                      "<GateInputFunction value=' 5 '>body</GateInputFunction></Inputs></c>")
        << true << QVariantMap{ { "60", 5 } };
}

void TestConfigXml::oddFiles()
{
    QFETCH(QByteArray, xml);
    QFETCH(bool, sparse);
    QFETCH(QVariantMap, expected);

    ConfigBlock block;
    block.fill(0x5A);
    QString error;
    QVERIFY2(configFromXml(xml, block, &error), qPrintable(error));
    for (int index = 0; index < ParamCount; ++index) {
        QVariant want = sparse ? missing(index) : getParam(defaultConfigBlock(), index);
        if (expected.contains(QString::number(index)))
            want = expected.value(QString::number(index));
        const QVariant got = getParam(block, index);
        if (want.type() == QVariant::Double)
            QVERIFY2(qAbs(got.toDouble() - want.toDouble()) < 1e-9, qPrintable(QString::number(index)));
        else
            QVERIFY2(got.toString() == want.toString(),
                     qPrintable(QStringLiteral("%1: %2 != %3").arg(index).arg(got.toString(), want.toString())));
    }
    const ConfigBlock defaults = defaultConfigBlock();
    for (int i : { 0, 1, 2, 3, 4, 5, 9, 39, 51 })
        QCOMPARE(block[i], defaults[i]);
}

void TestConfigXml::malformed_data()
{
    QTest::addColumn<QByteArray>("xml");
    const QByteArray base = defaultFile();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("declaration only") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    QTest::newRow("cut short") << base.left(base.size() / 2);
    QTest::newRow("mismatched tag") << replaced(base, "</Inputs>", "</Input>");
    QTest::newRow("two roots") << base + "<Configuration/>";
    QTest::newRow("unquoted attribute") << replaced(base, "value=\"60\"", "value=60");
    QTest::newRow("binary") << QByteArray("\x00\xFF\xFE<\x01", 5);
}

void TestConfigXml::malformed()
{
    QFETCH(QByteArray, xml);
    ConfigBlock block;
    block.fill(0x5A);
    const ConfigBlock before = block;
    QString error;
    QVERIFY(!configFromXml(xml, block, &error));
    QCOMPARE(block, before);
    QVERIFY(!error.isEmpty());
    QVERIFY(!configFromXml(xml, block)); // no error sink
    QCOMPARE(block, before);
}

QTEST_APPLESS_MAIN(TestConfigXml)
#include "tst_configxml.moc"
