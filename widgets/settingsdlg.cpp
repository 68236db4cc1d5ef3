#include "widgets/settingsdlg.h"
#include "ui_settingsdlg.h"

#include "protocol/configrecord.h"
#include "protocol/settingsfile.h"

#include <QCompleter>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QSerialPort>
#include <QSerialPortInfo>


QStringList serialPortFields(const QString& name, const QString& description, const QString& manufacturer,
                             const QString& serialNumber, const QString& location, quint16 vendorId,
                             quint16 productId)
{
    const QString na = SettingsDlg::tr("N/A");
    const auto orNa = [&na](const QString& text) { return text.isEmpty() ? na : text; };
    const auto hexOrNa = [&na](quint16 id) { return id == 0 ? na : QString::number(id, 16); };
    return {name, orNa(description), orNa(manufacturer), orNa(serialNumber), location, hexOrNa(vendorId),
            hexOrNa(productId)};
}

SettingsDlg::SettingsDlg(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::SettingsDlg)
{
    ui->setupUi(this);
    ui->edtInstallerPIN->setText(QLatin1String(DefaultInstallerPin));
    ui->spnEnergizerAddress->setRange(MinEnergizerAddress, MaxEnergizerAddress);
    ui->baudRateBox->setInsertPolicy(QComboBox::NoInsert);
    // Port names may be typed; device names differ by case on some systems.
    ui->serialPortInfoListBox->completer()->setCaseSensitivity(Qt::CaseSensitive);

    // The TCP-server role can only arrive from setting.ini.
    ui->rbUDPserver->setVisible(true);
    ui->rbUDPclient->setVisible(true);
    ui->rbTCPserver->setVisible(false);

    connect(ui->btnScan, &QPushButton::clicked, this, &SettingsDlg::fillPortsInfo);
    connect(ui->btnApply, &QPushButton::clicked, this, &SettingsDlg::apply);
    connect(ui->btnCancel, &QPushButton::clicked, this, &SettingsDlg::reject);
    connect(ui->serialPortInfoListBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SettingsDlg::showPortInfo);
    connect(ui->rbSerial, &QRadioButton::toggled, this, &SettingsDlg::switchMode);
    connect(ui->rbTCP, &QRadioButton::toggled, this, &SettingsDlg::switchMode);

    fillPortsParameters();
    fillPortsInfo();

    const auto addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& address : addresses) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol || address == QHostAddress(QHostAddress::LocalHost))
            continue;
        ui->cbOwnIP->addItem(address.toString());
    }

    // Bring the file in line with what the dialog shows.
    loadSettings();
    updateSettings();
}

SettingsDlg::~SettingsDlg()
{
    delete ui;
}

Settings SettingsDlg::settings() const
{
    return m_settings;
}

void SettingsDlg::fillPortsParameters()
{
    const auto fill = [](QComboBox* box, const QVector<QPair<QString, int>>& items, int current) {
        for (const auto& item : items)
            box->addItem(item.first, item.second);
        box->setCurrentIndex(current);
    };
    fill(ui->baudRateBox, {{QStringLiteral("9600"), QSerialPort::Baud9600}, {QStringLiteral("19200"), QSerialPort::Baud19200},
                           {QStringLiteral("38400"), QSerialPort::Baud38400}, {QStringLiteral("115200"), QSerialPort::Baud115200}}, 1);
    fill(ui->dataBitsBox, {{QStringLiteral("5"), QSerialPort::Data5}, {QStringLiteral("6"), QSerialPort::Data6},
                           {QStringLiteral("7"), QSerialPort::Data7}, {QStringLiteral("8"), QSerialPort::Data8}}, 3);
    fill(ui->parityBox, {{tr("None"), QSerialPort::NoParity}, {tr("Even"), QSerialPort::EvenParity},
                         {tr("Odd"), QSerialPort::OddParity}, {tr("Mark"), QSerialPort::MarkParity},
                         {tr("Space"), QSerialPort::SpaceParity}}, 0);
    fill(ui->stopBitsBox, {{QStringLiteral("1"), QSerialPort::OneStop}, {tr("1.5"), QSerialPort::OneAndHalfStop},
                           {QStringLiteral("2"), QSerialPort::TwoStop}}, 0);
    fill(ui->flowControlBox, {{tr("None"), QSerialPort::NoFlowControl}, {tr("RTS/CTS"), QSerialPort::HardwareControl},
                              {tr("XON/XOFF"), QSerialPort::SoftwareControl}}, 0);
}

void SettingsDlg::fillPortsInfo()
{
    ui->serialPortInfoListBox->clear();
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        const QStringList fields = serialPortFields(info.portName(), info.description(), info.manufacturer(),
                                                    info.serialNumber(), info.systemLocation(),
                                                    info.vendorIdentifier(), info.productIdentifier());
        ui->serialPortInfoListBox->addItem(fields.first(), fields);
    }
}

void SettingsDlg::showPortInfo(int index)
{
    if (index == -1)
        return;
    const QStringList list = ui->serialPortInfoListBox->itemData(index).toStringList();
    const auto field = [&list](int i) { return i < list.count() ? list.at(i) : tr("N/A"); };
    ui->descriptionLabel->setText(tr("Description: %1").arg(field(1)));
    ui->manufacturerLabel->setText(tr("Manufacturer: %1").arg(field(2)));
    ui->serialNumberLabel->setText(tr("Serial number: %1").arg(field(3)));
    ui->locationLabel->setText(tr("Location: %1").arg(field(4)));
    ui->vidLabel->setText(tr("Vendor Identifier: %1").arg(field(5)));
    ui->pidLabel->setText(tr("Product Identifier: %1").arg(field(6)));
}

void SettingsDlg::apply()
{
    updateSettings();
    accept();
}

void SettingsDlg::switchMode()
{
    const bool serial = ui->rbSerial->isChecked();
    ui->selectBox->setEnabled(serial);
    ui->parametersBox->setEnabled(serial);
    ui->groupBox->setEnabled(!serial);
}

void SettingsDlg::loadSettings()
{
    loadSettingsFile(settingsFilePath(), m_settings);

    const int ownIndex = ui->cbOwnIP->findText(m_settings.ownIpAddress);
    if (ownIndex >= 0)
        ui->cbOwnIP->setCurrentIndex(ownIndex);
    ui->edtIP->setText(m_settings.ipAddress);
    ui->spnPort->setValue(m_settings.portNumber);

    (m_settings.comMode != 0 ? ui->rbTCP : ui->rbSerial)->setChecked(true);
    // netMode: 0 UDP server, 1 UDP client, anything else TCP server.
    QRadioButton* const roles[] = {ui->rbUDPserver, ui->rbUDPclient, ui->rbTCPserver};
    roles[m_settings.netMode == 0 || m_settings.netMode == 1 ? m_settings.netMode : 2]->setChecked(true);
    ui->spnEventDays->setValue(m_settings.timelineEventDays);
    ui->spnReadingDays->setValue(m_settings.timelineReadingDays);

    switchMode();
}

void SettingsDlg::updateSettings()
{
    // Editable, so a port the system does not list can be typed in.
    m_settings.portName = ui->serialPortInfoListBox->currentText();

    m_settings.baudRate = ui->baudRateBox->currentData().toInt();
    m_settings.baudRateText = QString::number(m_settings.baudRate);
    m_settings.dataBits = ui->dataBitsBox->currentData().toInt();
    m_settings.dataBitsText = ui->dataBitsBox->currentText();
    m_settings.parity = ui->parityBox->currentData().toInt();
    m_settings.parityText = ui->parityBox->currentText();
    m_settings.stopBits = ui->stopBitsBox->currentData().toInt();
    m_settings.stopBitsText = ui->stopBitsBox->currentText();
    m_settings.flowControl = ui->flowControlBox->currentData().toInt();
    m_settings.flowControlText = ui->flowControlBox->currentText();

    m_settings.energizerAddress = ui->spnEnergizerAddress->value();
    m_settings.installerPin = ui->edtInstallerPIN->text();

    m_settings.ownIpAddress = ui->cbOwnIP->currentText();
    m_settings.ipAddress = ui->edtIP->text();
    m_settings.portNumber = ui->spnPort->value();

    m_settings.comMode = ui->rbSerial->isChecked() ? 0 : 1;
    m_settings.netMode = ui->rbUDPserver->isChecked() ? 0 : ui->rbUDPclient->isChecked() ? 1 : 2;
    m_settings.timelineEventDays = ui->spnEventDays->value();
    m_settings.timelineReadingDays = ui->spnReadingDays->value();

    saveSettingsFile(settingsFilePath(), m_settings);
}
