#pragma once

#include <QString>

// Energizer addresses, as the settings and every tool allow them.
constexpr int MinEnergizerAddress = 0;
constexpr int MaxEnergizerAddress = 63;

// How long the window's timeline keeps its events and minute readings.
constexpr int DefaultTimelineEventDays = 400;
constexpr int DefaultTimelineReadingDays = 90;
constexpr int MaxTimelineDays = 36500;

// How the tool reaches the energizer. setting.ini keeps these as integers.
enum class LinkKind { Serial = 0, Network = 1 };                 // comMode
enum class ModuleRole { UdpServer = 0, UdpClient = 1, TcpServer = 2 }; // netMode

// Connection settings, handed out by value by SettingsDlg::settings().
struct Settings
{
    qint32 comMode = 0;  // 0 serial, any other value network
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
    qint32 timelineEventDays = DefaultTimelineEventDays;
    qint32 timelineReadingDays = DefaultTimelineReadingDays;

    LinkKind linkKind() const { return comMode == 0 ? LinkKind::Serial : LinkKind::Network; }
    // Roles other than 0 and 1 arrive from setting.ini only, and mean TCP.
    ModuleRole moduleRole() const
    {
        return netMode == 0 ? ModuleRole::UdpServer : netMode == 1 ? ModuleRole::UdpClient : ModuleRole::TcpServer;
    }
};
