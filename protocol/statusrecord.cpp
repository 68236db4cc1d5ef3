#include "protocol/statusrecord.h"

#include "protocol/energizer.h"
#include "protocol/energizerfields.h"

#include <QCoreApplication>

#include <cstdlib>

namespace {

enum class FieldKind { Bit, Mode, Level, Condition, Volts125, Volts6_25, Volts0_125 };

struct FieldLayout
{
    int byte;
    int bit;
    FieldKind kind;
};

// Field numbers 1..52. Numbers 9, 13, 22-25, 34-36 and 50 are not used by
// the decoder; they read single status bits the energizer sets but the tool
// gives no meaning: byte 4 bits 4-5, byte 5 bits 4-5, byte 8 bits 2-3 and
// 5-6, byte 6 bits 6-7.
const FieldLayout fields[52] = {
    { 5, 1, FieldKind::Bit },        // 1 siren output
    { 5, 2, FieldKind::Bit },        // 2 strobe output 1
    { 5, 3, FieldKind::Bit },        // 3 strobe output 2
    { 8, 7, FieldKind::Bit },        // 4 service request
    { 8, 4, FieldKind::Bit },        // 5 sync loss
    { 9, 0, FieldKind::Volts0_125 }, // 6 battery voltage
    { 4, 0, FieldKind::Bit },        // 7 mains failure
    { 4, 2, FieldKind::Bit },        // 8 tamper
    { 4, 4, FieldKind::Bit },        // 9
    { 6, 2, FieldKind::Bit },        // 10 panic input
    { 6, 5, FieldKind::Bit },        // 11 gate input
    { 5, 0, FieldKind::Bit },        // 12 gate alarm
    { 4, 5, FieldKind::Bit },        // 13
    { 6, 0, FieldKind::Bit },        // 14 zone 1 HV/LV input
    { 6, 1, FieldKind::Bit },        // 15 zone 2 HV/LV input
    { 13, 0, FieldKind::Mode },      // 16 zone 1 voltage mode
    { 20, 0, FieldKind::Mode },      // 17 zone 2 voltage mode
    { 6, 3, FieldKind::Bit },        // 18 zone 1 ON/OFF input
    { 6, 4, FieldKind::Bit },        // 19 zone 2 ON/OFF input
    { 13, 7, FieldKind::Bit },       // 20 zone 1 on
    { 20, 7, FieldKind::Bit },       // 21 zone 2 on
    { 5, 4, FieldKind::Bit },        // 22
    { 5, 5, FieldKind::Bit },        // 23
    { 8, 2, FieldKind::Bit },        // 24
    { 8, 3, FieldKind::Bit },        // 25
    { 12, 4, FieldKind::Condition }, // 26 zone 1 fence condition
    { 19, 4, FieldKind::Condition }, // 27 zone 2 fence condition
    { 17, 0, FieldKind::Volts125 },  // 28 zone 1 return voltage
    { 24, 0, FieldKind::Volts125 },  // 29 zone 2 return voltage
    { 16, 0, FieldKind::Volts125 },  // 30 zone 1 output voltage
    { 23, 0, FieldKind::Volts125 },  // 31 zone 2 output voltage
    { 12, 0, FieldKind::Level },     // 32 zone 1 fence level
    { 19, 0, FieldKind::Level },     // 33 zone 2 fence level
    { 8, 5, FieldKind::Bit },        // 34
    { 8, 6, FieldKind::Bit },        // 35
    { 6, 6, FieldKind::Bit },        // 36
    { 15, 0, FieldKind::Volts6_25 }, // 37 zone 1 capacitor voltage
    { 22, 0, FieldKind::Volts6_25 }, // 38 zone 2 capacitor voltage
    { 14, 0, FieldKind::Bit },       // 39 zone 1 Vout error
    { 21, 0, FieldKind::Bit },       // 40 zone 2 Vout error
    { 14, 1, FieldKind::Bit },       // 41 zone 1 SCR failure
    { 21, 1, FieldKind::Bit },       // 42 zone 2 SCR failure
    { 14, 2, FieldKind::Bit },       // 43 zone 1 flyback failure
    { 21, 2, FieldKind::Bit },       // 44 zone 2 flyback failure
    { 14, 3, FieldKind::Bit },       // 45 zone 1 interference
    { 21, 3, FieldKind::Bit },       // 46 zone 2 interference
    { 10, 0, FieldKind::Volts0_125 },// 47 supply voltage
    { 8, 1, FieldKind::Bit },        // 48 battery fuse
    { 8, 0, FieldKind::Bit },        // 49 aux fuse
    { 6, 7, FieldKind::Bit },        // 50
    { 4, 3, FieldKind::Bit },        // 51 sync master
    { 4, 1, FieldKind::Bit },        // 52 magnetic switch
};

QString conditionText(int condition)
{
    switch (condition) {
    case 1:
        return QCoreApplication::translate("Energizer", "Good");
    case 2:
        return QCoreApplication::translate("Energizer", "Check");
    case 3:
        return QCoreApplication::translate("Energizer", "Bad");
    default:
        return QStringLiteral("");
    }
}

double stepOf(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Volts125:
        return 125;
    case FieldKind::Volts6_25:
        return 6.25;
    case FieldKind::Volts0_125:
        return 0.125;
    default:
        return 0;
    }
}

} // namespace

double statusFieldStep(int field)
{
    return field < 1 || field > 52 ? 0 : stepOf(fields[field - 1].kind);
}

QVariant statusField(const QByteArray& reply, int field)
{
    if (field < 1 || field > 52 || reply.size() < StatusReplySize)
        return {};
    const FieldLayout& layout = fields[field - 1];
    const unsigned int byte = static_cast<quint8>(reply.at(layout.byte));
    switch (layout.kind) {
    case FieldKind::Bit:
        return static_cast<int>((byte >> layout.bit) & 1u);
    case FieldKind::Mode:
        return static_cast<int>(byte & 0x03u);
    case FieldKind::Level: {
        const int level = static_cast<int>(byte & 0x0Fu);
        return level > 9 ? QVariant(QStringLiteral("")) : QVariant(level);
    }
    case FieldKind::Condition:
        return conditionText(static_cast<int>((byte >> 4) & 0x03u));
    case FieldKind::Volts125:
        return static_cast<int>(byte * stepOf(layout.kind));
    case FieldKind::Volts6_25:
        return byte * stepOf(layout.kind);
    case FieldKind::Volts0_125:
        return QVariant::fromValue(static_cast<float>(byte * stepOf(layout.kind)));
    }
    return {};
}

bool decodeStatus(Energizer& e, const QByteArray& reply)
{
    if (reply.size() < StatusReplySize)
        return false;
    for (const StatusField& f : statusFields()) {
        if (f.source != 0)
            f.set(e, statusField(reply, std::abs(f.source)));
    }
    e.online = true;
    emit e.paramChanged();
    return true;
}
