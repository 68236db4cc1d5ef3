#pragma once

#include <QByteArray>
#include <QDateTime>

class Energizer;

// The retained PREFIX/state payload: the energizer's fields as compact JSON
// and the time it was read.
QByteArray energizerStateMessage(const Energizer& energizer, const QDateTime& readAt);
