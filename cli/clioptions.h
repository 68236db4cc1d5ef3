#pragma once

#include "link/linkspec.h"
#include "link/zoneswitch.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <climits>
#include <memory>

class CliCommand;
class EnergizerLink;
class HistoryKeeper;
struct CliRequest;

// One command of the tool as the command table declares it.
struct CommandSpec
{
    enum class Addresses { One, List, Range }; // Range: --from..--to instead of --address
    // Default: the group's word alone means it; TextFormat: --format text too.
    enum Flag { KeepsHistory = 1, NoLink = 2, Default = 4, TextFormat = 8 };
    using Maker = std::unique_ptr<CliCommand> (*)(EnergizerLink&, const CliRequest&, HistoryKeeper&);

    const char* name;      // "status", "config write"
    const char* arguments; // the words after the name as --help shows them; each one in the argument table
    const char* options;   // the names of its options, in the order --help shows them
    Addresses addresses;
    int flags;
    const char* help;
    Maker make; // nullptr: the MQTT bridge, which parses its own words
};

// One run of the tool as the command line asks for it: the link, the
// command and that command's options, all checked.
struct CliRequest
{
    LinkSpec link;
    QVector<int> addresses{1};
    int timeoutMs = 2000;
    bool verbose = false;

    const CommandSpec* command = nullptr;
    QString subcommand; // config: read, show, diff, write, restore; history: list, show, diff
    QStringList rest;   // the words after the command, untouched (mqtt parses its own)

    bool json = false;
    int intervalMs = 1000;
    int count = 0; // watch: 0 runs until stopped
    bool jsonLines = false;
    QString format; // --format as given; empty: the command's default
    QString outputFile;
    QString file; // config diff/write
    QString historyFile;    // --history, or the user's default store
    bool historyFileGiven = false;
    QString timelineFile;   // --timeline, or the user's default timeline
    qint64 sinceMs = LLONG_MIN; // events, trend
    qint64 untilMs = LLONG_MAX;
    qint64 entryId = 0;     // config restore, history show/diff
    qint64 secondEntryId = 0; // history diff ID ID2; 0: against the energizer now
    bool addressGiven = false;
    bool dryRun = false;
    bool force = false;                  // config restore onto another energizer
    QString pinFile;                     // --pin-file
    bool networkAddressFromFile = false; // the file's or entry's BigNetworkAddress, not the energizer's
    QString linkFilter;     // history --link
    int limit = 0;          // history --limit; 0: all
    QString pin = QStringLiteral("407318");
    int zone = 1;
    ZoneSwitch::Action action = ZoneSwitch::Action::On;
    int scanFrom = 0;
    int scanTo = 63;
};

struct ParseOutcome
{
    enum Kind { Run, Help, Version, Error };
    Kind kind = Run;
    int status = 0;  // exit status of an Error
    QString message; // its one-line reason
};

// False for history commands that need no energizer: they open no link.
bool needsLink(const CliRequest& request);
// The connection options that reach request's link again, for a hint such as a restore command.
QString connectionArguments(const CliRequest& request);

// arguments[0] is the program. Reads setting.ini (or --settings FILE) when no
// connection option is given.
ParseOutcome parseCommandLine(const QStringList& arguments, CliRequest& request);
QString usageText();
