#include "protocol/configdiff.h"

#include "protocol/configxml.h"

QString configParamValue(const ConfigBlock& block, int index)
{
    const QVariant value = getParam(block, index);
    return paramInfo(index)->kind == ParamKind::Pin ? value.toString() : QString::number(value.toInt());
}

QVector<int> paramsInFileOrder()
{
    QVector<int> params;
    params.reserve(ParamCount);
    for (const XmlGroup& group : xmlGroups())
        params += group.params;
    return params;
}

QVector<ParamChange> configChanges(const ConfigBlock& before, const ConfigBlock& after, const QVector<int>& params)
{
    QVector<ParamChange> changes;
    for (int index : params) {
        if (!paramInfo(index))
            continue;
        // Compared as the file writes them, so that a change is always one a file can show.
        QString ours = configParamValue(before, index);
        QString theirs = configParamValue(after, index);
        if (ours != theirs)
            changes.append({index, std::move(ours), std::move(theirs)});
    }
    return changes;
}

QVector<ParamChange> configChanges(const ConfigBlock& before, const ConfigBlock& after)
{
    return configChanges(before, after, paramsInFileOrder());
}

QString configChangeLine(const ParamChange& change)
{
    return configParamPath(change.index) + QLatin1Char(' ') + change.before + QLatin1Char(' ') + change.after;
}

QStringList configChangeLines(const QVector<ParamChange>& changes)
{
    QStringList lines;
    lines.reserve(changes.size());
    for (const ParamChange& change : changes)
        lines << configChangeLine(change);
    return lines;
}
