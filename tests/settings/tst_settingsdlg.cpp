#include "settings/settingsdlg.h"
#include "testsettings.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

namespace {

QString iniPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini");
}

QByteArray iniText()
{
    QFile file(iniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The stored values in the order IPAddress, UDP, comMode, ownIPAddress, portNumber.
QStringList iniValues()
{
    QSettings ini(iniPath(), QSettings::IniFormat);
    QStringList keys = ini.allKeys();
    keys.sort();
    if (keys != QStringList({"IPAddress", "UDP", "comMode", "ownIPAddress", "portNumber"}))
        return keys;
    QStringList values;
    for (const QString& key : keys)
        values << ini.value(key).toString();
    return values;
}

// The own address the dialog falls back to, found here independently.
QString firstOwnAddress()
{
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && a.toString() != QLatin1String("127.0.0.1"))
            return a.toString();
    return {};
}

// Everything but the port name, which depends on the machine's ports.
QStringList values(const Settings& s)
{
    QStringList list;
    for (const QVariant& v : QVariantList{s.comMode, s.netMode, s.ipAddress, s.ownIpAddress, s.portNumber,
                                          s.installerPin, s.energizerAddress, s.baudRate, s.dataBits, s.parity,
                                          s.stopBits, s.flowControl})
        list << v.toString();
    return list;
}

template <typename T>
T* child(const QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("missing widget %s", name);
    return w;
}

void click(const QObject* dlg, const char* button)
{
    QTest::mouseClick(child<QPushButton>(dlg, button), Qt::LeftButton);
}

} // namespace

class TestSettingsDlg : public QObject
{
    Q_OBJECT
private slots:
    void init() { QFile::remove(iniPath()); }
    void cleanupTestCase() { QFile::remove(iniPath()); }

    void firstRunShowsDefaultsAndWritesFile();
    void storedValues_data();
    void storedValues();
    void serialChoices_data();
    void serialChoices();
    void cancelKeepsRecordApplyTakesEdits();
    void modeSwitchEnablesMatchingGroups();
    void typedPortNameIsUsed();
    void portFields_data();
    void portFields();
    void portInfoLabelsToleratesShortList();
};

void TestSettingsDlg::firstRunShowsDefaultsAndWritesFile()
{
    SettingsDlg dlg;
    QVERIFY(child<QRadioButton>(&dlg, "rbSerial")->isChecked());
    QVERIFY(child<QRadioButton>(&dlg, "rbUDPserver")->isChecked());
    QVERIFY(child<QRadioButton>(&dlg, "rbTCPserver")->isHidden());
    const QString own = firstOwnAddress();
    QCOMPARE(values(dlg.settings()),
             QStringList({"0", "0", "192.168.0.1", own, "6128", "407318", "1", "19200", "8", "0", "1", "0"}));
    QCOMPARE(iniValues(), QStringList({"192.168.0.1", "0", "0", own, "6128"}));
}

void TestSettingsDlg::storedValues_data()
{
    QTest::addColumn<QString>("udp");
    QTest::addColumn<QString>("comMode");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("netMode");
    QTest::addColumn<int>("expComMode");
    QTest::addColumn<int>("expPort");

    QTest::newRow("network, udp client") << "1" << "1" << "7000" << 1 << 1 << 7000;
    QTest::newRow("UDP 2 selects the hidden TCP server") << "2" << "1" << "6128" << 2 << 1 << 6128;
    QTest::newRow("UDP -1 is TCP server too") << "-1" << "0" << "6128" << 2 << 0 << 6128;
    QTest::newRow("comMode 7 means network") << "0" << "7" << "6128" << 0 << 1 << 6128;
    QTest::newRow("text that is no number") << "abc" << "serial" << "port" << 0 << 0 << 0;
    QTest::newRow("port above 16 bits clamps") << "0" << "1" << "70000" << 0 << 1 << 65535;
    QTest::newRow("negative port") << "0" << "1" << "-4" << 0 << 1 << 0;
}

void TestSettingsDlg::storedValues()
{
    QFETCH(QString, udp);
    QFETCH(QString, comMode);
    QFETCH(QString, port);
    QFETCH(int, netMode);
    QFETCH(int, expComMode);
    QFETCH(int, expPort);

    // An own address this machine does not have is replaced at once.
    writeSettingsIni(QStringLiteral("127.0.0.1"), 0, 0, 0, QStringLiteral("203.0.113.77"));
    {
        QSettings ini(iniPath(), QSettings::IniFormat);
        ini.setValue(QStringLiteral("UDP"), udp);
        ini.setValue(QStringLiteral("comMode"), comMode);
        ini.setValue(QStringLiteral("portNumber"), port);
    }
    SettingsDlg dlg;
    const QString own = firstOwnAddress();
    QCOMPARE(values(dlg.settings()).mid(0, 5),
             QStringList({QString::number(expComMode), QString::number(netMode), "127.0.0.1", own,
                          QString::number(expPort)}));
    QCOMPARE(child<QSpinBox>(&dlg, "spnPort")->value(), expPort);
    QCOMPARE(child<QRadioButton>(&dlg, "rbTCP")->isChecked(), expComMode == 1);
    QCOMPARE(child<QRadioButton>(&dlg, "rbTCPserver")->isChecked(), netMode == 2);
    QCOMPARE(iniValues(), QStringList({"127.0.0.1", QString::number(netMode), QString::number(expComMode), own,
                                       QString::number(expPort)}));
}

void TestSettingsDlg::serialChoices_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    // Values of QSerialPort's enumerations, as the serial port expects them.
    QTest::newRow("default parity") << "parityBox" << 0 << 0 << "None";
    QTest::newRow("baud 115200") << "baudRateBox" << 3 << 115200 << "115200";
    QTest::newRow("mark listed before space") << "parityBox" << 3 << 5 << "Mark";
    QTest::newRow("space parity") << "parityBox" << 4 << 4 << "Space";
    QTest::newRow("one and a half stop bits") << "stopBitsBox" << 1 << 3 << "1.5";
    QTest::newRow("XON/XOFF") << "flowControlBox" << 2 << 2 << "XON/XOFF";
}

void TestSettingsDlg::serialChoices()
{
    QFETCH(QString, box);
    QFETCH(int, index);
    QFETCH(int, value);
    QFETCH(QString, text);

    SettingsDlg dlg;
    child<QComboBox>(&dlg, box.toLatin1().constData())->setCurrentIndex(index);
    click(&dlg, "btnApply");
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    const Settings s = dlg.settings();
    const QMap<QString, QPair<int, QString>> got{
        {QStringLiteral("baudRateBox"), {s.baudRate, s.baudRateText}},
        {QStringLiteral("parityBox"), {s.parity, s.parityText}},
        {QStringLiteral("stopBitsBox"), {s.stopBits, s.stopBitsText}},
        {QStringLiteral("flowControlBox"), {s.flowControl, s.flowControlText}},
    };
    QCOMPARE(got.value(box).first, value);
    QCOMPARE(got.value(box).second, text);
}

void TestSettingsDlg::cancelKeepsRecordApplyTakesEdits()
{
    writeSettingsIni(QStringLiteral("127.0.0.1"), 1);
    SettingsDlg dlg;
    const Settings before = dlg.settings();
    const QByteArray fileBefore = iniText();

    child<QRadioButton>(&dlg, "rbTCP")->setChecked(true);
    child<QRadioButton>(&dlg, "rbUDPclient")->setChecked(true);
    child<QLineEdit>(&dlg, "edtIP")->setText(QStringLiteral("127.0.0.2"));
    child<QSpinBox>(&dlg, "spnPort")->setValue(4242);
    child<QSpinBox>(&dlg, "spnEnergizerAddress")->setValue(17);
    child<QLineEdit>(&dlg, "edtInstallerPIN")->setText(QStringLiteral("1234"));
    child<QComboBox>(&dlg, "serialPortInfoListBox")->setEditText(QStringLiteral("ttyX"));
    click(&dlg, "btnCancel");
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(values(dlg.settings()), values(before));
    QCOMPARE(dlg.settings().portName, before.portName);
    QCOMPARE(iniText(), fileBefore);

    // The unapplied edits stay in the widgets and a later Apply takes them;
    // energizer address and PIN are not kept in the file.
    click(&dlg, "btnApply");
    QCOMPARE(values(dlg.settings()).mid(0, 7),
             QStringList({"1", "1", "127.0.0.2", before.ownIpAddress, "4242", "1234", "17"}));
    QCOMPARE(iniValues(), QStringList({"127.0.0.2", "1", "1", before.ownIpAddress, "4242"}));
}

void TestSettingsDlg::modeSwitchEnablesMatchingGroups()
{
    SettingsDlg dlg;
    for (bool toNetwork : {true, false}) {
        child<QRadioButton>(&dlg, toNetwork ? "rbTCP" : "rbSerial")->setChecked(true);
        QCOMPARE(child<QGroupBox>(&dlg, "selectBox")->isEnabled(), !toNetwork);
        QCOMPARE(child<QGroupBox>(&dlg, "parametersBox")->isEnabled(), !toNetwork);
        QCOMPARE(child<QGroupBox>(&dlg, "groupBox")->isEnabled(), toNetwork);
        QVERIFY(child<QSpinBox>(&dlg, "spnEnergizerAddress")->isEnabled());
    }
}

// Ports the system does not list (pseudo-terminals, odd drivers) can be typed.
void TestSettingsDlg::typedPortNameIsUsed()
{
    SettingsDlg dlg;
    auto* ports = child<QComboBox>(&dlg, "serialPortInfoListBox");
    const int count = ports->count();
    ports->setFocus();
    ports->lineEdit()->selectAll();
    QTest::keyClicks(ports->lineEdit(), QStringLiteral("/dev/pts/7"));
    QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
    QCOMPARE(ports->count(), count); // typed names are not added to the list
    click(&dlg, "btnApply");
    QCOMPARE(dlg.settings().portName, QStringLiteral("/dev/pts/7"));
}

void TestSettingsDlg::portFields_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("location");
    QTest::addColumn<int>("vid");
    QTest::addColumn<int>("pid");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("usb bridge, ids without leading zeros")
        << "CP2102" << "/dev/ttyUSB0" << 0x0403 << 0xEA60
        << QStringList{"ttyUSB0", "CP2102", "Silicon", "0001", "/dev/ttyUSB0", "403", "ea60"};
    QTest::newRow("bare uart") << "" << "" << 0 << 0
                               << QStringList{"ttyUSB0", "N/A", "Silicon", "0001", "", "N/A", "N/A"};
}

void TestSettingsDlg::portFields()
{
    QFETCH(QString, description);
    QFETCH(QString, location);
    QFETCH(int, vid);
    QFETCH(int, pid);
    QFETCH(QStringList, expected);
    QCOMPARE(serialPortFields(QStringLiteral("ttyUSB0"), description, QStringLiteral("Silicon"),
                              QStringLiteral("0001"), location, quint16(vid), quint16(pid)),
             expected);
}

void TestSettingsDlg::portInfoLabelsToleratesShortList()
{
    SettingsDlg dlg;
    auto* ports = child<QComboBox>(&dlg, "serialPortInfoListBox");
    ports->addItem(QStringLiteral("ttyQ"), QStringList{QStringLiteral("ttyQ"), QStringLiteral("Bridge")});
    ports->setCurrentIndex(ports->count() - 1);
    QCOMPARE(child<QLabel>(&dlg, "descriptionLabel")->text(), QStringLiteral("Description: Bridge"));
    QCOMPARE(child<QLabel>(&dlg, "pidLabel")->text(), QStringLiteral("Product Identifier: N/A"));

    // An emptied list leaves the labels as they were.
    ports->clear();
    QCOMPARE(child<QLabel>(&dlg, "descriptionLabel")->text(), QStringLiteral("Description: Bridge"));
}

QTEST_MAIN(TestSettingsDlg)
#include "tst_settingsdlg.moc"
