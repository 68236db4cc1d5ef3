#include "services/mqttstate.h"

#include "protocol/energizerfields.h"

#include <QJsonDocument>
#include <QJsonObject>

QByteArray energizerStateMessage(const Energizer& energizer, const QDateTime& readAt)
{
    QJsonObject state = energizerToJson(energizer);
    state.insert(QStringLiteral("time"), readAt.toUTC().toString(Qt::ISODateWithMs));
    return QJsonDocument(state).toJson(QJsonDocument::Compact);
}
