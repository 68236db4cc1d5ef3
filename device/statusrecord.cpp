#include "device/statusrecord.h"

#include "device/energizer.h"

// TODO: status decoding (stub so the tree builds).
QVariant statusField(const QByteArray&, int) { return {}; }
bool decodeStatus(Energizer&, const QByteArray&) { return false; }
