#pragma once

#include <QString>
#include <QVector>

// Energizer address lists such as "1-12,15". The site file reads them here;
// the command line's --address will share this parser rather than keep its own.

constexpr int MaxEnergizerAddress = 63;

// Parses text into ascending addresses 0..MaxEnergizerAddress. An address
// given twice (also through overlapping ranges) is refused, as is a reversed
// range. On refusal returns false and sets *error to a reason naming the
// offending item.
bool parseAddressList(const QString& text, QVector<int>* addresses, QString* error);
