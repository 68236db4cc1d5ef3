#include "app/linkstatustext.h"

#include <QCoreApplication>
#include <QSerialPort>

namespace {

// The texts keep the context they have always been translated in.

QString serialText(const LinkStatus& s)
{
    QString parity;
    switch (s.link.parity) {
    case QSerialPort::NoParity: parity = QCoreApplication::translate("EnergizerLink", "No parity"); break;
    case QSerialPort::EvenParity: parity = QCoreApplication::translate("EnergizerLink", "Even parity"); break;
    case QSerialPort::OddParity: parity = QCoreApplication::translate("EnergizerLink", "Odd parity"); break;
    case QSerialPort::SpaceParity: parity = QCoreApplication::translate("EnergizerLink", "Space parity"); break;
    case QSerialPort::MarkParity: parity = QCoreApplication::translate("EnergizerLink", "Mark parity"); break;
    default: parity = QCoreApplication::translate("EnergizerLink", "Unknown parity"); break;
    }
    QString stopBits;
    switch (s.link.stopBits) {
    case QSerialPort::OneStop: stopBits = QCoreApplication::translate("EnergizerLink", "1 stop"); break;
    case QSerialPort::OneAndHalfStop: stopBits = QCoreApplication::translate("EnergizerLink", "1.5 stop"); break;
    case QSerialPort::TwoStop: stopBits = QCoreApplication::translate("EnergizerLink", "2 stop"); break;
    default: stopBits = QCoreApplication::translate("EnergizerLink", "Unknown stop"); break;
    }
    QString flowControl;
    switch (s.link.flowControl) {
    case QSerialPort::NoFlowControl: flowControl = QCoreApplication::translate("EnergizerLink", "No Flow Control"); break;
    case QSerialPort::HardwareControl: flowControl = QCoreApplication::translate("EnergizerLink", "Hardware Flow Control"); break;
    case QSerialPort::SoftwareControl: flowControl = QCoreApplication::translate("EnergizerLink", "Software Flow Control"); break;
    default: flowControl = QCoreApplication::translate("EnergizerLink", "Unknown Flow Control"); break;
    }
    return QCoreApplication::translate("EnergizerLink", "Connected to %1 : %2, %3, %4, %5, %6")
        .arg(s.portName, QString::number(s.link.baudRate), QCoreApplication::translate("EnergizerLink", "%1 bits").arg(s.link.dataBits), parity, stopBits, flowControl);
}

} // namespace

QString linkStatusText(const LinkStatus& s)
{
    using K = LinkStatus::Kind;
    switch (s.kind) {
    case K::NoSerialPort:
        return QCoreApplication::translate("EnergizerLink", "Not available serial ports");
    case K::SerialOpened:
        return serialText(s);
    case K::SerialOpenFailed:
        return QCoreApplication::translate("EnergizerLink", "Connection failed. ") + s.systemText;
    case K::TerminalNotReady:
        return QCoreApplication::translate("EnergizerLink", "Terminal is not ready");
    case K::Connecting:
        return QCoreApplication::translate("EnergizerLink", "Connecting to %1 : %2").arg(s.link.host).arg(s.link.port);
    case K::DataArrived:
        return s.link.isSerial() ? serialText(s) : QCoreApplication::translate("EnergizerLink", "Connected to %1 : %2").arg(s.link.host).arg(s.link.port);
    case K::SerialLost:
    case K::BindFailed:
    case K::SocketError:
        break;
    }
    return {};
}
