#pragma once

#include <QByteArray>
#include <QVariant>

class Energizer;

constexpr int StatusReplySize = 27;

// One field (1..52) of a 27-byte status reply. Invalid variant for another
// field number or a reply shorter than 27 bytes.
QVariant statusField(const QByteArray& reply, int field);
// Volts one count of a voltage field (1..52) stands for; 0 for other fields.
double statusFieldStep(int field);

// Fills every status field of the energizer from a status reply, sets it on
// line and emits paramChanged once. A reply shorter than 27 bytes is refused:
// nothing is changed, nothing emitted, false returned.
bool decodeStatus(Energizer& energizer, const QByteArray& reply);
