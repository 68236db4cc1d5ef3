#include "protocol/statusrecord.h"

#include "protocol/energizer.h"

#include <QCoreApplication>

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

} // namespace

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
        return static_cast<int>(byte) * 125;
    case FieldKind::Volts6_25:
        return byte * 6.25;
    case FieldKind::Volts0_125:
        return QVariant::fromValue(static_cast<float>(byte) * 0.125f);
    }
    return {};
}

bool decodeStatus(Energizer& e, const QByteArray& reply)
{
    if (reply.size() < StatusReplySize)
        return false;
    const QByteArray s = reply.left(StatusReplySize);
    auto bit = [&s](int field) { return statusField(s, field).toInt() != 0; };

    e.fenceOn1 = bit(20);
    e.fenceOn2 = bit(21);
    e.fenceHv1 = statusField(s, 16).toInt() != 1;
    e.fenceHv2 = statusField(s, 17).toInt() != 1;
    e.voutOk1 = !bit(39);
    e.voutOk2 = !bit(40);
    e.scrOk1 = !bit(41);
    e.scrOk2 = !bit(42);
    e.flybackOk1 = !bit(43);
    e.flybackOk2 = !bit(44);
    e.interferenceOk1 = !bit(45);
    e.interferenceOk2 = !bit(46);
    e.returnVoltage1 = statusField(s, 28).toInt();
    e.returnVoltage2 = statusField(s, 29).toInt();
    e.outputVoltage1 = statusField(s, 30).toInt();
    e.outputVoltage2 = statusField(s, 31).toInt();
    e.capVoltage1 = statusField(s, 37).toDouble();
    e.capVoltage2 = statusField(s, 38).toDouble();
    e.fenceLevel1 = statusField(s, 32).toInt();
    e.fenceLevel2 = statusField(s, 33).toInt();
    if (e.fenceLevel1 > 9)
        e.fenceLevel1 = 0;
    if (e.fenceLevel2 > 9)
        e.fenceLevel2 = 0;
    e.fenceCondition1 = statusField(s, 26).toString();
    e.fenceCondition2 = statusField(s, 27).toString();
    e.magneticSwitchOk = !bit(52);
    e.tamperOk = !bit(8);
    e.syncMaster = bit(51);
    e.syncOk = !bit(5);
    e.serviceOk = !bit(4);
    e.auxFuseOk = !bit(49);
    e.gateAlarmOk = !bit(12);
    // The block has no separate panic-alarm or battery-flat bit the tool
    // knows of; these follow the panic input and the battery fuse.
    e.panicAlarmOk = !bit(10);
    e.panicInputOk = !bit(10);
    e.mainsOk = !bit(7);
    e.batteryFuseOk = !bit(48);
    e.batteryFlatOk = !bit(48);
    e.batteryVoltage = statusField(s, 6).toDouble();
    e.supplyVoltage = statusField(s, 47).toDouble();
    e.online = true;
    e.strobe1Ok = !bit(2);
    e.strobe2Ok = !bit(3);
    e.sirenOk = !bit(1);
    e.gateInputOk = !bit(11);
    e.on1Input = bit(18);
    e.on2Input = bit(19);
    e.hv1Input = bit(14);
    e.hv2Input = bit(15);
    emit e.paramChanged();
    return true;
}
