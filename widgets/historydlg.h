#pragma once

#include "services/historystore.h"

#include <QDialog>
#include <QVector>

#include <functional>

class ConfigPush;
class ConfigTransfer;
class HistoryKeeper;
class TimelineModel;
class TimelineStore;

namespace Ui {
class HistoryDlg;
}

// The timeline of the window's energizer: its history's entries and its
// events newest first, filtered by kind; the diff of one entry against the
// energizer now or of two against each other, export of an entry as the XML
// file, and restoring one through the write preview.
class HistoryDlg : public QDialog
{
    Q_OBJECT
public:
    // timeline may be null: the history's entries alone.
    HistoryDlg(HistoryKeeper& keeper, TimelineStore* timeline, ConfigTransfer& transfer, ConfigPush& push,
               QWidget* parent = nullptr);
    ~HistoryDlg() override;

    // Restoring writes, so it is offered only where writing is (the PIN rule).
    void setRestoreAllowed(bool allowed, const QString& why);
    // The history ids as listed, newest first.
    QVector<qint64> shownIds() const;
    TimelineModel& model() const { return *m_model; }
    void selectIds(const QVector<qint64>& ids);
    QString statusText() const;

    // The file dialog of "Export as XML"; empty means cancelled. Replaceable for tests.
    std::function<QString(qint64 id)> askSaveFileName;

public slots:
    void reload();
    void readCurrent();
    void exportEntry();
    void restoreEntry();

private:
    QVector<HistoryEntry> selectedEntries() const;
    QVector<qint64> selectedIds() const;
    void showDiff();
    void updateButtons();
    void showStatus(const QString& text, bool ok);

    Ui::HistoryDlg* ui;
    HistoryKeeper& m_keeper;
    ConfigTransfer& m_transfer;
    ConfigPush& m_push;
    TimelineModel* m_model;
    ConfigBlock m_current{};
    bool m_haveCurrent = false;
    bool m_restoring = false;
    bool m_restoreAllowed = true;
    QString m_restoreWhy;
};
