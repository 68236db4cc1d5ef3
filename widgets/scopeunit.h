#pragma once

#include <QElapsedTimer>
#include <QWidget>

class CircularBuffer;
class ConfigModel;
class Plot;
class QLineEdit;
class QTimer;
class QwtPlotCurve;
class Station;
struct ZoneSources;

namespace Ui {
class ScopeUnit;
}

// Stored energy in joules of the 30 uF zone capacitor at v volts.
double storedEnergy(double v);
// Stored energy at v as a percentage of that at the maximum allowed voltage;
// NaN when the maximum leaves nothing to compare with (0 or not a number).
double capacityUsed(double v, double maxVoltage);
// A read-out value: up to 6 significant digits, "N/A" when undefined.
QString readoutText(double value);

// One zone's scope: samples the station's energizer and the configuration
// block every 10 ms into five series and draws them at the display's pace: at
// most once per frame, and only when the picture has moved. Zone 1 or 2 (its
// object name is "unit1" or "unit2"); any other zone samples nothing.
class ScopeUnit : public QWidget
{
    Q_OBJECT
public:
    ScopeUnit(int zone, const ConfigModel& config, const Station& station, QWidget* parent = nullptr);
    ~ScopeUnit() override;

    // Sample instants covered so far (late ticks included, see timerTick).
    qint64 samplesTaken() const { return taken; }
    // Of those, the ones filled by holding the previous sample.
    qint64 samplesHeld() const { return held; }

    Plot* plot = nullptr;
    QTimer* timer = nullptr;
    // Runs while the plot is shown and samples come in; each timeout
    // repaints the canvas when something visible changed.
    QTimer* frameTimer = nullptr;
    // The five series, in the order of the colour swatches and check boxes.
    enum Line { Output, Return, HvCheck, HvAlarm, LvAlarm, LineCount };
    CircularBuffer* buffers[LineCount] = {};
    QwtPlotCurve* curves[LineCount] = {};

public slots:
    void timerTick();
    void frameTick();

private:
    void holdSamples(qint64 count);
    void takeSample(const ZoneSources& sources);
    void fillReadouts(const ZoneSources& sources);
    bool pictureMoved() const;

    Ui::ScopeUnit* ui;
    const ConfigModel& m_config;
    const Station& m_station;
    const ZoneSources* m_zone;
    QElapsedTimer clock;
    qint64 taken = 0;
    qint64 held = 0;
    // The sample count at the last value change and at the last paint.
    qint64 changedAt = 0;
    qint64 paintedAt = 0;
    bool changedSincePaint = true;
};
