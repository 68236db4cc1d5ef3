#include "cli/output.h"

#include "protocol/configdiff.h"
#include "protocol/configxml.h"
#include "protocol/energizer.h"
#include "protocol/energizerfields.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString isoTime(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

// A field of a poll with no reply: off line at the address polled, the rest
// unknown (an invalid variant).
QVariant noReplyValue(const StatusField& field, int address)
{
    if (field.kind == StatusKind::Online)
        return false;
    if (field.kind == StatusKind::Address && address >= 0)
        return address;
    return {};
}

} // namespace

QByteArray statusText(const Energizer& energizer)
{
    QByteArray text;
    for (const StatusField& field : statusFields())
        text += (QLatin1String(field.name) + QLatin1Char('=') + fieldText(field.value(energizer)) + QLatin1Char('\n')).toUtf8();
    return text;
}

QByteArray statusJson(const Energizer& energizer)
{
    return QJsonDocument(energizerToJson(energizer)).toJson(QJsonDocument::Indented);
}

QString watchCsvHeader()
{
    return QStringLiteral("time,") + energizerFieldNames().join(QLatin1Char(','));
}

QString watchCsvLine(const QDateTime& time, const Energizer* energizer, int address)
{
    if (energizer)
        return isoTime(time) + QLatin1Char(',') + energizerCsvLine(*energizer);
    QStringList values{isoTime(time)};
    for (const StatusField& field : statusFields())
        values << fieldText(noReplyValue(field, address));
    return values.join(QLatin1Char(','));
}

QString watchJsonLine(const QDateTime& time, const Energizer* energizer, int address)
{
    QJsonObject object;
    if (energizer) {
        object = energizerToJson(*energizer);
    } else {
        for (const StatusField& field : statusFields())
            object.insert(QLatin1String(field.name), QJsonValue::fromVariant(noReplyValue(field, address)));
    }
    // QJsonObject sorts its keys; the time goes first so a log reads left to right.
    const QByteArray fields = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return QStringLiteral("{\"time\":\"%1\",").arg(isoTime(time)) + QString::fromUtf8(fields.mid(1));
}

bool sameWatchLog(const QByteArray& firstLine, bool jsonLines)
{
    if (!jsonLines)
        return firstLine.trimmed() == watchCsvHeader().toUtf8();
    const auto keys = [](const QByteArray& line) { return QJsonDocument::fromJson(line).object().keys(); };
    return keys(firstLine) == keys(watchJsonLine({}, nullptr, 0).toUtf8());
}

QByteArray configShowText(const ConfigBlock& block)
{
    QByteArray text;
    for (const XmlGroup& group : xmlGroups()) {
        for (int index : group.params)
            text += (configParamPath(index) + QLatin1Char('=') + configParamValue(block, index) + QLatin1Char('\n')).toUtf8();
    }
    return text;
}

QByteArray configShowJson(const ConfigBlock& block)
{
    QJsonObject object;
    for (int index = 0; index < ParamCount; ++index) {
        const QVariant value = getParam(block, index);
        object.insert(configParamPath(index), paramInfo(index)->kind == ParamKind::Pin ? QJsonValue(value.toString())
                                                                                 : QJsonValue(value.toInt()));
    }
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QByteArray configDiffText(const ConfigBlock& before, const ConfigBlock& after, const QVector<int>& params)
{
    QByteArray text;
    for (const QString& line : configChangeLines(configChanges(before, after, params)))
        text += (line + QLatin1Char('\n')).toUtf8();
    return text;
}

