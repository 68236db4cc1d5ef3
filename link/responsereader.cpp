#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/globals.h"
#include "config/configdlg.h"
#include "device/energizer.h"
#include "device/statusrecord.h"
#include "link/frames.h"
#include "link/replyassembler.h"
#include "settings/settingsdlg.h"

#include <QDebug>
#include <QLabel>
#include <QNetworkDatagram>

namespace {
constexpr qint32 MaxPass = 2047;
}

void MainWindow::readData()
{
    const Settings settings = settingsDlg->settings();
    if (settings.comMode == 0) {
        statusLabel->setText(serialLinkText());
        // A socket may still signal just after the settings switched to serial.
        if (serialPort->isOpen())
            replyAssembler->feed(serialPort->readAll());
        return;
    }

    statusLabel->setText(tr("Connected to %1 : %2").arg(settings.ipAddress).arg(settings.portNumber));
    switch (settings.netMode) {
    case 0:
    case 1:
        // Each datagram is a burst of its own.
        while (udpSocket.hasPendingDatagrams())
            replyAssembler->feed(udpSocket.receiveDatagram().data());
        break;
    case 2:
        while (tcpSocket.bytesAvailable() > 0) {
            QByteArray chunk = tcpSocket.read(1);
            const qint64 available = tcpSocket.bytesAvailable();
            qDebug().nospace() << "Storeblockcnt: " << available;
            pendingBytes = static_cast<qint32>(qMin<qint64>(available, MaxPass));
            qDebug() << "There are still incoming characters";
            chunk += tcpSocket.read(pendingBytes);
            pendingBytes = 0;
            replyAssembler->feed(chunk);
        }
        qDebug() << "waiting ";
        break;
    default:
        break;
    }
}

void MainWindow::dispatchReply(const QByteArray& reply)
{
    if (reply.size() <= 2)
        return;
    switch (static_cast<quint8>(reply.at(2))) {
    case Frame::RespStatus:
        replyTime.restart();
        decodeStatus(reply);
        if (!ui->btnConfig->isEnabled())
            configDlg->readEnerg();
        break;
    case Frame::RespConfig:
        qDebug() << "Response to configuration reading = 0x82";
        configDlg->setConfig(reply);
        checkInstallerPin();
        break;
    default:
        break;
    }
}

void MainWindow::decodeStatus(const QByteArray& reply)
{
    ::decodeStatus(*energizer, reply);
}
