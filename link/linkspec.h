#pragma once

#include <QString>

struct Settings;

// One link to the energizers, whoever describes it: the site file, the
// command line or the window's setting.ini. Its text form is
// serial:PORT[@BAUD], udp:HOST:PORT, udp-client:HOST:PORT@BIND or tcp:HOST:PORT.
struct LinkSpec
{
    enum class Kind { Serial, Udp, UdpClient, Tcp };
    static constexpr qint32 DefaultBaudRate = 19200;

    Kind kind = Kind::Serial;
    // Serial: the port, and its line in QSerialPort's numbering (8N1, no flow control).
    QString portName;
    qint32 baudRate = DefaultBaudRate;
    qint32 dataBits = 8;
    qint32 parity = 0;
    qint32 stopBits = 1;
    qint32 flowControl = 0;
    // Network: the module; UdpClient also binds this machine's bindAddress with the same port.
    QString host;
    quint16 port = 0;
    QString bindAddress;

    bool isSerial() const { return kind == Kind::Serial; }
    // On refusal returns false, leaves *lineSpec alone and sets *error.
    static bool parse(const QString& text, LinkSpec* lineSpec, QString* error);
    // The text form; a serial port's line parameters beyond the baud rate are not part of it.
    QString text() const;
    // As tools name the link in topics and history entries: "ttyUSB0", "udp-IP-PORT", "tcp-IP-PORT".
    QString name() const;
    // Serial: the device the port name resolves to (through symlinks such as /dev/serial/by-id/...).
    QString devicePath() const;
    // The device or socket the link uses, resolved, so that two spellings of one compare equal:
    // "serial /dev/ttyUSB0" through any symlink, "module 127.0.0.1 4001" for a host name.
    QString endpointKey() const;
    // UdpClient: the local socket it binds; empty for the other kinds.
    QString bindKey() const;
};

// The window's connection record (setting.ini and the settings dialog) as a link.
LinkSpec linkSpec(const Settings& settings);
