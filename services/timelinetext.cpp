#include "services/timelinetext.h"

#include "protocol/energizerfields.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QByteArray jsonLine(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// "alarm raised: gate", "zone 1 off by cli", "configuration written (history 12) by window".
QString eventPhrase(const TimelineEvent& e)
{
    using K = TimelineKind;
    QString text;
    switch (e.kind) {
    case K::Online: text = QStringLiteral("on line"); break;
    case K::Offline: text = QStringLiteral("off line"); break;
    case K::AlarmRaised: text = QStringLiteral("alarm raised: ") + e.detail; break;
    case K::AlarmCleared: text = QStringLiteral("alarm cleared: ") + e.detail; break;
    case K::FaultRaised: text = QStringLiteral("fault raised: ") + e.detail; break;
    case K::FaultCleared: text = QStringLiteral("fault cleared: ") + e.detail; break;
    case K::ZoneOn: text = QStringLiteral("zone %1 on").arg(e.detail); break;
    case K::ZoneOff: text = QStringLiteral("zone %1 off").arg(e.detail); break;
    case K::ZoneHigh: text = QStringLiteral("zone %1 high voltage").arg(e.detail); break;
    case K::ZoneLow: text = QStringLiteral("zone %1 low voltage").arg(e.detail); break;
    case K::ConfigRead: text = QStringLiteral("configuration read"); break;
    case K::ConfigBackup: text = QStringLiteral("configuration backed up"); break;
    case K::ConfigWritten: text = QStringLiteral("configuration written"); break;
    case K::ConfigRestored: text = QStringLiteral("configuration restored"); break;
    }
    if (e.historyId > 0)
        text += QStringLiteral(" (history %1)").arg(e.historyId);
    if (!e.who.isEmpty())
        text += QStringLiteral(" by ") + e.who;
    return text;
}

} // namespace

QByteArray eventsText(const QVector<TimelineEvent>& events, const QString& format)
{
    QByteArray out;
    if (format == QLatin1String("csv"))
        out = "time,link,address,kind,detail,who,history\n";
    for (const TimelineEvent& e : events) {
        if (format == QLatin1String("jsonl")) {
            out += jsonLine({{QStringLiteral("time"), timeText(e.timeMs)},
                             {QStringLiteral("link"), e.link},
                             {QStringLiteral("address"), e.address},
                             {QStringLiteral("kind"), timelineKindName(e.kind)},
                             {QStringLiteral("detail"), e.detail},
                             {QStringLiteral("who"), e.who},
                             {QStringLiteral("history"), e.historyId > 0 ? QJsonValue(e.historyId) : QJsonValue()}});
        } else if (format == QLatin1String("csv")) {
            out += QStringList{timeText(e.timeMs), csvField(e.link), QString::number(e.address), timelineKindName(e.kind),
                               csvField(e.detail), csvField(e.who), e.historyId > 0 ? QString::number(e.historyId) : QString()}
                       .join(QLatin1Char(','))
                       .toUtf8()
                + '\n';
        } else {
            out += QStringLiteral("%1 %2 %3 %4\n").arg(timeText(e.timeMs), e.link).arg(e.address).arg(eventPhrase(e)).toUtf8();
        }
    }
    return out;
}

QByteArray trendText(const QVector<TimelineReading>& readings, const QString& format)
{
    static const char* const stats[] = {"Min", "Mean", "Max"};
    QStringList names;
    for (const char* series : timelineSeries()) {
        for (const char* stat : stats)
            names << QLatin1String(series) + QLatin1String(stat);
    }
    QByteArray out;
    if (format != QLatin1String("jsonl"))
        out = "time,link,address," + names.join(QLatin1Char(',')).toUtf8() + '\n';
    for (const TimelineReading& r : readings) {
        QVector<double> values;
        for (int s = 0; s < TimelineSeriesCount; ++s)
            values << r.min[s] << r.mean[s] << r.max[s];
        const QString time = timeText(r.minute * 60000);
        if (format == QLatin1String("jsonl")) {
            QJsonObject object{{QStringLiteral("time"), time}, {QStringLiteral("link"), r.link}, {QStringLiteral("address"), r.address}};
            for (int i = 0; i < values.size(); ++i)
                object.insert(names[i], values[i]);
            out += jsonLine(object);
        } else {
            QStringList fields{time, csvField(r.link), QString::number(r.address)};
            for (double v : values)
                fields << fieldText(v);
            out += fields.join(QLatin1Char(',')).toUtf8() + '\n';
        }
    }
    return out;
}
