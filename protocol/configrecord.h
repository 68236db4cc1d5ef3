#pragma once

#include "protocol/frames.h"

#include <QMap>
#include <QStringList>
#include <QVariant>

// The energizer's 52-byte configuration block and its 74 indexed parameters.
constexpr int ParamCount = 74;

enum class ParamKind { Flag, Field, Voltage, CapVoltage, Pin };

struct ParamInfo
{
    const char* name;  // XML element name
    const char* group; // XML group element
    int byte;          // first byte (PINs: lowest byte of the packing)
    int bit;           // lowest bit (flags and fields)
    int width;         // bits of a field, digits of a PIN, 8 for voltages
    ParamKind kind;
};

// A Voltage parameter's byte counts steps of this many volts.
constexpr int VoltsPerStep = 170;

// nullptr for an index outside 0..73.
const ParamInfo* paramInfo(int index);

extern const char DefaultInstallerPin[]; // "407318", the settings' default
extern const char DefaultMasterPin[];
extern const char DefaultResetPin[];

ConfigBlock defaultConfigBlock();

// Invalid variant for an index outside 0..73.
QVariant getParam(const ConfigBlock& block, int index);
// Changes only the parameter's bits; an index outside 0..73 changes nothing.
void setParam(ConfigBlock& block, int index, const QVariant& value);

// Each zone's 15 parameters follow one another from its first index; the
// ones read by meaning elsewhere are named by their place in the zone.
constexpr int Zone1FirstParam = 30;
constexpr int Zone2FirstParam = 45;
enum class ZoneParam { CapMaxPower = 2, HighVoltageCheck = 10, HighVoltageAlarm = 11, LowVoltageAlarm = 12 };
constexpr int zoneParam(int zone, ZoneParam param)
{
    return (zone == 2 ? Zone2FirstParam : Zone1FirstParam) + static_cast<int>(param);
}

// Parameter values by index, as a file, a history entry or the dialogs'
// widgets give them.
using ParamValues = QMap<int, QVariant>;
// The one way from values to a block: each value stored onto base; every
// parameter values lacks, and every bit no parameter covers, keeps base's.
ConfigBlock applyParams(ConfigBlock base, const ParamValues& values);
// Every parameter of block, but a PIN that is not all digits: its text
// ("15" for a 0xF nibble) would be stored back as other digits.
ParamValues blockParams(const ConfigBlock& block);

// A reply's first 52 bytes as a block; false, block untouched, for a shorter one.
bool blockFromReply(const QByteArray& reply, ConfigBlock* block);

// "ZoneConfiguration1/FncAlmDelay": both zone groups use the same names.
QString configParamPath(int index);

constexpr int InstallerPinParam = 20;
constexpr int BigNetworkAddressParam = 71;
// "Group/Name" of every PIN of block that is not all decimal digits (an
// energizer without a PIN holds 0xF nibbles); such a block is never written.
QStringList pinsNotDigits(const ConfigBlock& block);
// The one rule that lets a tool change an energizer's configuration: the
// block's installer PIN, as text, equals the PIN given, exactly.
bool installerPinMatches(const ConfigBlock& block, const QString& pin);

// Bytes 3..50 are what a write sends; a read-back that holds them confirms it.
constexpr int FirstWrittenByte = 3;
constexpr int LastWrittenByte = 50;
bool readBackMatches(const ConfigBlock& sent, const ConfigBlock& readBack);
