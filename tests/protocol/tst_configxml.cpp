#include "protocol/configxml.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Random bytes with decimal PINs (a PIN nibble above 9 cannot survive a file).
ConfigBlock randomBlock(quint32 seed)
{
    QRandomGenerator rng(seed);
    ConfigBlock block;
    for (auto& b : block)
        b = static_cast<quint8>(rng.bounded(256));
    for (int pin : {20, 21, 22}) // the 4-digit PINs take the first four digits
        setParam(block, pin, QString::number(rng.bounded(1000000)).rightJustified(6, QLatin1Char('0')));
    return block;
}

// What no parameter holds comes from the default block.
// Bits no parameter covers keep the base's values.
void compareUnaddressed(const ConfigBlock& block, const ConfigBlock& defaults)
{
    for (int i : {0, 1, 2, 3, 4, 5, 9, 39, 51})
        QCOMPARE(block[i], defaults[i]);
    QCOMPARE(block[23] & 0x98, defaults[23] & 0x98);
}

// A row of the default file with one text replaced.
void edited(const char* name, const char* from, const char* to, const QVariantMap& expected = {})
{
    QTest::newRow(name) << replaced(defaultFile(), from, to) << false << expected << true;
}

void refused(const char* name, const QByteArray& xml)
{
    QTest::newRow(name) << xml << false << QVariantMap() << false;
}

} // namespace

class TestConfigXml : public QObject
{
    Q_OBJECT
private slots:
    void defaultText()
    {
        QCOMPARE(configToXml(defaultConfigBlock()), defaultFile());

        // Building twice into one document replaces, not appends.
        QDomDocument doc;
        buildConfigDocument(doc, randomBlock(7));
        buildConfigDocument(doc, defaultConfigBlock());
        QCOMPARE(documentText(doc), defaultFile());

        // A PIN nibble above 9 is written as two digits.
        ConfigBlock block = defaultConfigBlock();
        setParam(block, 21, QStringLiteral("12"));
        QVERIFY(configToXml(block).contains("<MasterPIN value=\"121515\"/>"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<ConfigBlock>("block");
        QTest::newRow("default") << defaultConfigBlock();
        for (quint32 seed : {1u, 2u, 0xC0FFEEu})
            QTest::addRow("random %u", seed) << randomBlock(seed);
        ConfigBlock ones;
        ones.fill(0xFF);
        for (int pin : {20, 21, 22})
            setParam(ones, pin, QStringLiteral("999999"));
        QTest::newRow("all bits set") << ones;
    }

    void roundTrip()
    {
        QFETCH(ConfigBlock, block);
        const QByteArray text = configToXml(block);
        ConfigBlock loaded;
        loaded.fill(0xAB);
        const ConfigBlock base = loaded;
        QString error;
        QVERIFY2(configFromXml(text, loaded, &error), qPrintable(error));
        for (int index = 0; index < ParamCount; ++index)
            QCOMPARE(getParam(loaded, index), getParam(block, index));
        compareUnaddressed(loaded, base);
        QCOMPARE(configToXml(loaded), text);
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("sparse"); // false: start from the default file's values, true: from the base's
        QTest::addColumn<QVariantMap>("expected"); // parameter index -> value
        QTest::addColumn<bool>("loads");

        const QByteArray base = defaultFile();
        QByteArray noNetwork = base;
        noNetwork.truncate(base.indexOf("  <Network>"));
        noNetwork += "</Configuration>\n";

        QTest::newRow("no Network group") << noNetwork << false
                                          << QVariantMap{{"70", 1}, {"71", 26}, {"72", 10}, {"73", 2}} << true;
        edited("negative into 3 bits", "FncControlMethod value=\"1\"", "FncControlMethod value=\"-1\"", {{"38", 7}});
        edited("beyond int range", "AlarmOnTime value=\"120\"", "AlarmOnTime value=\"4294967416\"", {{"23", 0}});
        edited("attribute missing", "BigNetworkAddress value=\"1\"", "BigNetworkAddress other=\"1\"", {{"71", 0}});
        edited("PIN with 0xF nibbles read back as digits", "MasterPIN value=\"1234\"", "MasterPIN value=\"121515\"",
               {{"21", "1215"}});
        edited("short PIN", "InstallerPIN value=\"407318\"", "InstallerPIN value=\"40\"", {{"20", "4015151515"}});
        edited("second element of a name ignored", "<LCD2 value=\"0\"/>",
               "<LCD2 value=\"0\"/><LCD2 value=\"9\"/><Unknown value=\"3\"/>");
        edited("first group of a name wins", "  <Inputs>",
               "  <Network><BigNetworkAddress value=\"9\"/></Network>\n  <Inputs>",
               {{"70", 1}, {"71", 9}, {"72", 10}, {"73", 2}});

        QTest::newRow("single value, text and comments around")
            << QByteArray("<?xml version='1.0'?><!-- saved --><Configuration>text<Inputs><!-- x -->"
                          "<GateInputFunction value=' 5 '>body</GateInputFunction></Inputs></Configuration>")
            << true << QVariantMap{{"60", 5}} << true;

        refused("empty", QByteArray());
        refused("cut short", base.left(base.size() / 2));
        refused("mismatched tag", replaced(base, "</Inputs>", "</Input>"));
        // Well-formed, but no configuration: loading one would write zeros and 0xF PINs.
        refused("other root", replaced(replaced(base, "<Configuration Company=\"Ravlin (Pty) Ltd\">", "<Setup>"), "</Configuration>", "</Setup>"));
        refused("no parameter", "<Configuration><Options><Colour value='3'/></Options></Configuration>");
        refused("groups nested too deep", "<Configuration><b><Options><LCD1 value='3'/></Options></b></Configuration>");
    }

    void load()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, sparse);
        QFETCH(QVariantMap, expected);
        QFETCH(bool, loads);

        ConfigBlock block;
        block.fill(0x5A);
        const ConfigBlock base = block;
        QString error;
        QVERIFY2(configFromXml(xml, block, &error) == loads, qPrintable(error));
        if (!loads) {
            QVERIFY(!error.isEmpty());
            QVERIFY(!configFromXml(xml, block)); // no error sink
            QVERIFY(block == base);
            return;
        }
        for (int index = 0; index < ParamCount; ++index) {
            // A parameter the file lacks keeps the base's value.
            QVariant want = getParam(sparse ? base : defaultConfigBlock(), index);
            want = expected.value(QString::number(index), want);
            const QVariant got = getParam(block, index);
            QVERIFY2(got.toDouble() == want.toDouble() && got.toString() == want.toString(),
                     qPrintable(QStringLiteral("%1: %2 != %3").arg(index).arg(got.toString(), want.toString())));
        }
        compareUnaddressed(block, base);
    }

    // A new file is the owner's alone (it holds PINs); a FIFO (or a device
    // such as /dev/null) is written in place, never replaced by a plain file.
    void saveKeepsWhatTheTargetIs()
    {
        QTemporaryDir dir;
        const QByteArray text = defaultFile();
        QString error;
        const QString fresh = dir.filePath(QStringLiteral("new.xml"));
        QVERIFY2(saveConfigFile(fresh, text, &error), qPrintable(error));
        struct stat st {};
        QVERIFY(stat(QFile::encodeName(fresh).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));

        const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo")));
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        const int reader = open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QVERIFY2(saveConfigFile(QFile::decodeName(fifo), text, &error), qPrintable(error));
        QByteArray got(text.size() + 1, '\0');
        QCOMPARE(int(read(reader, got.data(), size_t(got.size()))), text.size());
        close(reader);
        QVERIFY(stat(fifo.constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    }
};

QTEST_APPLESS_MAIN(TestConfigXml)
#include "tst_configxml.moc"
