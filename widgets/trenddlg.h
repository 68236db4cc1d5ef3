#pragma once

#include "services/timelinestore.h"

#include <QDialog>
#include <QVector>

#include <functional>

class ConfigModel;
class QwtPlotZoomer;

namespace Ui {
class TrendDlg;
}

// The minute readings of the window's energizer over the last hour, day,
// week or a chosen range: each series' mean as a line and its minimum to
// maximum as a band, each zone's alarm levels from the configuration, zoom
// with the mouse, and the readings shown exported as energizer-cli's CSV.
class TrendDlg : public QDialog
{
    Q_OBJECT
public:
    enum class Range { Hour, Day, Week, Chosen };

    // store may be null: nothing to show, and the dialog says why.
    TrendDlg(TimelineStore* store, const QString& link, int address, const ConfigModel& config,
             QWidget* parent = nullptr);
    ~TrendDlg() override;

    // Chooses "Chosen range" with these ends (ms since the epoch) and shows it.
    void showRange(qint64 sinceMs, qint64 untilMs);
    // The readings inside the plot's time axis now (after a zoom, the zoomed part).
    QVector<TimelineReading> shownReadings() const;
    QString statusText() const;

    // The file dialog of "Export CSV"; empty means cancelled. Replaceable for tests.
    std::function<QString()> askSaveFileName;

public slots:
    void reload();
    void exportCsv();

private:
    void rangeChosen();
    void plotReadings();
    void showStatus(const QString& text, bool ok);

    Ui::TrendDlg* ui;
    TimelineStore* m_store;
    QString m_link;
    int m_address;
    const ConfigModel& m_config;
    QwtPlotZoomer* m_zoomer = nullptr;
    QVector<TimelineReading> m_readings;
    qint64 m_sinceMs = 0;
    qint64 m_untilMs = 0;
};
