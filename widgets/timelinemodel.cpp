#include "widgets/timelinemodel.h"

#include "services/historychanges.h"

#include <QDateTime>
#include <QSet>

#include <algorithm>

namespace {

// Indexed by HistoryKind.
const char* const HistoryKindTexts[] = {
    QT_TRANSLATE_NOOP("TimelineModel", "read"), QT_TRANSLATE_NOOP("TimelineModel", "backup"),
    QT_TRANSLATE_NOOP("TimelineModel", "written"), QT_TRANSLATE_NOOP("TimelineModel", "restored"),
    QT_TRANSLATE_NOOP("TimelineModel", "sent")};

QString eventText(const TimelineEvent& e)
{
    using K = TimelineKind;
    switch (e.kind) {
    case K::Online: return TimelineModel::tr("on line");
    case K::Offline: return TimelineModel::tr("off line");
    case K::AlarmRaised: return TimelineModel::tr("alarm raised: %1").arg(e.detail);
    case K::AlarmCleared: return TimelineModel::tr("alarm cleared: %1").arg(e.detail);
    case K::FaultRaised: return TimelineModel::tr("fault raised: %1").arg(e.detail);
    case K::FaultCleared: return TimelineModel::tr("fault cleared: %1").arg(e.detail);
    case K::ZoneOn: return TimelineModel::tr("zone %1 on").arg(e.detail);
    case K::ZoneOff: return TimelineModel::tr("zone %1 off").arg(e.detail);
    case K::ZoneHigh: return TimelineModel::tr("zone %1 high voltage").arg(e.detail);
    case K::ZoneLow: return TimelineModel::tr("zone %1 low voltage").arg(e.detail);
    case K::ConfigRead: return TimelineModel::tr(HistoryKindTexts[static_cast<int>(HistoryKind::Read)]);
    case K::ConfigBackup: return TimelineModel::tr(HistoryKindTexts[static_cast<int>(HistoryKind::Backup)]);
    case K::ConfigWritten: return TimelineModel::tr(HistoryKindTexts[static_cast<int>(HistoryKind::Written)]);
    case K::ConfigRestored: return TimelineModel::tr(HistoryKindTexts[static_cast<int>(HistoryKind::Restored)]);
    }
    return QString();
}

} // namespace

TimelineGroup timelineGroup(TimelineKind kind)
{
    using K = TimelineKind;
    switch (kind) {
    case K::Online:
    case K::Offline: return TimelineGroup::Connection;
    case K::AlarmRaised:
    case K::AlarmCleared: return TimelineGroup::Alarms;
    case K::FaultRaised:
    case K::FaultCleared: return TimelineGroup::Faults;
    case K::ZoneOn:
    case K::ZoneOff:
    case K::ZoneHigh:
    case K::ZoneLow: return TimelineGroup::Zones;
    default: return TimelineGroup::Configuration;
    }
}

TimelineModel::TimelineModel(HistoryStore* history, TimelineStore* timeline, QObject* parent)
    : QAbstractTableModel(parent)
    , m_history(history)
    , m_timeline(timeline)
{
}

void TimelineModel::setEnergizer(const QString& link, int address)
{
    m_link = link;
    m_address = address;
}

void TimelineModel::setGroupShown(TimelineGroup group, bool shown)
{
    m_shown[static_cast<int>(group)] = shown;
    rebuild();
}

void TimelineModel::reload()
{
    m_entries.clear();
    m_all.clear();
    m_problems.clear();
    if (!m_history || !m_history->isAvailable()) {
        m_problems << tr("No history is kept: %1")
                          .arg(m_history ? m_history->problem() : tr("this window has no history file"));
    } else {
        HistoryFilter filter;
        filter.link = m_link;
        filter.address = m_address;
        const HistoryResult<QVector<HistoryEntry>> listed = m_history->list(filter);
        if (listed.ok())
            m_entries = listed.value;
        else
            m_problems << tr("The history could not be read: %1").arg(listed.error);
    }
    QSet<qint64> ids;
    for (int i = 0; i < m_entries.size(); ++i) {
        m_all.append({m_entries[i].time.toMSecsSinceEpoch(), i, {}});
        ids.insert(m_entries[i].id);
    }
    if (m_timeline && m_timeline->isAvailable()) {
        TimelineFilter filter;
        filter.link = m_link;
        filter.addresses = {m_address};
        const StoreResult<QVector<TimelineEvent>> events = m_timeline->events(filter);
        if (!events.ok())
            m_problems << tr("The timeline could not be read: %1").arg(events.error);
        for (const TimelineEvent& event : events.value) {
            if (!ids.contains(event.historyId))
                m_all.append({event.timeMs, -1, event});
        }
    } else if (m_timeline) {
        m_problems << tr("No timeline is kept: %1").arg(m_timeline->problem());
    }
    // Stable: the history's own order stays among lines of one millisecond.
    std::stable_sort(m_all.begin(), m_all.end(), [](const Line& a, const Line& b) { return a.timeMs > b.timeMs; });
    rebuild();
}

void TimelineModel::rebuild()
{
    beginResetModel();
    m_lines.clear();
    for (const Line& line : qAsConst(m_all)) {
        const TimelineGroup group = line.entry >= 0 ? TimelineGroup::Configuration : timelineGroup(line.event.kind);
        if (m_shown[static_cast<int>(group)])
            m_lines << line;
    }
    endResetModel();
}

const HistoryEntry* TimelineModel::historyEntry(int row) const
{
    if (row < 0 || row >= m_lines.size() || m_lines[row].entry < 0)
        return nullptr;
    return &m_entries[m_lines[row].entry];
}

int TimelineModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_lines.size();
}

int TimelineModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TimelineModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size())
        return {};
    const Line& line = m_lines[index.row()];
    const HistoryEntry* entry = historyEntry(index.row());
    if (role == Qt::TextAlignmentRole && (index.column() == IdColumn || index.column() == ChangedColumn))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && entry) {
        if (index.column() == IdColumn && !entry->problem.isEmpty())
            return entry->problem;
        if (index.column() == UserColumn)
            return entry->host.isEmpty() ? entry->user : entry->user + QLatin1Char('@') + entry->host;
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case IdColumn: return entry ? QString::number(entry->id) : QString();
    case TimeColumn:
        return QDateTime::fromMSecsSinceEpoch(line.timeMs).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case KindColumn: return entry ? tr(HistoryKindTexts[static_cast<int>(entry->kind)]) : eventText(line.event);
    case UserColumn: return entry ? entry->user : line.event.who;
    case ChangedColumn:
        return entry && historyChanges(*entry) >= 0 ? QString::number(historyChanges(*entry)) : QString();
    }
    return {};
}

QVariant TimelineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[] = {QT_TR_NOOP("Id"), QT_TR_NOOP("Time"), QT_TR_NOOP("Kind"), QT_TR_NOOP("User"),
                                         QT_TR_NOOP("Changed")};
    return section >= 0 && section < ColumnCount ? tr(titles[section]) : QVariant();
}
