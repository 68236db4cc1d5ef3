#include "widgets/scopeunit.h"
#include "ui_scopeunit.h"

#include "services/configmodel.h"
#include "protocol/configrecord.h"
#include "protocol/energizerfields.h"
#include "link/station.h"
#include "widgets/circularbuffer.h"
#include "widgets/plot.h"
#include "widgets/scopecurve.h"

#include <QCheckBox>
#include <QColor>
#include <QPen>
#include <QTimer>
#include <QVBoxLayout>

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>

#include <cmath>
#include <limits>

namespace {

constexpr int SamplePeriodMs = 10;
// One frame of a 60 Hz display, rounded up so that no frame gets two paints.
constexpr int FramePeriodMs = 17;
constexpr double PlotYMax = 15000.0;
constexpr double CapacitorFarad = 0.00003;

void setReadout(QLineEdit* edit, const QString& text)
{
    // Unchanged text would still repaint the edit 100 times a second.
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

// Where one zone's samples and read-outs come from: its fields of the status
// table and its threshold parameters.
struct ZoneSources
{
    const StatusField* outputVoltage;
    const StatusField* returnVoltage;
    const StatusField* capVoltage;
    const StatusField* fenceLevel;
    const StatusField* fenceCondition;
    const StatusField* batteryVoltage;
    int zone;
    const char* title;
    const char* actualTitle;
};

namespace {

ZoneSources zoneSources(int zone, const char* title, const char* actualTitle)
{
    const auto field = [zone](const char* name) { return statusField(QLatin1String(name) + QString::number(zone)); };
    return {field("outputVoltage"), field("returnVoltage"), field("capVoltage"), field("fenceLevel"),
            field("fenceCondition"), statusField(QStringLiteral("batteryVoltage")), zone, title, actualTitle};
}

const ZoneSources* zoneSources(int zone)
{
    static const ZoneSources zones[] = {
        zoneSources(1, QT_TRANSLATE_NOOP("ScopeUnit", "Fence 1"), QT_TRANSLATE_NOOP("ScopeUnit", "Fence 1 Actual")),
        zoneSources(2, QT_TRANSLATE_NOOP("ScopeUnit", "Fence 2"), QT_TRANSLATE_NOOP("ScopeUnit", "Fence 2 Actual")),
    };
    return zone == 1 || zone == 2 ? &zones[zone - 1] : nullptr;
}

} // namespace

double storedEnergy(double v)
{
    return v * 0.5 * v * CapacitorFarad;
}

double capacityUsed(double v, double maxVoltage)
{
    const double maxEnergy = storedEnergy(maxVoltage);
    if (!(maxEnergy > 0.0) || !std::isfinite(maxEnergy))
        return std::numeric_limits<double>::quiet_NaN();
    return storedEnergy(v) / maxEnergy * 100.0;
}

QString readoutText(double value)
{
    if (!std::isfinite(value))
        return ScopeUnit::tr("N/A");
    return QString::number(value, 'g', 6);
}

ScopeUnit::ScopeUnit(int zone, const ConfigModel& config, const Station& station, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::ScopeUnit)
    , m_config(config)
    , m_station(station)
    , m_zone(zoneSources(zone))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("unit%1").arg(zone));

    timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->start(SamplePeriodMs);
    frameTimer = new QTimer(this);
    frameTimer->setInterval(FramePeriodMs);

    const QColor colors[] = {QColor(0, 170, 127), QColor(255, 0, 0), QColor(51, 204, 51), QColor(0, 0, 255),
                             QColor(255, 255, 0)};
    plot = new Plot(PlotYMax, ui->wChart1);
    plot->setTitle(tr("Voltages"));
    for (int i = 0; i < LineCount; ++i) {
        // Swatch, check box and curve i show line i (lblLineColor1, chkColor1, ...).
        const QString swatch = QStringLiteral("background-color: rgb(%1, %2, %3)");
        findChild<QLabel*>(QStringLiteral("lblLineColor%1").arg(i + 1))
            ->setStyleSheet(swatch.arg(colors[i].red()).arg(colors[i].green()).arg(colors[i].blue()));
        buffers[i] = new CircularBuffer;
        auto* curve = new ScopeCurve(QStringLiteral("buffer1_%1").arg(i + 1));
        curve->setPen(QPen(colors[i], 0.0, Qt::SolidLine));
        curve->setData(buffers[i]);
        curve->attach(plot);
        curves[i] = curve;
        auto* check = findChild<QCheckBox*>(QStringLiteral("chkColor%1").arg(i + 1));
        connect(check, &QCheckBox::clicked, this, [this, curve](bool on) {
            curve->setVisible(on);
            plot->replot();
        });
    }

    auto* chartLayout = new QVBoxLayout;
    chartLayout->addWidget(plot, 0);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    ui->wChart1->setLayout(chartLayout);

    connect(timer, &QTimer::timeout, this, &ScopeUnit::timerTick);
    connect(frameTimer, &QTimer::timeout, this, &ScopeUnit::frameTick);
}

ScopeUnit::~ScopeUnit()
{
    delete ui;
}

// A tick that comes late (the event loop was busy, e.g. a reader waiting for
// the rest of a reply) still accounts for every 10 ms slot since the first
// tick: the missed slots hold the previous sample, as a sample-and-hold scope
// would, and the newest slot gets the current values. The curves therefore
// always span exactly ten seconds. Sampling draws nothing itself: the frame
// timer does, at most once per display frame.
void ScopeUnit::timerTick()
{
    if (!clock.isValid())
        clock.start();
    if (const ZoneSources* sources = m_zone) {
        const qint64 due = clock.elapsed() / SamplePeriodMs + 1;
        const qint64 missed = due - taken - 1;
        if (missed > 0)
            holdSamples(missed);
        takeSample(*sources);
        fillReadouts(*sources);
    }
    // The hidden tab keeps sampling; drawing it would be wasted.
    if (plot->isVisible() && !frameTimer->isActive())
        frameTimer->start();
}

// The curves scroll by one slot per sample, interval + 1 slots across the
// canvas: a paint is due once they moved a whole pixel or a value changed.
// Once every step has scrolled out, flat lines do not move at all.
bool ScopeUnit::pictureMoved() const
{
    if (changedSincePaint)
        return true;
    const qint64 span = static_cast<qint64>(buffers[Output]->interval) + 1;
    if (paintedAt - changedAt > span)
        return false;
    const int width = qMax(1, plot->canvas()->width());
    return (taken - paintedAt) * width >= span;
}

void ScopeUnit::frameTick()
{
    if (!plot->isVisible()) {
        frameTimer->stop();
        return;
    }
    if (!pictureMoved()) {
        // Started again by the next sample.
        if (taken == paintedAt)
            frameTimer->stop();
        return;
    }
    // The axes are fixed: only the canvas inside its frame needs painting,
    // not a whole replot.
    if (auto* canvas = qobject_cast<QwtPlotCanvas*>(plot->canvas()))
        canvas->replot();
    else
        plot->replot();
    paintedAt = taken;
    changedSincePaint = false;
}

void ScopeUnit::holdSamples(qint64 count)
{
    // Beyond a full buffer further held copies change nothing.
    const qint64 appended = qMin<qint64>(count, static_cast<qint64>(buffers[Output]->interval) + 1);
    for (CircularBuffer* buffer : buffers) {
        const double last = buffer->values.last();
        for (qint64 i = 0; i < appended; ++i)
            buffer->append(last);
    }
    // Held copies change no value, but they scroll the picture.
    taken += count;
    held += count;
}

void ScopeUnit::takeSample(const ZoneSources& sources)
{
    ui->groupBox->setTitle(tr(sources.title));
    ui->groupBox_2->setTitle(tr(sources.actualTitle));

    const Energizer& energizer = m_station.energizer();
    // The zone's threshold parameters, as whole volts.
    const auto threshold = [&](ZoneParam p) { return double(m_config.param(zoneParam(sources.zone, p)).toInt()); };
    const double samples[LineCount] = {sources.outputVoltage->number(energizer), sources.returnVoltage->number(energizer),
                                       threshold(ZoneParam::HighVoltageCheck), threshold(ZoneParam::HighVoltageAlarm),
                                       threshold(ZoneParam::LowVoltageAlarm)};
    bool changed = false;
    for (int i = 0; i < LineCount; ++i) {
        // NaN to NaN draws the same: no change.
        const double last = buffers[i]->values.last();
        if (last != samples[i] && !(std::isnan(last) && std::isnan(samples[i])))
            changed = true;
        buffers[i]->append(samples[i]);
    }
    ++taken;
    if (changed) {
        changedAt = taken;
        changedSincePaint = true;
    }
}

void ScopeUnit::fillReadouts(const ZoneSources& sources)
{
    const Energizer& energizer = m_station.energizer();
    const double capVoltage = sources.capVoltage->number(energizer);
    const double capMax = m_config.param(zoneParam(sources.zone, ZoneParam::CapMaxPower)).toDouble();
    setReadout(ui->edtFenceStatus, sources.fenceCondition->value(energizer).toString());
    setReadout(ui->edtCondition, sources.fenceLevel->value(energizer).toString());
    setReadout(ui->edtOutputVoltage, readoutText(sources.outputVoltage->number(energizer)));
    setReadout(ui->edtReturnVoltage, readoutText(sources.returnVoltage->number(energizer)));
    setReadout(ui->edtStoredEnergy, readoutText(storedEnergy(capVoltage)));
    setReadout(ui->edtCapacityUsed, readoutText(capacityUsed(capVoltage, capMax)));
    setReadout(ui->edtBatteryVoltage, readoutText(sources.batteryVoltage->number(energizer)));
}
