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
    : QObject(parent), address_(address), outputOffset_(OutputStepCounts * ((address + OutputBands - 1) % OutputBands)),
      config_(config), rng_(seed)
{
    flags_[4] |= 0x08; // stand-alone: sync master
    battery_.setRange(107, 111);   // 13.4 .. 13.9 V in 0.125 V counts
    battery_.value = 109;
    supply_.setRange(126, 130);    // 15.75 .. 16.25 V
    supply_.value = 128;
    for (Zone& z : zones_) {
        z.output.value = 64 + outputOffset_;
        z.drop.value = 4;
        z.cap.value = 70;
        z.level.value = 8;
        applyZoneRanges(z);
    }
    stepTimer_.setInterval(200);
    connect(&stepTimer_, &QTimer::timeout, this, &SimEnergizer::step);
    stepTimer_.start();
}

void SimEnergizer::applyZoneRanges(Zone& z)
{
    if (z.hv) {
        z.output.setRange(56 + outputOffset_, 72 + outputOffset_); // 7000 .. 9000 V at address 1
        z.cap.setRange(64, 75);    // 400 .. 469 V
    } else {
        z.output.setRange(24 + outputOffset_, 36 + outputOffset_); // 3000 .. 4500 V at address 1
        z.cap.setRange(32, 45);    // 200 .. 281 V
    }
    z.drop.setRange(2, 8);          // return 250 .. 1000 V below the output
    z.level.setRange(7, 9);
}

void SimEnergizer::setZones(bool hv1, bool hv2, bool on1, bool on2)
{
    zones_[0].hv = hv1;
    zones_[1].hv = hv2;
    zones_[0].on = on1;
    zones_[1].on = on2;
    for (Zone& z : zones_)
        applyZoneRanges(z);
}

void SimEnergizer::step()
{
    battery_.step(rng_);
    supply_.step(rng_);
    for (Zone& z : zones_) {
        z.output.step(rng_);
        z.drop.step(rng_);
        z.cap.step(rng_);
        z.level.step(rng_);
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
        if (frame.size() >= Frame::ConfigWriteLength && !ignoreWrites_)
            for (int i = 3; i <= 50; ++i)
                config_[static_cast<size_t>(i)] = static_cast<quint8>(frame.at(i));
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
    QByteArray reply(Frame::StatusReplyLength, '\0');
    for (int i = 0; i < reply.size(); ++i)
        reply[i] = static_cast<char>(flags_[i]);
    reply[0] = static_cast<char>(address_);
    reply[1] = 0x01;
    reply[2] = static_cast<char>(Frame::RespStatus);
    reply[9] = static_cast<char>(battery_.value);
    reply[10] = static_cast<char>(supply_.value);
    for (int i = 0; i < 2; ++i) {
        const Zone& z = zones_[i];
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
    sealFrame(reply);
    return reply;
}

QByteArray SimEnergizer::configReply() const
{
    QByteArray reply(Frame::ConfigReplyLength, '\0');
    for (int i = 3; i <= 50; ++i)
        reply[i] = static_cast<char>(config_[static_cast<size_t>(i)]);
    reply[0] = static_cast<char>(address_);
    reply[1] = 0x01;
    reply[2] = static_cast<char>(Frame::RespConfig);
    sealFrame(reply);
    return reply;
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
        flags_[b->offset] |= static_cast<quint8>(1u << b->bit);
    else
        flags_[b->offset] &= static_cast<quint8>(~(1u << b->bit));
    return true;
}

bool SimEnergizer::bit(const QString& name) const
{
    const BitName* b = findBit(name);
    return b && (flags_[b->offset] >> b->bit) & 1;
}
