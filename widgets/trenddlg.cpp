#include "widgets/trenddlg.h"
#include "ui_trenddlg.h"

#include "protocol/configrecord.h"
#include "services/configmodel.h"
#include "services/timelinetext.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <qwt_date.h>
#include <qwt_date_scale_draw.h>
#include <qwt_date_scale_engine.h>
#include <qwt_legend.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_intervalcurve.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_zoomer.h>
#include <qwt_symbol.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 MinuteMs = 60000;
// Longer ranges are drawn from buckets of several minutes, at most about this many points.
constexpr qint64 MaxPoints = 12000;
// Up to this many readings, each is marked as well as joined.
constexpr int MarkedReadings = 120;

// In timelineSeries() order.
const char* const SeriesTitles[TimelineSeriesCount] = {
    QT_TRANSLATE_NOOP("TrendDlg", "Zone 1 output"), QT_TRANSLATE_NOOP("TrendDlg", "Zone 1 return"),
    QT_TRANSLATE_NOOP("TrendDlg", "Zone 2 output"), QT_TRANSLATE_NOOP("TrendDlg", "Zone 2 return"),
    QT_TRANSLATE_NOOP("TrendDlg", "Battery")};
const QColor SeriesColors[TimelineSeriesCount] = {QColor(0, 170, 127), QColor(220, 0, 0), QColor(0, 80, 230),
                                                  QColor(230, 130, 0), QColor(120, 60, 160)};
constexpr int BatterySeries = 4;

} // namespace

TrendDlg::TrendDlg(TimelineStore* store, const QString& link, int address, const ConfigModel& config, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::TrendDlg)
    , m_store(store)
    , m_link(link)
    , m_address(address)
    , m_config(config)
{
    ui->setupUi(this);
    ui->lblEnergizer->setText(tr("Energizer %1 on %2").arg(address).arg(link.isEmpty() ? tr("no link") : link));

    QwtPlot* plot = ui->plot;
    plot->setCanvasBackground(Qt::white);
    plot->setAxisScaleDraw(QwtPlot::xBottom, new QwtDateScaleDraw(Qt::LocalTime));
    plot->setAxisScaleEngine(QwtPlot::xBottom, new QwtDateScaleEngine(Qt::LocalTime));
    plot->setAxisTitle(QwtPlot::yLeft, tr("Zone voltage (V)"));
    plot->enableAxis(QwtPlot::yRight);
    plot->setAxisTitle(QwtPlot::yRight, tr("Battery (V)"));
    plot->insertLegend(new QwtLegend, QwtPlot::BottomLegend);
    auto* grid = new QwtPlotGrid;
    grid->setMajorPen(QPen(Qt::lightGray, 0, Qt::DotLine));
    grid->attach(plot);
    m_zoomer = new QwtPlotZoomer(QwtPlot::xBottom, QwtPlot::yLeft, plot->canvas());
    m_zoomer->setTrackerMode(QwtPicker::AlwaysOff);

    askSaveFileName = [this] {
        return QFileDialog::getSaveFileName(this, tr("Export trend"), QStringLiteral("trend-%1.csv").arg(m_address),
                                            tr("CSV files (*.csv)"));
    };

    connect(ui->cmbRange, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TrendDlg::rangeChosen);
    for (QDateTimeEdit* edit : {ui->dteFrom, ui->dteUntil})
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this] {
            if (ui->cmbRange->currentIndex() == static_cast<int>(Range::Chosen))
                reload();
        });
    connect(ui->btnExport, &QPushButton::clicked, this, &TrendDlg::exportCsv);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::close);

    rangeChosen();
}

TrendDlg::~TrendDlg()
{
    delete ui;
}

void TrendDlg::rangeChosen()
{
    const auto range = static_cast<Range>(ui->cmbRange->currentIndex());
    const bool chosen = range == Range::Chosen;
    ui->dteFrom->setEnabled(chosen);
    ui->dteUntil->setEnabled(chosen);
    if (!chosen) {
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime from = range == Range::Hour ? now.addSecs(-3600) : now.addDays(range == Range::Day ? -1 : -7);
        // The edits follow, so "Chosen range" starts from what was shown.
        const QSignalBlocker blockFrom(ui->dteFrom);
        const QSignalBlocker blockUntil(ui->dteUntil);
        ui->dteFrom->setDateTime(from);
        ui->dteUntil->setDateTime(now);
    }
    reload();
}

void TrendDlg::showRange(qint64 sinceMs, qint64 untilMs)
{
    const QSignalBlocker blockRange(ui->cmbRange);
    const QSignalBlocker blockFrom(ui->dteFrom);
    const QSignalBlocker blockUntil(ui->dteUntil);
    ui->cmbRange->setCurrentIndex(static_cast<int>(Range::Chosen));
    ui->dteFrom->setEnabled(true);
    ui->dteUntil->setEnabled(true);
    ui->dteFrom->setDateTime(QDateTime::fromMSecsSinceEpoch(sinceMs));
    ui->dteUntil->setDateTime(QDateTime::fromMSecsSinceEpoch(untilMs));
    reload();
}

void TrendDlg::reload()
{
    m_sinceMs = ui->dteFrom->dateTime().toMSecsSinceEpoch();
    m_untilMs = ui->dteUntil->dateTime().toMSecsSinceEpoch();
    m_readings.clear();
    if (m_untilMs <= m_sinceMs) {
        showStatus(tr("The range ends before it starts"), false);
    } else if (!m_store || !m_store->isAvailable()) {
        showStatus(tr("No timeline is kept: %1").arg(m_store ? m_store->problem() : tr("this window has no timeline file")),
                   false);
    } else {
        TimelineFilter filter;
        filter.link = m_link;
        filter.addresses = {m_address};
        filter.sinceMs = m_sinceMs;
        filter.untilMs = m_untilMs;
        filter.bucketMinutes = static_cast<int>(std::max<qint64>(1, (m_untilMs - m_sinceMs) / MinuteMs / MaxPoints + 1));
        const StoreResult<QVector<TimelineReading>> readings = m_store->readings(filter);
        if (readings.ok()) {
            m_readings = readings.value;
            showStatus(m_readings.isEmpty() ? tr("No readings in this range")
                       : filter.bucketMinutes > 1
                           ? tr("Readings of %2 minutes each: %1").arg(m_readings.size()).arg(filter.bucketMinutes)
                           : tr("Minute readings: %1").arg(m_readings.size()),
                       true);
        } else {
            showStatus(tr("The timeline could not be read: %1").arg(readings.error), false);
        }
    }
    plotReadings();
}

void TrendDlg::plotReadings()
{
    QwtPlot* plot = ui->plot;
    plot->detachItems(QwtPlotItem::Rtti_PlotCurve);
    plot->detachItems(QwtPlotItem::Rtti_PlotIntervalCurve);
    plot->detachItems(QwtPlotItem::Rtti_PlotMarker);

    double top = 0;
    double batteryTop = 0;
    for (int s = 0; s < TimelineSeriesCount; ++s) {
        QVector<QPointF> means;
        QVector<QwtIntervalSample> bands;
        double& peak = s == BatterySeries ? batteryTop : top;
        for (const TimelineReading& r : qAsConst(m_readings)) {
            const double x = static_cast<double>(r.minute * MinuteMs);
            means << QPointF(x, r.mean[s]);
            bands << QwtIntervalSample(x, r.min[s], r.max[s]);
            peak = std::max(peak, r.max[s]);
        }
        auto* band = new QwtPlotIntervalCurve;
        QColor fill = SeriesColors[s];
        fill.setAlpha(50);
        band->setPen(QPen(Qt::NoPen));
        band->setBrush(fill);
        band->setItemAttribute(QwtPlotItem::Legend, false);
        band->setSamples(bands);
        auto* curve = new QwtPlotCurve(tr(SeriesTitles[s]));
        curve->setPen(QPen(SeriesColors[s], 1.5));
        // A reading between two missing ones has no line to be seen on; few are marked.
        if (m_readings.size() <= MarkedReadings)
            curve->setSymbol(new QwtSymbol(QwtSymbol::Ellipse, QBrush(SeriesColors[s]), QPen(SeriesColors[s]), QSize(5, 5)));
        curve->setSamples(means);
        if (s == BatterySeries) {
            band->setYAxis(QwtPlot::yRight);
            curve->setYAxis(QwtPlot::yRight);
        }
        band->attach(plot);
        curve->attach(plot);
    }

    // The levels at which each zone raises its alarms, as configured.
    if (m_config.received()) {
        for (int zone = 1; zone <= 2; ++zone) {
            const std::pair<ZoneParam, QString> levels[] = {
                {ZoneParam::HighVoltageAlarm, tr("zone %1 high voltage alarm").arg(zone)},
                {ZoneParam::LowVoltageAlarm, tr("zone %1 low voltage alarm").arg(zone)}};
            for (const auto& level : levels) {
                const double volts = m_config.param(zoneParam(zone, level.first)).toDouble();
                auto* marker = new QwtPlotMarker;
                marker->setLineStyle(QwtPlotMarker::HLine);
                marker->setLinePen(QPen(SeriesColors[zone == 1 ? 0 : 2], 1, Qt::DashLine));
                marker->setYValue(volts);
                marker->setLabel(QwtText(level.second));
                // Zone 1's names on the left, zone 2's on the right: equal levels stay readable.
                marker->setLabelAlignment((zone == 1 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop);
                marker->attach(plot);
                top = std::max(top, volts);
            }
        }
    }

    plot->setAxisScale(QwtPlot::xBottom, static_cast<double>(m_sinceMs), static_cast<double>(m_untilMs));
    plot->setAxisScale(QwtPlot::yLeft, 0, top > 0 ? top * 1.1 : 1000);
    plot->setAxisScale(QwtPlot::yRight, 0, batteryTop > 0 ? batteryTop * 1.2 : 15);
    plot->replot();
    m_zoomer->setZoomBase(true);
}

QVector<TimelineReading> TrendDlg::shownReadings() const
{
    const QwtInterval shown = ui->plot->axisInterval(QwtPlot::xBottom);
    QVector<TimelineReading> readings;
    std::copy_if(m_readings.cbegin(), m_readings.cend(), std::back_inserter(readings), [shown](const TimelineReading& r) {
        return shown.contains(static_cast<double>(r.minute * MinuteMs));
    });
    return readings;
}

QString TrendDlg::statusText() const
{
    return ui->lblStatus->text();
}

void TrendDlg::showStatus(const QString& text, bool ok)
{
    ui->lblStatus->setStyleSheet(ok ? QString() : QStringLiteral("color: #c0392b; font-weight: bold;"));
    ui->lblStatus->setText(text);
}

void TrendDlg::exportCsv()
{
    const QString path = askSaveFileName();
    if (path.isEmpty())
        return;
    const QVector<TimelineReading> readings = shownReadings();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(trendText(readings, QStringLiteral("csv"))) < 0
        || !file.flush()) {
        showStatus(tr("The trend was not exported: %1").arg(file.errorString()), false);
        return;
    }
    showStatus(tr("%1 readings exported to %2").arg(readings.size()).arg(path), true);
}
