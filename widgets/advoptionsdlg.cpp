#include "widgets/advoptionsdlg.h"
#include "ui_advoptionsdlg.h"

#include "widgets/choicebuttons.h"
#include "services/configmodel.h"

#include <QFontMetrics>
#include <QTime>

namespace {

// The re-arm time is one 16-bit count of 10-second units, split over two bytes.
constexpr int RearmHighParam = 26;
constexpr int RearmLowParam = 25;
constexpr int UnitsPerMinute = 6;
constexpr int MinutesPerDay = 24 * 60;
constexpr int MaxRearmMinutes = 0xFFFF / UnitsPerMinute; // 7 days 14:02

QTime timeAfterMidnight(int seconds)
{
    return QTime(0, 0).addSecs(seconds);
}

int secondsAfterMidnight(const QTime& time)
{
    return time.isValid() ? QTime(0, 0).secsTo(time) : 0;
}

// The narrowest width at which text breaks at a blank into two lines; a
// little slack so the label's own layout breaks it at the same blank.
int twoLineWidth(const QFontMetrics& metrics, const QString& text)
{
    int best = metrics.horizontalAdvance(text);
    for (int i = text.indexOf(QLatin1Char(' ')); i >= 0; i = text.indexOf(QLatin1Char(' '), i + 1)) {
        best = qMin(best, qMax(metrics.horizontalAdvance(text.left(i)), metrics.horizontalAdvance(text.mid(i + 1))));
    }
    return best + 2;
}

} // namespace

// The widgets of one zone; params are offsets from the zone's first index.
struct AdvOptionsDlg::Zone
{
    int first; // FncInterferenceAlarm: 30 for zone 1, 45 for zone 2
    QCheckBox* interferenceAlarm;
    QDoubleSpinBox* storageCap;
    QSpinBox* alarmDelay;
    QSpinBox* arcingThreshold;
    QSpinBox* arcingFilter;
    QSpinBox* releaseFilter;
    QSpinBox* volts[5]; // FncHighVltgChkThreshold .. FncHighPwrVltg
    ChoiceButtons conditionLevel; // levels 3..6
    ChoiceButtons stateAtPowerOn;
    ChoiceButtons controlMethod;

    int param(int zone1Index) const { return first + zone1Index - 30; }
};

AdvOptionsDlg::AdvOptionsDlg(ConfigModel& model, const QString& buttonStyle, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AdvOptionsDlg)
    , m_model(model)
{
    ui->setupUi(this);
    if (!buttonStyle.isEmpty()) {
        const auto buttons = findChildren<QPushButton*>();
        for (QPushButton* button : buttons)
            button->setStyleSheet(buttonStyle);
    }
    // Not for the installer, but still read and written with full range.
    const QList<QWidget*> hidden = {
        ui->lblFncArcingReleaseFilter1, ui->spnFncArcingReleaseFilter1, ui->lblFncArcingDtctFilter1,
        ui->spnFncArcingDtctFilter1,    ui->lblFncArcingDtctTreshold1,  ui->spnFncArcingDtctTreshold1,
        ui->lblStrgCapMaxAlldPwr1,      ui->spnStrgCapMaxAlldPwr1,      ui->lblFncArcingReleaseFilter2,
        ui->spnFncArcingReleaseFilter2, ui->lblFncArcingDtctFilter2,    ui->spnFncArcingDtctFilter2,
        ui->lblFncArcingDtctTreshold2,  ui->spnFncArcingDtctTreshold2,  ui->lblStrgCapMaxAlldPwr2,
        ui->spnStrgCapMaxAlldPwr2};
    for (QWidget* w : hidden)
        w->hide();

    // Long labels take two lines, so both zones and the siren fit side by side.
    const auto labels = findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (label->wordWrap())
            label->setMinimumWidth(twoLineWidth(label->fontMetrics(), label->text()));
    }

    // The block stores volts in steps of 170 V: offer only the steps inside each range.
    for (int number : {1, 2}) {
        for (QSpinBox* volts : zone(number).volts) {
            volts->setRange((volts->minimum() + VoltsPerStep - 1) / VoltsPerStep * VoltsPerStep,
                            volts->maximum() / VoltsPerStep * VoltsPerStep);
            volts->setSingleStep(VoltsPerStep);
            connect(volts, &QSpinBox::editingFinished, volts, [volts] {
                volts->setValue(qRound(volts->value() / double(VoltsPerStep)) * VoltsPerStep);
            });
        }
    }

    ui->spnDaySirenReArm->setMaximum(MaxRearmMinutes / MinutesPerDay);
    connect(ui->spnDaySirenReArm, QOverload<int>::of(&QSpinBox::valueChanged), this, &AdvOptionsDlg::limitRearmTime);
    limitRearmTime(ui->spnDaySirenReArm->value());
}

AdvOptionsDlg::~AdvOptionsDlg()
{
    delete ui;
}

AdvOptionsDlg::Zone AdvOptionsDlg::zone(int number) const
{
    if (number == 1) {
        return {30, ui->chkFncInterferenceAlarm1, ui->spnStrgCapMaxAlldPwr1, ui->spnFncAlmDelay1,
                ui->spnFncArcingDtctTreshold1, ui->spnFncArcingDtctFilter1, ui->spnFncArcingReleaseFilter1,
                {ui->spnFncHighVltgChkThreshold1, ui->spnFncHighVltgAlrmThreshold1, ui->spnFncLowVltgAlrmThreshold1,
                 ui->spnFncLowPwrVltg1, ui->spnFncHighPwrVltg1},
                {ui->rBtnCondLvl1_3, ui->rBtnCondLvl1_4, ui->rBtnCondLvl1_5, ui->rBtnCondLvl1_6},
                {ui->rBtnFncStateAtPowerOn1_1, ui->rBtnFncStateAtPowerOn1_2, ui->rBtnFncStateAtPowerOn1_3},
                {ui->rBtnFncControlMethod1_1, ui->rBtnFncControlMethod1_2}};
    }
    return {45, ui->chkFncInterferenceAlarm2, ui->spnStrgCapMaxAlldPwr2, ui->spnFncAlmDelay2,
            ui->spnFncArcingDtctTreshold2, ui->spnFncArcingDtctFilter2, ui->spnFncArcingReleaseFilter2,
            {ui->spnFncHighVltgChkThreshold2, ui->spnFncHighVltgAlrmThreshold2, ui->spnFncLowVltgAlrmThreshold2,
             ui->spnFncLowPwrVltg2, ui->spnFncHighPwrVltg2},
            {ui->rBtnCondLvl2_3, ui->rBtnCondLvl2_4, ui->rBtnCondLvl2_5, ui->rBtnCondLvl2_6},
            {ui->rBtnFncStateAtPowerOn2_1, ui->rBtnFncStateAtPowerOn2_2, ui->rBtnFncStateAtPowerOn2_3},
            {ui->rBtnFncControlMethod2_1, ui->rBtnFncControlMethod2_2}};
}

// A count above 0xFFFF units cannot be stored, so on the last day the
// time stops at the largest storable one.
void AdvOptionsDlg::limitRearmTime(int days)
{
    const bool lastDay = days >= MaxRearmMinutes / MinutesPerDay;
    ui->teSirenReArm->setMaximumTime(lastDay ? timeAfterMidnight(MaxRearmMinutes % MinutesPerDay * 60)
                                             : QTime(23, 59));
}

void AdvOptionsDlg::updateUi()
{
    ui->teSirenOn->setTime(timeAfterMidnight(m_model.param(23).toInt()));
    ui->teSirenOff->setTime(timeAfterMidnight(m_model.param(24).toInt()));

    const int units = m_model.param(RearmHighParam).toInt() * 256 + m_model.param(RearmLowParam).toInt();
    const int minutes = units / UnitsPerMinute;
    ui->spnDaySirenReArm->setValue(minutes / MinutesPerDay);
    ui->teSirenReArm->setTime(timeAfterMidnight(minutes % MinutesPerDay * 60));

    ui->spnEventsBeforeRearm->setValue(m_model.param(27).toInt());

    for (int number : {1, 2}) {
        const Zone z = zone(number);
        z.interferenceAlarm->setChecked(m_model.param(z.param(30)).toBool());
        z.storageCap->setValue(m_model.param(z.param(32)).toDouble());
        z.alarmDelay->setValue(m_model.param(z.param(33)).toInt());
        z.arcingThreshold->setValue(m_model.param(z.param(35)).toInt());
        z.arcingFilter->setValue(m_model.param(z.param(36)).toInt());
        z.releaseFilter->setValue(m_model.param(z.param(37)).toInt());
        for (int i = 0; i < 5; ++i)
            z.volts[i]->setValue(static_cast<int>(m_model.param(z.param(40 + i)).toDouble()));
        showChoice(z.conditionLevel, m_model.param(z.param(34)).toInt(), 3);
        showChoice(z.stateAtPowerOn, m_model.param(z.param(39)).toInt());
        showChoice(z.controlMethod, m_model.param(z.param(38)).toInt());
    }
}

void AdvOptionsDlg::updateRecord()
{
    ParamValues values;
    values.insert(23, secondsAfterMidnight(ui->teSirenOn->time()));
    values.insert(24, secondsAfterMidnight(ui->teSirenOff->time()));

    const QTime rearm = ui->teSirenReArm->time();
    const int units = (ui->spnDaySirenReArm->value() * MinutesPerDay + rearm.hour() * 60 + rearm.minute())
                      * UnitsPerMinute;
    values.insert(RearmHighParam, units / 256);
    values.insert(RearmLowParam, units % 256);

    values.insert(27, ui->spnEventsBeforeRearm->value());

    // A group without a checked button keeps the stored value.
    const auto storeChoice = [&values](const ChoiceButtons& buttons, int param, int first = 0) {
        const int value = checkedChoice(buttons, first);
        if (value >= 0)
            values.insert(param, value);
    };
    for (int number : {1, 2}) {
        const Zone z = zone(number);
        values.insert(z.param(30), z.interferenceAlarm->isChecked());
        values.insert(z.param(32), z.storageCap->value());
        values.insert(z.param(33), z.alarmDelay->value());
        values.insert(z.param(35), z.arcingThreshold->value());
        values.insert(z.param(36), z.arcingFilter->value());
        values.insert(z.param(37), z.releaseFilter->value());
        for (int i = 0; i < 5; ++i)
            values.insert(z.param(40 + i), z.volts[i]->value());
        storeChoice(z.conditionLevel, z.param(34), 3);
        storeChoice(z.stateAtPowerOn, z.param(39));
        storeChoice(z.controlMethod, z.param(38));
    }
    m_model.setBlock(applyParams(m_model.block(), values));
}
