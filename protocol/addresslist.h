#pragma once

#include "protocol/settings.h"

#include <QString>
#include <QVector>

// "1,3,7-12" into sorted, distinct addresses 0..63. False with a one-line
// reason for anything else (an empty item, a reversed range, 64, "x").
// With allowRepeats false, an address named twice is refused too.
bool parseAddressList(const QString& text, QVector<int>* addresses, QString* error, bool allowRepeats = true);
