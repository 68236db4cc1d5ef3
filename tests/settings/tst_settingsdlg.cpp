#include "settings/settingsdlg.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHostAddress>
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

// Writes setting.ini as a user's earlier run (or hand edit) might have left it.
void writeIni(const QList<QPair<QString, QString>>& lines)
{
    QFile file(iniPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text));
    for (const auto& line : lines)
        file.write((line.first + QLatin1Char('=') + line.second + QLatin1Char('\n')).toUtf8());
}

QSettings* readIni()
{
    auto* ini = new QSettings(iniPath(), QSettings::IniFormat);
    ini->setIniCodec("UTF-8");
    return ini;
}

// The own addresses the dialog may offer, found here independently.
QStringList ownIpv4Addresses()
{
    QStringList list;
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && a.toString() != QLatin1String("127.0.0.1"))
            list << a.toString();
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

void compareSettings(const Settings& a, const Settings& b)
{
    QCOMPARE(a.comMode, b.comMode);
    QCOMPARE(a.netMode, b.netMode);
    QCOMPARE(a.ipAddress, b.ipAddress);
    QCOMPARE(a.ownIpAddress, b.ownIpAddress);
    QCOMPARE(a.portNumber, b.portNumber);
    QCOMPARE(a.installerPin, b.installerPin);
    QCOMPARE(a.energizerAddress, b.energizerAddress);
    QCOMPARE(a.portName, b.portName);
    QCOMPARE(a.baudRate, b.baudRate);
    QCOMPARE(a.dataBits, b.dataBits);
    QCOMPARE(a.parity, b.parity);
    QCOMPARE(a.stopBits, b.stopBits);
    QCOMPARE(a.flowControl, b.flowControl);
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
    QVERIFY(!QFile::exists(iniPath()));
    SettingsDlg dlg;

    QVERIFY(child<QRadioButton>(&dlg, "rbSerial")->isChecked());
    QVERIFY(child<QRadioButton>(&dlg, "rbUDPserver")->isChecked());
    QVERIFY(child<QRadioButton>(&dlg, "rbTCPserver")->isHidden());
    QVERIFY(child<QGroupBox>(&dlg, "selectBox")->isEnabled());
    QVERIFY(!child<QGroupBox>(&dlg, "groupBox")->isEnabled());

    const Settings s = dlg.settings();
    QCOMPARE(s.comMode, 0);
    QCOMPARE(s.netMode, 0);
    QCOMPARE(s.ipAddress, QStringLiteral("192.168.0.1"));
    QCOMPARE(s.portNumber, 6128);
    QCOMPARE(s.energizerAddress, 1);
    QCOMPARE(s.installerPin, QStringLiteral("407318"));
    QCOMPARE(s.baudRate, 19200);
    QCOMPARE(s.baudRateText, QStringLiteral("19200"));
    QCOMPARE(s.dataBits, 8);
    QCOMPARE(s.parity, 0);
    QCOMPARE(s.parityText, QStringLiteral("None"));
    QCOMPARE(s.stopBits, 1);
    QCOMPARE(s.stopBitsText, QStringLiteral("1"));
    QCOMPARE(s.flowControl, 0);

    const QStringList own = ownIpv4Addresses();
    const QString firstOwn = own.isEmpty() ? QString() : own.first();
    QCOMPARE(s.ownIpAddress, firstOwn);

    QScopedPointer<QSettings> ini(readIni());
    QStringList keys = ini->allKeys();
    keys.sort();
    QCOMPARE(keys, QStringList({QStringLiteral("IPAddress"), QStringLiteral("UDP"), QStringLiteral("comMode"),
                                QStringLiteral("ownIPAddress"), QStringLiteral("portNumber")}));
    QCOMPARE(ini->value(QStringLiteral("ownIPAddress")).toString(), firstOwn);
    QCOMPARE(ini->value(QStringLiteral("IPAddress")).toString(), QStringLiteral("192.168.0.1"));
    QCOMPARE(ini->value(QStringLiteral("portNumber")).toString(), QStringLiteral("6128"));
    QCOMPARE(ini->value(QStringLiteral("comMode")).toString(), QStringLiteral("0"));
    QCOMPARE(ini->value(QStringLiteral("UDP")).toString(), QStringLiteral("0"));
}

void TestSettingsDlg::storedValues_data()
{
    QTest::addColumn<QString>("udp");
    QTest::addColumn<QString>("comMode");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("netMode");
    QTest::addColumn<int>("expComMode");
    QTest::addColumn<int>("expPort");

    QTest::newRow("plain network udp client") << "1" << "1" << "7000" << 1 << 1 << 7000;
    QTest::newRow("UDP 2 selects the hidden TCP server") << "2" << "1" << "6128" << 2 << 1 << 6128;
    QTest::newRow("UDP -1 is TCP server too") << "-1" << "0" << "6128" << 2 << 0 << 6128;
    QTest::newRow("comMode 7 means network") << "0" << "7" << "6128" << 0 << 1 << 6128;
    QTest::newRow("text that is no number") << "abc" << "serial" << "port" << 0 << 0 << 0;
    QTest::newRow("port above 16 bits clamps") << "0" << "1" << "70000" << 0 << 1 << 65535;
    QTest::newRow("highest valid port") << "0" << "1" << "65535" << 0 << 1 << 65535;
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

    writeIni({{QStringLiteral("ownIPAddress"), QStringLiteral("203.0.113.77")},
              {QStringLiteral("UDP"), udp},
              {QStringLiteral("IPAddress"), QStringLiteral("127.0.0.1")},
              {QStringLiteral("portNumber"), port},
              {QStringLiteral("comMode"), comMode}});
    SettingsDlg dlg;
    const Settings s = dlg.settings();
    QCOMPARE(s.netMode, netMode);
    QCOMPARE(s.comMode, expComMode);
    QCOMPARE(s.portNumber, expPort);
    QCOMPARE(s.ipAddress, QStringLiteral("127.0.0.1"));
    QCOMPARE(child<QSpinBox>(&dlg, "spnPort")->value(), expPort);
    QCOMPARE(child<QRadioButton>(&dlg, "rbTCP")->isChecked(), expComMode == 1);
    QCOMPARE(child<QRadioButton>(&dlg, "rbTCPserver")->isChecked(), netMode == 2);

    // An own address this machine does not have is replaced at once.
    const QStringList own = ownIpv4Addresses();
    if (!own.contains(QStringLiteral("203.0.113.77")))
        QCOMPARE(s.ownIpAddress, own.isEmpty() ? QString() : own.first());

    QScopedPointer<QSettings> ini(readIni());
    QCOMPARE(ini->value(QStringLiteral("UDP")).toInt(), netMode);
    QCOMPARE(ini->value(QStringLiteral("comMode")).toInt(), expComMode);
    QCOMPARE(ini->value(QStringLiteral("portNumber")).toInt(), expPort);
    QCOMPARE(ini->value(QStringLiteral("ownIPAddress")).toString(), s.ownIpAddress);
}

void TestSettingsDlg::serialChoices_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    // Values of QSerialPort's enumerations, as the serial port expects them.
    QTest::newRow("baud 115200") << "baudRateBox" << 3 << 115200 << "115200";
    QTest::newRow("mark listed before space") << "parityBox" << 3 << 5 << "Mark";
    QTest::newRow("space parity") << "parityBox" << 4 << 4 << "Space";
    QTest::newRow("one and a half stop bits") << "stopBitsBox" << 1 << 3 << "1.5";
    QTest::newRow("two stop bits") << "stopBitsBox" << 2 << 2 << "2";
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
    QTest::mouseClick(child<QPushButton>(&dlg, "btnApply"), Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));

    const Settings s = dlg.settings();
    const QMap<QString, QPair<int, QString>> got{
        {QStringLiteral("baudRateBox"), {s.baudRate, s.baudRateText}},
        {QStringLiteral("dataBitsBox"), {s.dataBits, s.dataBitsText}},
        {QStringLiteral("parityBox"), {s.parity, s.parityText}},
        {QStringLiteral("stopBitsBox"), {s.stopBits, s.stopBitsText}},
        {QStringLiteral("flowControlBox"), {s.flowControl, s.flowControlText}},
    };
    QCOMPARE(got.value(box).first, value);
    QCOMPARE(got.value(box).second, text);
}

void TestSettingsDlg::cancelKeepsRecordApplyTakesEdits()
{
    writeIni({{QStringLiteral("IPAddress"), QStringLiteral("127.0.0.1")}, {QStringLiteral("portNumber"), QStringLiteral("1")}});
    SettingsDlg dlg;
    const Settings before = dlg.settings();
    QByteArray fileBefore;
    {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        fileBefore = f.readAll();
    }

    child<QRadioButton>(&dlg, "rbTCP")->setChecked(true);
    child<QRadioButton>(&dlg, "rbUDPclient")->setChecked(true);
    child<QLineEdit>(&dlg, "edtIP")->setText(QStringLiteral("127.0.0.2"));
    child<QSpinBox>(&dlg, "spnPort")->setValue(4242);
    child<QSpinBox>(&dlg, "spnEnergizerAddress")->setValue(17);
    child<QLineEdit>(&dlg, "edtInstallerPIN")->setText(QStringLiteral("1234"));
    child<QComboBox>(&dlg, "serialPortInfoListBox")->setEditText(QStringLiteral("ttyX"));
    QTest::mouseClick(child<QPushButton>(&dlg, "btnCancel"), Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));

    compareSettings(dlg.settings(), before);
    {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), fileBefore);
    }

    // The unapplied edits stay in the widgets and a later Apply takes them.
    QTest::mouseClick(child<QPushButton>(&dlg, "btnApply"), Qt::LeftButton);
    const Settings after = dlg.settings();
    QCOMPARE(after.comMode, 1);
    QCOMPARE(after.netMode, 1);
    QCOMPARE(after.ipAddress, QStringLiteral("127.0.0.2"));
    QCOMPARE(after.portNumber, 4242);
    QCOMPARE(after.energizerAddress, 17);
    QCOMPARE(after.installerPin, QStringLiteral("1234"));
    QScopedPointer<QSettings> ini(readIni());
    QCOMPARE(ini->value(QStringLiteral("IPAddress")).toString(), QStringLiteral("127.0.0.2"));
    QCOMPARE(ini->value(QStringLiteral("portNumber")).toInt(), 4242);
    QCOMPARE(ini->value(QStringLiteral("comMode")).toInt(), 1);
    QCOMPARE(ini->value(QStringLiteral("UDP")).toInt(), 1);
    QCOMPARE(ini->allKeys().size(), 5); // address and PIN are not kept
}

void TestSettingsDlg::modeSwitchEnablesMatchingGroups()
{
    SettingsDlg dlg;
    auto* serial = child<QRadioButton>(&dlg, "rbSerial");
    auto* network = child<QRadioButton>(&dlg, "rbTCP");
    for (bool toNetwork : {true, false, true}) {
        (toNetwork ? network : serial)->setChecked(true);
        QCOMPARE(serial->isChecked(), !toNetwork);
        QCOMPARE(child<QGroupBox>(&dlg, "selectBox")->isEnabled(), !toNetwork);
        QCOMPARE(child<QGroupBox>(&dlg, "parametersBox")->isEnabled(), !toNetwork);
        QCOMPARE(child<QGroupBox>(&dlg, "groupBox")->isEnabled(), toNetwork);
        QVERIFY(child<QSpinBox>(&dlg, "spnEnergizerAddress")->isEnabled());
        QVERIFY(child<QLineEdit>(&dlg, "edtInstallerPIN")->isEnabled());
    }
}

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
    QTest::mouseClick(child<QPushButton>(&dlg, "btnApply"), Qt::LeftButton);
    QCOMPARE(dlg.settings().portName, QStringLiteral("/dev/pts/7"));

    // A rescan lists the ports again; without any the name is empty.
    QTest::mouseClick(child<QPushButton>(&dlg, "btnScan"), Qt::LeftButton);
    if (ports->count() == 0) {
        QTest::mouseClick(child<QPushButton>(&dlg, "btnApply"), Qt::LeftButton);
        QCOMPARE(dlg.settings().portName, QString());
    } else {
        QCOMPARE(ports->currentIndex(), 0);
    }
}

void TestSettingsDlg::portFields_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("serialNumber");
    QTest::addColumn<QString>("location");
    QTest::addColumn<int>("vid");
    QTest::addColumn<int>("pid");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("usb bridge") << "CP2102" << "0001" << "/dev/ttyUSB0" << 0x10C4 << 0xEA60
                                << QStringList{"ttyUSB0", "CP2102", "Silicon", "0001", "/dev/ttyUSB0", "10c4", "ea60"};
    QTest::newRow("no leading zeros") << "x" << "y" << "" << 0x0403 << 0x0001
                                      << QStringList{"ttyUSB0", "x", "Silicon", "y", "", "403", "1"};
    QTest::newRow("bare uart") << "" << "" << "/dev/ttyS0" << 0 << 0
                               << QStringList{"ttyUSB0", "N/A", "Silicon", "N/A", "/dev/ttyS0", "N/A", "N/A"};
}

void TestSettingsDlg::portFields()
{
    QFETCH(QString, description);
    QFETCH(QString, serialNumber);
    QFETCH(QString, location);
    QFETCH(int, vid);
    QFETCH(int, pid);
    QFETCH(QStringList, expected);
    QCOMPARE(serialPortFields(QStringLiteral("ttyUSB0"), description, QStringLiteral("Silicon"), serialNumber,
                              location, quint16(vid), quint16(pid)),
             expected);
}

void TestSettingsDlg::portInfoLabelsToleratesShortList()
{
    SettingsDlg dlg;
    auto* ports = child<QComboBox>(&dlg, "serialPortInfoListBox");
    ports->addItem(QStringLiteral("ttyQ"), QStringList{QStringLiteral("ttyQ"), QStringLiteral("Bridge")});
    ports->setCurrentIndex(ports->count() - 1);
    QCOMPARE(child<QLabel>(&dlg, "descriptionLabel")->text(), QStringLiteral("Description: Bridge"));
    QCOMPARE(child<QLabel>(&dlg, "manufacturerLabel")->text(), QStringLiteral("Manufacturer: N/A"));
    QCOMPARE(child<QLabel>(&dlg, "pidLabel")->text(), QStringLiteral("Product Identifier: N/A"));

    // An emptied list leaves the labels as they were.
    ports->clear();
    QCOMPARE(child<QLabel>(&dlg, "descriptionLabel")->text(), QStringLiteral("Description: Bridge"));
}

QTEST_MAIN(TestSettingsDlg)
#include "tst_settingsdlg.moc"
