#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

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

// One served address: the global options with its own --fault and --config-for applied.
struct StationOptions
{
    int address = 1;
    QString configFile;
    FaultOptions faults;
    bool ignoreWrites = false;
};

// The line the replies share: its rate, the energizer's turnaround, and whether
// overlapping requests garble each other.
struct LineOptions
{
    int lineRate = 0; // baud; 0: replies take no time on the line
    int turnaroundMs = 0;
    bool collide = false;
};

struct SimOptions
{
    Transport transport = Transport::Udp;
    quint16 port = 0;
    QString ptyPath;
    QVector<StationOptions> stations; // ascending by address, at least one
    FaultOptions faults; // global; split and merge act on the line, the rest per address
    LineOptions line;
    quint32 seed = 1;
    bool verbose = false;
    bool zonesOn = false; // start with both zones on in high voltage
    QStringList setBits; // "name" or "name=0|1"
};

// Parses the command line (arguments()[0] is the program). On failure returns
// false with a message in *error; --help fills *error with the usage and sets *help.
bool parseSimOptions(const QStringList& arguments, SimOptions& options, QString* error, bool* help);
