#include "sim/simenergizer.h"

#include "protocol/frames.h"

#include <algorithm>

namespace {

struct BitName
{
    const char* name;
    int offset; // byte within the status reply
    int bit;
};

// Alarm, output and input bits the status block carries.
const BitName bitTable[] = {
    {"mains", 4, 0},       {"magswitch", 4, 1},   {"tamper", 4, 2},       {"syncmaster", 4, 3},
    {"gate", 5, 0},        {"siren", 5, 1},       {"strobe1", 5, 2},      {"strobe2", 5, 3},
    {"hv1input", 6, 0},    {"hv2input", 6, 1},    {"panic", 6, 2},        {"on1input", 6, 3},
    {"on2input", 6, 4},    {"gateinput", 6, 5},   {"auxfuse", 8, 0},      {"batteryfuse", 8, 1},
    {"syncloss", 8, 4},    {"service", 8, 7},
    {"vout1", 14, 0},      {"scr1", 14, 1},       {"flyback1", 14, 2},    {"interference1", 14, 3},
    {"vout2", 21, 0},      {"scr2", 21, 1},       {"flyback2", 21, 2},    {"interference2", 21, 3},
};

const BitName* findBit(const QString& name)
{
    for (const BitName& b : bitTable)
        if (name == QLatin1String(b.name))
            return &b;
    return nullptr;
}

// Status reply offsets of the two zones' blocks (level, mode, flags, cap, output, return).
constexpr int zoneOffset[2] = {12, 19};

constexpr int ConditionGood = 1;

// Energizers on one line are told apart by their output voltages: each address
// is 2500 V (20 counts) above the one before, in a cycle of ten (1 and 11 alike).
constexpr int OutputStepCounts = 20;
constexpr int OutputBands = 10;
constexpr int ModeLow = 1;
constexpr int ModeHigh = 2;

} // namespace

void Wander::setRange(int low, int high)
{
    lo = low;
    hi = high;
    value = std::clamp(value, lo, hi);
}

void Wander::step(QRandomGenerator& rng)
{
    value = std::clamp(value + rng.bounded(-1, 2), lo, hi);
}

SimEnergizer::SimEnergizer(int address, const ConfigBlock& config, quint32 seed, QObject* parent)
    : QObject(parent), m_address(address), m_outputOffset(OutputStepCounts * ((address + OutputBands - 1) % OutputBands)),
      m_config(config), m_rng(seed)
{
    m_flags[4] |= 0x08; // stand-alone: sync master
    m_battery.setRange(107, 111);   // 13.4 .. 13.9 V in 0.125 V counts
    m_battery.value = 109;
    m_supply.setRange(126, 130);    // 15.75 .. 16.25 V
    m_supply.value = 128;
    for (Zone& z : m_zones) {
        z.output.value = 64 + m_outputOffset;
        z.drop.value = 4;
        z.cap.value = 70;
        z.level.value = 8;
        applyZoneRanges(z);
    }
    m_stepTimer.setInterval(200);
    connect(&m_stepTimer, &QTimer::timeout, this, &SimEnergizer::step);
    m_stepTimer.start();
}

void SimEnergizer::applyZoneRanges(Zone& z)
{
    if (z.hv) {
        z.output.setRange(56 + m_outputOffset, 72 + m_outputOffset); // 7000 .. 9000 V at address 1
        z.cap.setRange(64, 75);    // 400 .. 469 V
    } else {
        z.output.setRange(24 + m_outputOffset, 36 + m_outputOffset); // 3000 .. 4500 V at address 1
        z.cap.setRange(32, 45);    // 200 .. 281 V
    }
    z.drop.setRange(2, 8);          // return 250 .. 1000 V below the output
    z.level.setRange(7, 9);
}

void SimEnergizer::setZones(bool hv1, bool hv2, bool on1, bool on2)
{
    m_zones[0].hv = hv1;
    m_zones[1].hv = hv2;
    m_zones[0].on = on1;
    m_zones[1].on = on2;
    for (Zone& z : m_zones)
        applyZoneRanges(z);
}

void SimEnergizer::step()
{
    m_battery.step(m_rng);
    m_supply.step(m_rng);
    for (Zone& z : m_zones) {
        z.output.step(m_rng);
        z.drop.step(m_rng);
        z.cap.step(m_rng);
        z.level.step(m_rng);
    }
}

QByteArray SimEnergizer::handleRequest(const QByteArray& frame)
{
    if (frame.size() < 3)
        return {};
    switch (static_cast<quint8>(frame.at(2))) {
    case Frame::CmdStatus:
        return statusReply();
    case Frame::CmdConfigRead:
        return configReply();
    case Frame::CmdConfigWrite:
        if (frame.size() >= Frame::ConfigWriteLength && !m_ignoreWrites)
            for (int i = 3; i <= 50; ++i)
                m_config[static_cast<size_t>(i)] = static_cast<quint8>(frame.at(i));
        return {};
    case Frame::CmdZone:
        if (frame.size() >= Frame::ZoneCommandLength) {
            const quint8 hvBits = static_cast<quint8>(frame.at(3));
            const quint8 onBits = static_cast<quint8>(frame.at(4));
            setZones(hvBits & 0x01, hvBits & 0x02, onBits & 0x01, onBits & 0x02);
        }
        return {};
    default:
        return {};
    }
}

QByteArray SimEnergizer::statusReply() const
{
    QByteArray reply(reinterpret_cast<const char*>(m_flags), Frame::StatusReplyLength);
    reply[9] = static_cast<char>(m_battery.value);
    reply[10] = static_cast<char>(m_supply.value);
    for (int i = 0; i < 2; ++i) {
        const Zone& z = m_zones[i];
        const int o = zoneOffset[i];
        int levelByte = 0;
        int modeByte = z.hv ? ModeHigh : ModeLow;
        if (z.on) {
            levelByte = z.level.value | (ConditionGood << 4);
            modeByte |= 0x80;
            reply[o + 3] = static_cast<char>(z.cap.value);
            reply[o + 4] = static_cast<char>(z.output.value);
            reply[o + 5] = static_cast<char>(z.output.value - z.drop.value);
        }
        reply[o] = static_cast<char>(levelByte);
        reply[o + 1] = static_cast<char>(modeByte);
    }
    return sealedFrame(Frame::StatusReplyLength, m_address, Frame::RespStatus, reply.mid(3));
}

QByteArray SimEnergizer::configReply() const
{
    return sealedFrame(Frame::ConfigReplyLength, m_address, Frame::RespConfig, configBlockBody(m_config));
}

QStringList SimEnergizer::bitNames()
{
    QStringList names;
    for (const BitName& b : bitTable)
        names << QLatin1String(b.name);
    return names;
}

bool SimEnergizer::setBit(const QString& name, bool on)
{
    const BitName* b = findBit(name);
    if (!b)
        return false;
    if (on)
        m_flags[b->offset] |= static_cast<quint8>(1u << b->bit);
    else
        m_flags[b->offset] &= static_cast<quint8>(~(1u << b->bit));
    return true;
}

bool SimEnergizer::bit(const QString& name) const
{
    const BitName* b = findBit(name);
    return b && (m_flags[b->offset] >> b->bit) & 1;
}
