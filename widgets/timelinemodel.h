#pragma once

#include "services/historystore.h"
#include "services/timelinestore.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

// What a line of the timeline is about; the dialog filters by these.
enum class TimelineGroup { Configuration, Connection, Alarms, Faults, Zones };
constexpr int TimelineGroupCount = 5;

TimelineGroup timelineGroup(TimelineKind kind);

// One energizer's timeline: its configuration history's entries and the
// timeline store's events in one list, newest first. An event that records
// a history entry (joined by its id) is that entry's line, not a second one.
class TimelineModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { IdColumn, TimeColumn, KindColumn, UserColumn, ChangedColumn, ColumnCount };

    // Either store may be null: its lines are missing; a null history is a problem, a null timeline is none.
    TimelineModel(HistoryStore* history, TimelineStore* timeline, QObject* parent = nullptr);

    void setEnergizer(const QString& link, int address);
    void setGroupShown(TimelineGroup group, bool shown);
    bool groupShown(TimelineGroup group) const { return m_shown[static_cast<int>(group)]; }

    // Reads both stores again.
    void reload();
    // Why a source could not be read at the last reload; empty when both were.
    QStringList problems() const { return m_problems; }
    // The history entries read, newest first, shown or not.
    const QVector<HistoryEntry>& historyEntries() const { return m_entries; }
    // The shown line's history entry; null for an event.
    const HistoryEntry* historyEntry(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Line
    {
        qint64 timeMs = 0;
        int entry = -1; // into m_entries, else an event
        TimelineEvent event;
    };
    void rebuild();

    HistoryStore* m_history;
    TimelineStore* m_timeline;
    QString m_link;
    int m_address = 0;
    bool m_shown[TimelineGroupCount] = {true, true, true, true, true};
    QVector<HistoryEntry> m_entries;
    QVector<Line> m_all;   // newest first
    QVector<Line> m_lines; // the shown ones
    QStringList m_problems;
};
