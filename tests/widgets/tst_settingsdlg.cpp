#include "widgets/settingsdlg.h"
#include "testsettings.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

#include <sys/stat.h>

namespace {

QString iniPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini");
}

// "key=value" of every stored key, sorted by key.
QStringList iniLines()
{
    QSettings ini(iniPath(), QSettings::IniFormat);
    QStringList lines;
    for (const QString& key : ini.allKeys())
        lines << key + QLatin1Char('=') + ini.value(key).toString();
    lines.sort();
    return lines;
}

// The own address the dialog falls back to, found here independently.
QString firstOwnAddress()
{
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && a.toString() != QLatin1String("127.0.0.1"))
            return a.toString();
    return {};
}

QStringList values(const Settings& s)
{
    QStringList list;
    for (const QVariant& v : QVariantList{s.comMode, s.netMode, s.ipAddress, s.ownIpAddress, s.portNumber,
                                          s.installerPin, s.energizerAddress, s.portName, s.baudRate, s.parity,
                                          s.stopBits, s.flowControl, s.parityText, s.stopBitsText})
        list << v.toString();
    return list;
}

template <typename T>
T* child(const QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    return w ? w : (qFatal("missing widget %s", name), nullptr);
}

} // namespace

class TestSettingsDlg : public QObject
{
    Q_OBJECT
private slots:
    void init() { QFile::remove(iniPath()); }
    void cleanupTestCase() { QFile::remove(iniPath()); }

    void firstRun()
    {
        // A FIFO where the file belongs is left alone: opening it would block before the window shows.
        QVERIFY(::mkfifo(QFile::encodeName(iniPath()).constData(), 0600) == 0);
        const QStringList fromFifo = values(SettingsDlg().settings());
        QVERIFY(!QFileInfo(iniPath()).isFile());
        QFile::remove(iniPath());
        SettingsDlg dlg;
        QVERIFY(child<QRadioButton>(&dlg, "rbUDPserver")->isChecked());
        QVERIFY(child<QRadioButton>(&dlg, "rbTCPserver")->isHidden());
        const QString own = firstOwnAddress();
        auto* ports = child<QComboBox>(&dlg, "serialPortInfoListBox");
        QCOMPARE(values(dlg.settings()), QStringList({"0", "0", "192.168.0.1", own, "6128", "407318", "1", ports->currentText(),
                                                      "19200", "0", "1", "0", "None", "1"}));
        QCOMPARE(fromFifo, values(dlg.settings()));
        QCOMPARE(iniLines(), QStringList({"IPAddress=192.168.0.1", "UDP=0", "comMode=0", "ownIPAddress=" + own,
                                          "portNumber=6128"}));

        // Serial mode first; the energizer address stays editable in both.
        for (bool toNetwork : {true, false}) {
            child<QRadioButton>(&dlg, toNetwork ? "rbTCP" : "rbSerial")->setChecked(true);
            for (const auto& [box, network] : {std::pair{"selectBox", false}, {"parametersBox", false}, {"groupBox", true}})
                QCOMPARE(child<QGroupBox>(&dlg, box)->isEnabled(), network == toNetwork);
            QVERIFY(child<QSpinBox>(&dlg, "spnEnergizerAddress")->isEnabled());
        }

        // Ports the system does not list (pseudo-terminals, odd drivers) can be typed.
        const int count = ports->count();
        ports->lineEdit()->selectAll();
        QTest::keyClicks(ports->lineEdit(), QStringLiteral("/dev/pts/7"));
        QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
        QCOMPARE(ports->count(), count);
        QTest::mouseClick(child<QPushButton>(&dlg, "btnApply"), Qt::LeftButton);
        QCOMPARE(dlg.settings().portName, QStringLiteral("/dev/pts/7"));
    }

    void storedValues_data()
    {
        QTest::addColumn<QStringList>("stored"); // comMode, UDP, portNumber
        QTest::addColumn<QStringList>("expected"); // the same as kept
        QTest::newRow("network, udp client") << QStringList{"1", "1", "7000"} << QStringList{"1", "1", "7000"};
        QTest::newRow("UDP 2 selects the hidden TCP server") << QStringList{"1", "2", "6128"} << QStringList{"1", "2", "6128"};
        QTest::newRow("comMode 7 means network") << QStringList{"7", "0", "6128"} << QStringList{"1", "0", "6128"};
        QTest::newRow("text that is no number") << QStringList{"serial", "abc", "port"} << QStringList{"0", "0", "0"};
        QTest::newRow("port above 16 bits clamps") << QStringList{"1", "0", "70000"} << QStringList{"1", "0", "65535"};
        // Beyond 32 bits the default, not whatever the low bits say.
        QTest::newRow("port beyond 31 bits") << QStringList{"1", "0", "2147483648"} << QStringList{"1", "0", "6128"};
        QTest::newRow("UDP and port beyond 32 bits") << QStringList{"1", "4294967297", "4294973424"} << QStringList{"1", "0", "6128"};
    }

    void storedValues()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, expected);

        // An own address this machine does not have is replaced at once.
        writeSettingsIni(QStringLiteral("127.0.0.1"), 0, 0, 0, QStringLiteral("203.0.113.77"));
        for (int i = 0; i < 3; ++i) // each QSettings writes its key as it goes
            QSettings(iniPath(), QSettings::IniFormat).setValue(QStringList{"comMode", "UDP", "portNumber"}[i], stored[i]);
        SettingsDlg dlg;
        const QString own = firstOwnAddress();
        QCOMPARE(values(dlg.settings()).mid(0, 5), QStringList({expected[0], expected[1], "127.0.0.1", own, expected[2]}));
        QCOMPARE(child<QSpinBox>(&dlg, "spnPort")->value(), expected[2].toInt());
        QCOMPARE(iniLines(), QStringList({"IPAddress=127.0.0.1", "UDP=" + expected[1], "comMode=" + expected[0],
                                          "ownIPAddress=" + own, "portNumber=" + expected[2]}));
    }

    void cancelKeepsRecordApplyTakesEdits()
    {
        writeSettingsIni(QStringLiteral("127.0.0.1"), 1);
        SettingsDlg dlg;
        const QStringList before = values(dlg.settings());
        const QStringList fileBefore = iniLines();

        child<QRadioButton>(&dlg, "rbTCP")->setChecked(true);
        child<QRadioButton>(&dlg, "rbUDPclient")->setChecked(true);
        child<QLineEdit>(&dlg, "edtIP")->setText(QStringLiteral("127.0.0.2"));
        child<QSpinBox>(&dlg, "spnPort")->setValue(4242);
        child<QSpinBox>(&dlg, "spnEnergizerAddress")->setValue(17);
        child<QLineEdit>(&dlg, "edtInstallerPIN")->setText(QStringLiteral("1234"));
        child<QComboBox>(&dlg, "serialPortInfoListBox")->setEditText(QStringLiteral("ttyX"));
        // The lists are not in the order of QSerialPort's values: Mark (5) comes before Space (4).
        for (const auto& [box, index] : {std::pair{"baudRateBox", 3}, {"parityBox", 3}, {"stopBitsBox", 1}, {"flowControlBox", 2}})
            child<QComboBox>(&dlg, box)->setCurrentIndex(index);
        QTest::mouseClick(child<QPushButton>(&dlg, "btnCancel"), Qt::LeftButton);
        QCOMPARE(values(dlg.settings()), before);
        QCOMPARE(iniLines(), fileBefore);

        // The unapplied edits stay in the widgets and a later Apply takes them;
        // energizer address and PIN are not kept in the file.
        QTest::mouseClick(child<QPushButton>(&dlg, "btnApply"), Qt::LeftButton);
        QCOMPARE(values(dlg.settings()), QStringList({"1", "1", "127.0.0.2", before[3], "4242", "1234", "17", "ttyX",
                                                      "115200", "5", "3", "2", "Mark", "1.5"}));
        QCOMPARE(iniLines(), QStringList({"IPAddress=127.0.0.2", "UDP=1", "comMode=1", "ownIPAddress=" + before[3],
                                          "portNumber=4242"}));
    }
};

QTEST_MAIN(TestSettingsDlg)
#include "tst_settingsdlg.moc"
