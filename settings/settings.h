#pragma once

#include <QString>

// Connection settings, handed out by value by SettingsDlg::settings().
struct Settings
{
    qint32 comMode = 0;  // 0 serial, 1 network
    qint32 netMode = 0;  // 0 UDP server, 1 UDP client, 2 TCP server (module role)
    QString ipAddress;
    QString ownIpAddress;
    qint32 portNumber = 0;
    QString installerPin;
    qint32 energizerAddress = 0;
    QString portName;
    qint32 baudRate = 0;
    QString baudRateText;
    qint32 dataBits = 0;
    QString dataBitsText;
    qint32 parity = 0;
    QString parityText;
    qint32 stopBits = 0;
    QString stopBitsText;
    qint32 flowControl = 0;
    QString flowControlText;
};
