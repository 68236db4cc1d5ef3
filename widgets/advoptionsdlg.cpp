#include "widgets/advoptionsdlg.h"
#include "ui_advoptionsdlg.h"

#include "widgets/choicebuttons.h"
#include "services/configmodel.h"
#include "protocol/configrecord.h"

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

// A zone parameter's widget is named after the parameter and the zone
// (spnFncAlmDelay2); three are radio buttons, one per value from first.
struct AdvOptionsDlg::ZoneWidget
{
    int param;
    QWidget* widget; // check box or spin box; null for radio buttons
    ChoiceButtons buttons;
    int first;
};

AdvOptionsDlg::AdvOptionsDlg(ConfigModel& model, const QString& buttonStyle, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AdvOptionsDlg)
    , m_model(model)
{
    ui->setupUi(this);
    if (!buttonStyle.isEmpty())
        styleButtons(this, buttonStyle);
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
    for (const ZoneWidget& z : zoneWidgets()) {
        auto* volts = qobject_cast<QSpinBox*>(z.widget);
        if (!volts || paramInfo(z.param)->kind != ParamKind::Voltage)
            continue;
        volts->setRange((volts->minimum() + VoltsPerStep - 1) / VoltsPerStep * VoltsPerStep,
                        volts->maximum() / VoltsPerStep * VoltsPerStep);
        volts->setSingleStep(VoltsPerStep);
        connect(volts, &QSpinBox::editingFinished, volts, [volts] {
            volts->setValue(qRound(volts->value() / double(VoltsPerStep)) * VoltsPerStep);
        });
    }

    ui->spnDaySirenReArm->setMaximum(MaxRearmMinutes / MinutesPerDay);
    connect(ui->spnDaySirenReArm, QOverload<int>::of(&QSpinBox::valueChanged), this, &AdvOptionsDlg::limitRearmTime);
    limitRearmTime(ui->spnDaySirenReArm->value());
}

AdvOptionsDlg::~AdvOptionsDlg()
{
    delete ui;
}

QVector<AdvOptionsDlg::ZoneWidget> AdvOptionsDlg::zoneWidgets() const
{
    // The radio buttons' names: the group, the zone, the value's place counted from firstName.
    const struct { int offset; const char* name; int first; int firstName; } choices[] = {
        {4, "rBtnCondLvl%1_%2", 3, 3}, {9, "rBtnFncStateAtPowerOn%1_%2", 0, 1}, {8, "rBtnFncControlMethod%1_%2", 0, 1}};
    QVector<ZoneWidget> list;
    for (int zone : {1, 2}) {
        const int first = zone == 1 ? Zone1FirstParam : Zone2FirstParam;
        for (int param = first; param < first + 15; ++param) {
            const QString name = QLatin1String(paramInfo(param)->name) + QString::number(zone);
            if (QWidget* w = findChild<QWidget*>(QStringLiteral("spn") + name))
                list.push_back({param, w, {}, 0});
            else if (QWidget* w = findChild<QWidget*>(QStringLiteral("chk") + name))
                list.push_back({param, w, {}, 0});
        }
        for (const auto& c : choices) {
            ChoiceButtons buttons;
            while (auto* b = findChild<QAbstractButton*>(QString::fromLatin1(c.name).arg(zone).arg(c.firstName + buttons.size())))
                buttons << b;
            list.push_back({first + c.offset, nullptr, buttons, c.first});
        }
    }
    return list;
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

    for (const ZoneWidget& z : zoneWidgets()) {
        const QVariant value = m_model.param(z.param);
        if (auto* check = qobject_cast<QCheckBox*>(z.widget))
            check->setChecked(value.toBool());
        else if (auto* spin = qobject_cast<QDoubleSpinBox*>(z.widget))
            spin->setValue(value.toDouble());
        else if (auto* spin = qobject_cast<QSpinBox*>(z.widget))
            spin->setValue(static_cast<int>(value.toDouble()));
        else
            showChoice(z.buttons, value.toInt(), z.first);
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

    for (const ZoneWidget& z : zoneWidgets()) {
        if (auto* check = qobject_cast<QCheckBox*>(z.widget))
            values.insert(z.param, check->isChecked());
        else if (auto* spin = qobject_cast<QDoubleSpinBox*>(z.widget))
            values.insert(z.param, spin->value());
        else if (auto* spin = qobject_cast<QSpinBox*>(z.widget))
            values.insert(z.param, spin->value());
        else if (checkedChoice(z.buttons, z.first) >= 0) // none checked: the stored value stays
            values.insert(z.param, checkedChoice(z.buttons, z.first));
    }
    m_model.setBlock(applyParams(m_model.block(), values));
}
