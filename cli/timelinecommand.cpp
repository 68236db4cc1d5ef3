#include "cli/timelinecommand.h"

#include "cli/exitstatus.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

bool parseTimeArgument(const QString& text, qint64 nowMs, qint64* ms)
{
    static const QRegularExpression relative(QStringLiteral("^-(\\d{1,9})([smhd])$"));
    const QRegularExpressionMatch match = relative.match(text);
    if (match.hasMatch()) {
        static const QHash<QString, qint64> unitMs{{QStringLiteral("s"), 1000}, {QStringLiteral("m"), 60000},
                                                   {QStringLiteral("h"), 3600000}, {QStringLiteral("d"), 86400000}};
        *ms = nowMs - match.captured(1).toLongLong() * unitMs.value(match.captured(2));
        return true;
    }
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime(QDate::fromString(text, Qt::ISODate), QTime(0, 0));
    if (!time.isValid())
        return false;
    *ms = time.toMSecsSinceEpoch();
    return true;
}

TimelineCommand::TimelineCommand(EnergizerLink& link, const CliRequest& request, QObject* parent)
    : CliCommand(link, request, parent)
{
}

int TimelineCommand::prepare(QString* reason)
{
    const bool trend = QLatin1String(m_request.command->name) == QLatin1String("trend");
    if (trend && !m_request.addressGiven) {
        *reason = QStringLiteral("trend needs --address N");
        return ExitStatus::Usage;
    }
    // Reading never creates a timeline: none yet is no lines, a named file
    // that is not there is most likely a typing error.
    if (!QFileInfo::exists(m_request.timelineFile)) {
        if (m_request.timelineFile == TimelineStore::defaultPath())
            return ExitStatus::Done;
        *reason = QStringLiteral("timeline %1: no such file").arg(m_request.timelineFile);
        return ExitStatus::BadFile;
    }
    m_store = std::make_unique<TimelineStore>(m_request.timelineFile);
    if (!m_store->isAvailable()) {
        *reason = m_store->problem();
        return ExitStatus::BadFile;
    }
    return ExitStatus::Done;
}

void TimelineCommand::run()
{
    TimelineFilter filter;
    filter.link = m_request.linkFilter;
    if (m_request.addressGiven)
        filter.addresses = m_request.addresses;
    filter.sinceMs = m_request.sinceMs;
    filter.untilMs = m_request.untilMs;
    const bool trend = QLatin1String(m_request.command->name) == QLatin1String("trend");
    QString error;
    QByteArray out;
    if (trend) {
        const StoreResult<QVector<TimelineReading>> readings =
            m_store ? m_store->readings(filter) : StoreResult<QVector<TimelineReading>>{};
        error = readings.error;
        out = trendText(readings.value, m_request.format.isEmpty() ? QStringLiteral("csv") : m_request.format);
    } else {
        const StoreResult<QVector<TimelineEvent>> events =
            m_store ? m_store->events(filter) : StoreResult<QVector<TimelineEvent>>{};
        error = events.error;
        out = eventsText(events.value, m_request.format.isEmpty() ? QStringLiteral("text") : m_request.format);
    }
    if (!error.isEmpty())
        fail(ExitStatus::BadFile, error);
    else
        succeed(out);
}

#include "moc_timelinecommand.cpp"
