#include "protocol/configrecord.h"

#include <QString>

#include <algorithm>
#include <cmath>

const char DefaultInstallerPin[] = "407318";
const char DefaultMasterPin[] = "1234";
const char DefaultResetPin[] = "0000";

namespace {

constexpr int Zone1 = 14;
constexpr int Zone2 = 24;

#define ZONE_PARAMS(group, z)                                                   \
    { "FncInterferenceAlarm", group, (z) + 6, 7, 1, ParamKind::Flag },          \
    { "FncAlmByps", group, (z) + 7, 7, 1, ParamKind::Flag },                    \
    { "StrgCapMaxAlldPwr", group, (z) + 0, 0, 8, ParamKind::CapVoltage },       \
    { "FncAlmDelay", group, (z) + 6, 0, 4, ParamKind::Field },                  \
    { "FncConditionChckLvl", group, (z) + 6, 4, 3, ParamKind::Field },          \
    { "FncArcingDtctTreshold", group, (z) + 7, 0, 7, ParamKind::Field },        \
    { "FncArcingDtctFilter", group, (z) + 8, 0, 3, ParamKind::Field },          \
    { "FncArcingReleaseFilter", group, (z) + 8, 3, 5, ParamKind::Field },       \
    { "FncControlMethod", group, (z) + 9, 0, 3, ParamKind::Field },             \
    { "FncStateAtPowerOn", group, (z) + 9, 5, 2, ParamKind::Field },            \
    { "FncHighVltgChkThreshold", group, (z) + 3, 0, 8, ParamKind::Voltage },    \
    { "FncHighVltgAlrmThreshold", group, (z) + 4, 0, 8, ParamKind::Voltage },   \
    { "FncLowVltgAlrmThreshold", group, (z) + 5, 0, 8, ParamKind::Voltage },    \
    { "FncLowPwrVltg", group, (z) + 1, 0, 8, ParamKind::Voltage },              \
    { "FncHighPwrVltg", group, (z) + 2, 0, 8, ParamKind::Voltage }

// Indexed by parameter number; the numbers are fixed by the energizer's
// firmware and by every saved file, so entries must never be reordered.
const ParamInfo params[ParamCount] = {
    { "ArmRelayFunc", "Options", 44, 3, 2, ParamKind::Field },          // 0
    { "SilentAlrm", "Options", 44, 5, 1, ParamKind::Flag },
    { "ActiveState", "Options", 44, 6, 1, ParamKind::Flag },
    { "AlmMute", "Options", 44, 7, 1, ParamKind::Flag },
    { "ServiceAlrm", "Options", 47, 1, 1, ParamKind::Flag },
    { "TamperAlrm", "Options", 47, 0, 1, ParamKind::Flag },             // 5
    { "MagSwitch", "Options", 47, 2, 1, ParamKind::Flag },
    { "Solar", "Options", 47, 3, 1, ParamKind::Flag },
    { "ServiceTelNo", "Options", 47, 4, 1, ParamKind::Flag },
    { "ShowKeyPress", "Options", 47, 5, 1, ParamKind::Flag },
    { "AlrmSensor", "Options", 47, 6, 1, ParamKind::Flag },             // 10
    { "MainFailChime", "Options", 47, 7, 1, ParamKind::Flag },
    { "PassiveSync", "Options", 48, 7, 1, ParamKind::Flag },
    { "GateAlarmByps", "Options", 34, 1, 1, ParamKind::Flag },
    { "GateAlarmInst", "Options", 34, 0, 1, ParamKind::Flag },
    { "GateChime", "Options", 34, 2, 1, ParamKind::Flag },              // 15
    { "GateChimeClose", "Options", 34, 3, 1, ParamKind::Flag },
    { "GateAlarmDelay", "Options", 35, 0, 8, ParamKind::Field },
    { "Z1StrobeRlyFunc", "Options", 45, 0, 2, ParamKind::Field },
    { "Z2StrobeRlyFunc", "Options", 45, 2, 2, ParamKind::Field },
    { "InstallerPIN", "Options", 6, 0, 6, ParamKind::Pin },             // 20
    { "MasterPIN", "Options", 10, 0, 4, ParamKind::Pin },
    { "ResetPIN", "Options", 12, 0, 4, ParamKind::Pin },
    { "AlarmOnTime", "Options", 42, 0, 8, ParamKind::Field },
    { "AlarmOffTime", "Options", 43, 0, 8, ParamKind::Field },
    { "AlarmRearmTimeLow", "Options", 40, 0, 8, ParamKind::Field },     // 25
    { "AlarmRearmTimeHigh", "Options", 41, 0, 8, ParamKind::Field },
    { "EventsBeforeRearm", "Options", 44, 0, 3, ParamKind::Field },
    { "LCD1", "Options", 46, 0, 4, ParamKind::Field },
    { "LCD2", "Options", 46, 4, 4, ParamKind::Field },
    ZONE_PARAMS("ZoneConfiguration1", Zone1),                           // 30..44
    ZONE_PARAMS("ZoneConfiguration2", Zone2),                           // 45..59
    { "GateInputFunction", "Inputs", 36, 0, 3, ParamKind::Field },      // 60
    { "PanicInputFunction", "Inputs", 37, 4, 3, ParamKind::Field },
    { "ZoneOnOffInputFunction1", "Inputs", 36, 4, 3, ParamKind::Field },
    { "ZoneOnOffInputFunction2", "Inputs", 37, 0, 3, ParamKind::Field },
    { "ZoneHiLoInputFunction1", "Inputs", 38, 0, 3, ParamKind::Field },
    { "ZoneHiLoInputFunction2", "Inputs", 38, 4, 3, ParamKind::Field }, // 65
    { "ZoneOnOffInputToggle1", "Inputs", 36, 7, 1, ParamKind::Flag },
    { "ZoneOnOffInputToggle2", "Inputs", 37, 3, 1, ParamKind::Flag },
    { "ZoneHiLoInputToggle1", "Inputs", 38, 3, 1, ParamKind::Flag },
    { "ZoneHiLoInputToggle2", "Inputs", 38, 7, 1, ParamKind::Flag },
    { "SlaveEnergizerPresent", "Network", 48, 3, 1, ParamKind::Flag },  // 70
    { "BigNetworkAddress", "Network", 50, 0, 6, ParamKind::Field },
    { "ExpansionCardConfiguration", "Network", 49, 0, 4, ParamKind::Field },
    { "NetworkAdapterType", "Network", 48, 0, 3, ParamKind::Field },
};

#undef ZONE_PARAMS

// Nearest integer, exactly halfway going to the larger one, reduced modulo
// 2^32. Defined for every double; NaN and infinities give 0.
quint32 roundToLow32(double value)
{
    if (!std::isfinite(value))
        return 0;
    double whole = std::floor(value);
    if (value - whole >= 0.5)
        whole += 1.0;
    double low = std::fmod(whole, 4294967296.0);
    if (low < 0)
        low += 4294967296.0;
    return static_cast<quint32>(low);
}

// QVariant's own int conversion, minus its undefined behaviour for doubles
// outside the int range: strings parse as decimal, anything else goes
// through QVariant.
int toInt(const QVariant& value)
{
    switch (static_cast<int>(value.type())) {
    case QMetaType::Double:
    case QMetaType::Float:
        return static_cast<int>(roundToLow32(value.toDouble()));
    case QMetaType::QString: {
        bool ok = false;
        const qlonglong n = value.toString().toLongLong(&ok, 10);
        return ok ? static_cast<int>(static_cast<quint32>(n)) : 0;
    }
    default:
        return value.toInt();
    }
}

double toDouble(const QVariant& value)
{
    const double d = value.toDouble();
    return std::isfinite(d) ? d : 0.0;
}

void writeBits(quint8& byte, int bit, int width, unsigned int value)
{
    const unsigned int mask = ((1u << width) - 1u) << bit;
    byte = static_cast<quint8>((byte & ~mask) | ((value << bit) & mask));
}

// Byte holding PIN digit p (0-based); even digits sit in the high nibble.
// Digits run from the highest-numbered byte down.
int pinByte(const ParamInfo& info, int p)
{
    return info.byte + info.width / 2 - 1 - p / 2;
}

QString readPin(const ConfigBlock& block, const ParamInfo& info)
{
    QString text;
    for (int p = 0; p < info.width; ++p) {
        const quint8 byte = block[static_cast<std::size_t>(pinByte(info, p))];
        const int nibble = (p % 2 == 0) ? byte >> 4 : byte & 0x0F;
        text += QString::number(nibble);
    }
    return text;
}

void writePin(ConfigBlock& block, const ParamInfo& info, const QString& text)
{
    for (int p = 0; p < info.width; ++p) {
        const QChar c = p < text.size() ? text.at(p) : QChar(0);
        const unsigned int nibble = static_cast<unsigned int>(c.digitValue()) & 0x0Fu;
        quint8& byte = block[static_cast<std::size_t>(pinByte(info, p))];
        writeBits(byte, (p % 2 == 0) ? 4 : 0, 4, nibble);
    }
}

ConfigBlock makeDefaultBlock()
{
    static const quint8 head[6] = { 0x00, 0x01, 0x82, 0x03, 0x53, 0x08 };
    static const quint8 zone[10] = { 0x7A, 0x08, 0x30, 0x17, 0x11, 0x04, 0xC3, 0x16, 0x52, 0x51 };
    static const quint8 tail[17] = { 0x04, 0x3C, 0x00, 0x00, 0x00, 0x00,       // 34..39
                                     0xC0, 0x21, 0x78, 0xB4, 0x03, 0x00, 0x0F, // 40..46
                                     0xA7, 0x00, 0x00, 0x01 };                 // 47..50
    ConfigBlock block{};
    std::copy(std::begin(head), std::end(head), block.begin());
    std::copy(std::begin(zone), std::end(zone), block.begin() + Zone1);
    std::copy(std::begin(zone), std::end(zone), block.begin() + Zone2);
    std::copy(std::begin(tail), std::end(tail), block.begin() + 34);
    writePin(block, params[20], QString::fromLatin1(DefaultInstallerPin));
    writePin(block, params[21], QString::fromLatin1(DefaultMasterPin));
    writePin(block, params[22], QString::fromLatin1(DefaultResetPin));
    return block;
}

} // namespace

const ParamInfo* paramInfo(int index)
{
    if (index < 0 || index >= ParamCount)
        return nullptr;
    return &params[index];
}

ConfigBlock defaultConfigBlock()
{
    static const ConfigBlock block = makeDefaultBlock();
    return block;
}

QVariant getParam(const ConfigBlock& block, int index)
{
    const ParamInfo* info = paramInfo(index);
    if (!info)
        return {};
    const quint8 byte = block[static_cast<std::size_t>(info->byte)];
    switch (info->kind) {
    case ParamKind::Flag:
    case ParamKind::Field:
        return static_cast<int>((byte >> info->bit) & ((1u << info->width) - 1u));
    case ParamKind::Voltage:
        return byte * double(VoltsPerStep);
    case ParamKind::CapVoltage:
        return byte * 3.9;
    case ParamKind::Pin:
        return readPin(block, *info);
    }
    return {};
}

void setParam(ConfigBlock& block, int index, const QVariant& value)
{
    const ParamInfo* info = paramInfo(index);
    if (!info)
        return;
    quint8& byte = block[static_cast<std::size_t>(info->byte)];
    switch (info->kind) {
    case ParamKind::Flag:
        writeBits(byte, info->bit, 1, toInt(value) != 0 ? 1u : 0u);
        break;
    case ParamKind::Field:
        writeBits(byte, info->bit, info->width, static_cast<unsigned int>(toInt(value)));
        break;
    case ParamKind::Voltage:
        byte = static_cast<quint8>(roundToLow32(toDouble(value) / VoltsPerStep));
        break;
    case ParamKind::CapVoltage:
        byte = static_cast<quint8>(roundToLow32(toDouble(value) / 3.9));
        break;
    case ParamKind::Pin:
        writePin(block, *info, value.toString());
        break;
    }
}

ConfigBlock applyParams(ConfigBlock base, const ParamValues& values)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        setParam(base, it.key(), it.value());
    return base;
}

ParamValues blockParams(const ConfigBlock& block)
{
    ParamValues values;
    const QStringList unreadable = pinsNotDigits(block);
    for (int i = 0; i < ParamCount; ++i) {
        if (!unreadable.contains(configParamPath(i)))
            values.insert(i, getParam(block, i));
    }
    return values;
}

bool blockFromReply(const QByteArray& reply, ConfigBlock* block)
{
    if (reply.size() < ConfigBlockSize)
        return false;
    std::copy(reply.cbegin(), reply.cbegin() + ConfigBlockSize, block->begin());
    return true;
}

QString configParamPath(int index)
{
    const ParamInfo* info = paramInfo(index);
    return QLatin1String(info->group) + QLatin1Char('/') + QLatin1String(info->name);
}

QStringList pinsNotDigits(const ConfigBlock& block)
{
    QStringList names;
    for (int i = 0; i < ParamCount; ++i) {
        // A nibble above 9 reads as two characters.
        if (params[i].kind == ParamKind::Pin && getParam(block, i).toString().size() != params[i].width)
            names << configParamPath(i);
    }
    return names;
}

bool installerPinMatches(const ConfigBlock& block, const QString& pin)
{
    return getParam(block, InstallerPinParam).toString() == pin;
}

bool readBackMatches(const ConfigBlock& sent, const ConfigBlock& readBack)
{
    return std::equal(sent.begin() + FirstWrittenByte, sent.begin() + LastWrittenByte + 1, readBack.begin() + FirstWrittenByte);
}
