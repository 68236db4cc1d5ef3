#pragma once

#include <QString>
#include <QStringList>

enum class Transport { Udp, Tcp, Pty };

struct FaultOptions
{
    int splitBytes = 0; // 0: reply in one write
    int splitMs = 0;
    int trailing = 0;
    int noise = 0;
    bool merge = false;
    double drop = 0.0;
    int delayMs = 0;
    int silentAfter = -1; // -1: never
};

struct SimOptions
{
    Transport transport = Transport::Udp;
    quint16 port = 0;
    QString ptyPath;
    int address = 1;
    QString configFile;
    FaultOptions faults;
    quint32 seed = 1;
    bool verbose = false;
    bool zonesOn = false; // start with both zones on in high voltage
    bool ignoreWrites = false; // take configuration writes without storing them
    QStringList setBits; // "name" or "name=0|1"
};

// Parses the command line (arguments()[0] is the program). On failure returns
// false with a message in *error; --help fills *error with the usage and sets *help.
bool parseSimOptions(const QStringList& arguments, SimOptions& options, QString* error, bool* help);
