#pragma once

#include "protocol/configrecord.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The parameters that differ between two blocks, as `config diff` and
// `history diff` print them and the write preview shows them.
// Locale-independent: scripts parse the lines.

struct ParamChange
{
    int index;      // 0..73
    QString before; // the first block's value, as the saved file holds it
    QString after;  // the second block's value
};

// A parameter's value as the saved file holds it: PINs as text, the rest as integers.
QString configParamValue(const ConfigBlock& block, int index);
// All 74 parameter indices in file order.
QVector<int> paramsInFileOrder();

// Each of params whose value differs between before and after, in params' order.
QVector<ParamChange> configChanges(const ConfigBlock& before, const ConfigBlock& after, const QVector<int>& params);
// Over all parameters in file order.
QVector<ParamChange> configChanges(const ConfigBlock& before, const ConfigBlock& after);
// "Group/Name before after".
QString configChangeLine(const ParamChange& change);
QStringList configChangeLines(const QVector<ParamChange>& changes);
