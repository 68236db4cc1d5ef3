#pragma once

#include <QString>
#include <QVector>

// Energizer addresses, as the protocol's address byte and the settings allow them.
constexpr int MinEnergizerAddress = 0;
constexpr int MaxEnergizerAddress = 63;

// "1,3,7-12" into sorted, distinct addresses 0..63. False with a one-line
// reason for anything else (an empty item, a reversed range, 64, "x").
// With allowRepeats false, an address named twice is refused too.
bool parseAddressList(const QString& text, QVector<int>* addresses, QString* error, bool allowRepeats = true);
