#pragma once

#include "link/linkspec.h"

#include <QMetaType>
#include <QString>

// What happened to the line, as a value: the window turns it into its
// status-bar texts, the command line and the gateway into their own words.
struct LinkStatus
{
    enum class Kind {
        NoSerialPort,     // serial link chosen, but no port named or listed
        SerialOpened,     // portName and the link's line parameters
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
    // The link: the module's address and port, or the serial line as opened.
    LinkSpec link;
    QString portName; // as the port shows it
};
Q_DECLARE_METATYPE(LinkStatus)
