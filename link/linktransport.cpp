#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/globals.h"
#include "config/configdlg.h"
#include "device/energizer.h"
#include "link/replyassembler.h"
#include "settings/settingsdlg.h"

#include <QDebug>
#include <QHostAddress>
#include <QLabel>

namespace {

constexpr int StaleReplyMs = 3000;

QAbstractSocket* socketFor(const Settings& settings, QUdpSocket& udp, QTcpSocket& tcp)
{
    switch (settings.netMode) {
    case 0:
    case 1:
        return &udp;
    case 2:
        return &tcp;
    default:
        return nullptr;
    }
}

} // namespace

void MainWindow::energizerConnecting()
{
    qDebug() << "Trying to connect...";
    const Settings settings = settingsDlg->settings();
    energizer->address = settings.energizerAddress;
    replyAssembler->clear();

    if (settings.comMode == 0) {
        // A port that enumeration misses can still be named in the settings.
        if (settings.portName.isEmpty()) {
            statusLabel->setText(tr("Not available serial ports"));
            qDebug().noquote() << statusLabel->text();
            return;
        }
        connect(serialPort, &QSerialPort::errorOccurred, this, &MainWindow::serialPortError,
                Qt::UniqueConnection);
        serialPort->setPortName(settings.portName);
        serialPort->setBaudRate(settings.baudRate, QSerialPort::AllDirections);
        serialPort->setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
        serialPort->setParity(static_cast<QSerialPort::Parity>(settings.parity));
        serialPort->setStopBits(static_cast<QSerialPort::StopBits>(settings.stopBits));
        serialPort->setFlowControl(static_cast<QSerialPort::FlowControl>(settings.flowControl));
        if (!serialPort->open(QIODevice::ReadWrite)) {
            statusLabel->setText(tr("Connection failed. ") + serialPort->errorString());
            closeConnection();
            energizer->online = false;
            emit energizer->paramChanged();
            return;
        }
        energizer->online = true;
        emit energizer->paramChanged();
        qDebug() << "Connected";
        statusLabel->setText(serialLinkText());
        configDlg->readEnerg();
        checkInstallerPin();
        return;
    }

    if (udpSocket.isOpen())
        udpSocket.close();
    if (tcpSocket.isOpen())
        tcpSocket.close();
    const auto port = static_cast<quint16>(settings.portNumber);
    switch (settings.netMode) {
    case 0:
        udpSocket.connectToHost(settings.ipAddress, port);
        break;
    case 1:
        udpSocket.bind(QHostAddress(settings.ownIpAddress), port);
        udpSocket.connectToHost(settings.ipAddress, port);
        break;
    case 2:
        tcpSocket.connectToHost(settings.ipAddress, port);
        // Frames are a few bytes each; Nagle would hold one back for the last one's ACK.
        tcpSocket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        break;
    default:
        break;
    }
    statusLabel->setText(tr("Connecting to %1 : %2").arg(settings.ipAddress).arg(settings.portNumber));
    configDlg->readEnerg();
    checkInstallerPin();
}

void MainWindow::closeConnection()
{
    const Settings settings = settingsDlg->settings();
    if (settings.comMode == 0) {
        if (serialPort->isOpen())
            serialPort->close();
    } else if (QAbstractSocket* socket = socketFor(settings, udpSocket, tcpSocket)) {
        if (socket->isOpen())
            socket->close();
    }
    replyAssembler->clear();
    energizer->online = false;
    emit energizer->paramChanged();
}

void MainWindow::writeData(const QByteArray& data)
{
    const Settings settings = settingsDlg->settings();
    if (replyTime.elapsed() > StaleReplyMs) {
        energizer->reset();
        energizer->address = settings.energizerAddress;
    }

    if (settings.comMode == 0) {
        if (!terminalReady()) {
            statusLabel->setText(tr("Terminal is not ready"));
            energizer->online = false;
            emit energizer->paramChanged();
            energizerConnecting();
            return;
        }
        if (!serialPort->isOpen()) {
            energizerConnecting();
            return;
        }
        serialPort->write(data);
        return;
    }

    QAbstractSocket* socket = socketFor(settings, udpSocket, tcpSocket);
    if (!socket || socket->error() == QAbstractSocket::NetworkError)
        return;
    switch (socket->state()) {
    case QAbstractSocket::ConnectedState:
        socket->write(data);
        // TCP buffers the write until the event loop comes round; send it now.
        if (socket == &tcpSocket)
            tcpSocket.flush();
        break;
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        // energizerConnecting's own request lands here; reconnecting now would never end.
        break;
    default:
        energizerConnecting();
        break;
    }
}

void MainWindow::displayError(QAbstractSocket::SocketError socketError)
{
    switch (socketError) {
    case QAbstractSocket::RemoteHostClosedError:
        break;
    case QAbstractSocket::HostNotFoundError:
        qDebug() << "The host was not found. Please check the host name and port settings.";
        break;
    case QAbstractSocket::ConnectionRefusedError:
        qDebug() << "The connection was refused by the peer. Make sure the fortune server is running, "
                    "and check that the host name and port settings are correct.";
        break;
    default:
        if (QAbstractSocket* socket = socketFor(settingsDlg->settings(), udpSocket, tcpSocket))
            qDebug().noquote() << QStringLiteral("The following error occurred: ") + socket->errorString();
        break;
    }
}

void MainWindow::connected()
{
    qDebug().nospace().noquote() << sender() << " CONNECTED";
}

void MainWindow::serialPortError(QSerialPort::SerialPortError error)
{
    // A pulled adapter or a closed pseudo-terminal keeps raising these while
    // the port stays open; closing it hands reconnection to the poll cycle.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (!serialPort->isOpen())
        return;
    qDebug().noquote() << QStringLiteral("Serial port lost: ") + serialPort->errorString();
    serialPort->close();
    serialPort->clearError();
    replyAssembler->clear();
    energizer->online = false;
    emit energizer->paramChanged();
}

bool MainWindow::terminalReady()
{
    // A closed port is not ready; asking it would only warn.
    if (!serialPort->isOpen())
        return false;
    if (serialPort->error() != QSerialPort::NoError)
        serialPort->clearError();
    if (serialPort->isDataTerminalReady())
        return true;
    // Pseudo-terminals and some virtual ports have no modem lines to report.
    if (serialPort->error() == QSerialPort::UnsupportedOperationError) {
        serialPort->clearError();
        return true;
    }
    return false;
}

QString MainWindow::serialLinkText() const
{
    QString parity;
    switch (serialPort->parity()) {
    case QSerialPort::NoParity: parity = tr("No parity"); break;
    case QSerialPort::EvenParity: parity = tr("Even parity"); break;
    case QSerialPort::OddParity: parity = tr("Odd parity"); break;
    case QSerialPort::SpaceParity: parity = tr("Space parity"); break;
    case QSerialPort::MarkParity: parity = tr("Mark parity"); break;
    default: parity = tr("Unknown parity"); break;
    }
    QString stopBits;
    switch (serialPort->stopBits()) {
    case QSerialPort::OneStop: stopBits = tr("1 stop"); break;
    case QSerialPort::OneAndHalfStop: stopBits = tr("1.5 stop"); break;
    case QSerialPort::TwoStop: stopBits = tr("2 stop"); break;
    default: stopBits = tr("Unknown stop"); break;
    }
    QString flowControl;
    switch (serialPort->flowControl()) {
    case QSerialPort::NoFlowControl: flowControl = tr("No Flow Control"); break;
    case QSerialPort::HardwareControl: flowControl = tr("Hardware Flow Control"); break;
    case QSerialPort::SoftwareControl: flowControl = tr("Software Flow Control"); break;
    default: flowControl = tr("Unknown Flow Control"); break;
    }
    return tr("Connected to %1 : %2, %3, %4, %5, %6")
        .arg(serialPort->portName(), QString::number(serialPort->baudRate()),
             tr("%1 bits").arg(static_cast<int>(serialPort->dataBits())), parity, stopBits, flowControl);
}
