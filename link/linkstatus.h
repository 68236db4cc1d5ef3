#pragma once

#include <QMetaType>
#include <QString>

// What happened to the line, as a value: the window turns it into its
// status-bar texts, the command line and the gateway into their own words.
struct LinkStatus
{
    enum class Kind {
        NoSerialPort,     // serial link chosen, but no port named or listed
        SerialOpened,     // portName and the line parameters below
        SerialOpenFailed, // systemText: the port's error
        SerialLost,       // an open port failed (adapter pulled); systemText
        TerminalNotReady, // a frame was due on a port that is not ready
        Connecting,       // host, port: a network connect started
        DataArrived,      // host, port: bytes came in
        BindFailed,       // UDP client: this PC's address and port could not be bound
        SocketError,      // systemText: refused, unreachable, ...
    };

    Kind kind = Kind::NoSerialPort;
    QString systemText;
    bool serial = false;
    // The link: the settings' module address and port, or the serial line as opened.
    QString host;
    int port = 0;
    QString portName;
    int baudRate = 0;
    int dataBits = 0;
    int parity = 0;      // QSerialPort numbering
    int stopBits = 0;
    int flowControl = 0;
};
Q_DECLARE_METATYPE(LinkStatus)
