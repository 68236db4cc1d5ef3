#include "widgets/configdlg.h"
#include "ui_configdlg.h"

#include "widgets/advoptionsdlg.h"
#include "widgets/choicebuttons.h"
#include "services/configmodel.h"
#include "services/configpush.h"
#include "services/configtransfer.h"
#include "widgets/writepreviewdlg.h"
#include "protocol/energizer.h"
#include "protocol/frames.h"
#include "link/station.h"

#include <QDomDocument>
#include <QIntValidator>
#include <QPixmap>

namespace {

// QIntValidator alone lets "+" and group separators through, which would
// be stored as 0xF nibbles; a PIN is plain digits.
class PinValidator : public QIntValidator
{
public:
    explicit PinValidator(QObject* parent)
        : QIntValidator(0, 999999, parent)
    {
    }

    State validate(QString& input, int& pos) const override
    {
        for (const QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        }
        return QIntValidator::validate(input, pos);
    }
};

} // namespace

// One parameter and the widget(s) that show it.
struct ConfigDlg::Binding
{
    enum Kind {
        Direct,     // check box checked when non-zero
        Inverted,   // check box checked when zero
        Choice,     // radio buttons for 0, 1, 2, ...
        AnyNonZero, // two radio buttons: 0 and everything else (written as 1)
        Spin,
        Text,
        Combo,
    };
    int param;
    Kind kind;
    QWidget* widget;
    ChoiceButtons buttons;
};

ConfigDlg::ConfigDlg(ConfigModel& model, Station& station, ConfigTransfer& transfer, ConfigPush* push,
                     const QString& buttonStyle, QWidget* parent)
    : QDialog(parent)
    , domDocument(new QDomDocument(QStringLiteral("Configuration")))
    , ui(new Ui::ConfigDlg)
    , m_model(model)
    , m_station(station)
    , m_transfer(transfer)
    , m_push(push)
    , m_buttonStyle(buttonStyle)
{
    ui->setupUi(this);
    setWindowTitle(tr("Configuration"));
    if (!buttonStyle.isEmpty())
        styleButtons(this, buttonStyle);
    ui->gbPainc->hide();

    using B = Binding;
    bindings = {
        {29, B::Choice, nullptr, {ui->rBtnLCD2_good, ui->rBtnLCD2_vpeak, ui->rBtnLCD2_energy, ui->rBtnLCD2_fence,
                                  ui->rBtnLCD2_battery}},
        {0, B::Choice, nullptr, {ui->rBtnArmRelayFunc0, ui->rBtnArmRelayFunc1, ui->rBtnArmRelayFunc2}},
        {18, B::AnyNonZero, nullptr, {ui->rBtnZ1_1, ui->rBtnZ1_12}},
        {19, B::AnyNonZero, nullptr, {ui->rBtnZ2_2, ui->rBtnZ2_12}},
        {1, B::Direct, ui->chkSilentAlarm, {}},
        {2, B::Direct, ui->chkActiveState, {}},
        {3, B::Direct, ui->chkAlarmMute, {}},
        {4, B::Inverted, ui->chkServiceAlarm, {}},
        {5, B::Inverted, ui->chkTamperAlarm, {}},
        {6, B::Direct, ui->chkMagSwitch, {}},
        {7, B::Direct, ui->chkSolar, {}},
        {8, B::Direct, ui->chkServiceTelNo, {}},
        {9, B::Direct, ui->chkShowKeyPress, {}},
        {10, B::Direct, ui->chkAlarmSensor, {}},
        {11, B::Direct, ui->chkMainFailChime, {}},
        {12, B::Direct, ui->chkPassiveSync, {}},
        {13, B::Direct, ui->chkGateAlarmByps, {}},
        {14, B::Direct, ui->chkGateAlarmInst, {}},
        {15, B::Direct, ui->chkGateChime, {}},
        {16, B::Direct, ui->chkGateChimeClose, {}},
        {17, B::Spin, ui->spnGateAlarmDelay, {}},
        {20, B::Text, ui->edtInstallerPIN, {}},
        {21, B::Text, ui->edtMasterPIN, {}},
        {22, B::Text, ui->edtResetPIN, {}},
        {31, B::Direct, ui->chkFncAlarmBypass1, {}},
        {46, B::Direct, ui->chkFncAlarmBypass2, {}},
        {61, B::Choice, nullptr, {ui->rBtnPanicInputFunction0, ui->rBtnPanicInputFunction1}},
        {60, B::Choice, nullptr, {ui->rBtnGateInputFunction0, ui->rBtnGateInputFunction1, ui->rBtnGateInputFunction2,
                                  ui->rBtnGateInputFunction3}},
        {62, B::Choice, nullptr, {ui->rBtnZoneOnOffInputFunction1_0, ui->rBtnZoneOnOffInputFunction1_1,
                                  ui->rBtnZoneOnOffInputFunction1_2}},
        {63, B::Choice, nullptr, {ui->rBtnZoneOnOffInputFunction2_0, ui->rBtnZoneOnOffInputFunction2_1,
                                  ui->rBtnZoneOnOffInputFunction2_2}},
        {64, B::Choice, nullptr, {ui->rBtnZoneHiLoInputFunction1_0, ui->rBtnZoneHiLoInputFunction1_1}},
        {65, B::Choice, nullptr, {ui->rBtnZoneHiLoInputFunction2_0, ui->rBtnZoneHiLoInputFunction2_1}},
        {66, B::Choice, nullptr, {ui->rBtnZoneOnOffInputToggle1_0, ui->rBtnZoneOnOffInputToggle1_1}},
        {67, B::Choice, nullptr, {ui->rBtnZoneOnOffInputToggle2_0, ui->rBtnZoneOnOffInputToggle2_1}},
        {68, B::Choice, nullptr, {ui->rBtnZoneHiLoInputToggle1_0, ui->rBtnZoneHiLoInputToggle1_1}},
        {69, B::Choice, nullptr, {ui->rBtnZoneHiLoInputToggle2_0, ui->rBtnZoneHiLoInputToggle2_1}},
        {70, B::Direct, ui->chkSlaveEnergizerPresent, {}},
        {71, B::Spin, ui->spnBigNetworkAddress, {}},
        {72, B::Combo, ui->cmbExpansionCardConfiguration, {}},
        {73, B::Direct, ui->chkNetworkAdapterType, {}},
    };

    updateUi();
    // A block from elsewhere (the energizer, a file, the defaults) replaces the
    // widgets' values, unsaved edits included.
    connect(&m_model, &ConfigModel::changed, this, [this] {
        if (!m_storing)
            updateUi();
    });

    for (QLineEdit* pin : {ui->edtInstallerPIN, ui->edtMasterPIN, ui->edtResetPIN})
        pin->setValidator(new PinValidator(pin));

    // Over the window, not over this dialog.
    askSaveFileName = [this] { return chooseSaveFileName(parentWidget()); };
    askOpenFileName = [this] { return chooseOpenFileName(parentWidget()); };

    connect(ui->btnLoadFile, &QPushButton::clicked, this, &ConfigDlg::loadFromFile);
    connect(ui->btnWriteFile, &QPushButton::clicked, this, &ConfigDlg::writeToFile);
    connect(ui->btnReadEnerg, &QPushButton::clicked, this, &ConfigDlg::readFromEnergizer);
    connect(ui->btnWriteEnerg, &QPushButton::clicked, this, &ConfigDlg::writeEnerg);
    connect(ui->btnDefault, &QPushButton::clicked, this, &ConfigDlg::baInit);
    connect(ui->btnShowAdvOptions, &QPushButton::clicked, this, &ConfigDlg::showAdvOptions);

    connect(&station.energizer(), &Energizer::paramChanged, this, &ConfigDlg::paramChanged);
    paramChanged();

    connect(&transfer, &ConfigTransfer::readFinished, this, [this](ConfigTransfer::Outcome outcome) {
        // A push's backup read is part of the write; the push tells its outcome.
        if (m_push && m_push->busy())
            return;
        showExchange(ConfigTransfer::readText(outcome), outcome == ConfigTransfer::Outcome::Done);
    });
    connect(&transfer, &ConfigTransfer::writeFinished, this,
            [this](ConfigTransfer::Outcome outcome, const QStringList& differing) {
                if (m_push)
                    return;
                showExchange(ConfigTransfer::writeText(outcome, differing), outcome == ConfigTransfer::Outcome::Done);
            });
    if (!push)
        return;
    connect(push, &ConfigPush::previewReady, this, [this](const QVector<ParamChange>& changes, qint64 backupId) {
        if (m_pushing)
            showPreview(changes, backupId);
    });
    connect(push, &ConfigPush::finished, this, [this](bool ok, const QString& text) {
        if (!m_pushing)
            return;
        m_pushing = false;
        showExchange(text, ok);
    });
}

ConfigDlg::~ConfigDlg()
{
    delete ui;
    delete domDocument;
}

void ConfigDlg::updateUi()
{
    const ConfigBlock& block = m_model.block();
    for (const Binding& b : bindings) {
        const QVariant value = getParam(block, b.param);
        switch (b.kind) {
        case Binding::Direct:
        case Binding::Inverted:
            static_cast<QCheckBox*>(b.widget)->setChecked(value.toBool() != (b.kind == Binding::Inverted));
            break;
        case Binding::Choice:
        case Binding::AnyNonZero:
            showChoice(b.buttons, b.kind == Binding::AnyNonZero && value.toInt() != 0 ? 1 : value.toInt());
            break;
        case Binding::Spin:
            static_cast<QSpinBox*>(b.widget)->setValue(value.toInt());
            break;
        case Binding::Text:
            static_cast<QLineEdit*>(b.widget)->setText(value.toString());
            break;
        case Binding::Combo:
            // A value without an item leaves the combo box without a current item.
            static_cast<QComboBox*>(b.widget)->setCurrentIndex(value.toInt());
            break;
        }
    }
}

void ConfigDlg::updateRecord()
{
    ParamValues values;
    for (const Binding& b : bindings) {
        switch (b.kind) {
        case Binding::Direct:
        case Binding::Inverted:
            values.insert(b.param, static_cast<QCheckBox*>(b.widget)->isChecked() != (b.kind == Binding::Inverted));
            break;
        case Binding::Choice:
        case Binding::AnyNonZero: {
            // No checked button: the parameter keeps its value.
            const int value = checkedChoice(b.buttons);
            if (value >= 0)
                values.insert(b.param, value);
            break;
        }
        case Binding::Spin:
            values.insert(b.param, static_cast<QSpinBox*>(b.widget)->value());
            break;
        case Binding::Text: {
            // A PIN with nibbles above 9 does not fit the edit ("15" takes
            // two places), so only a PIN the user typed is written.
            auto* edit = static_cast<QLineEdit*>(b.widget);
            if (edit->isModified())
                values.insert(b.param, edit->text());
            break;
        }
        case Binding::Combo: {
            // No current item (a value outside the list): keep the stored value.
            const int index = static_cast<QComboBox*>(b.widget)->currentIndex();
            if (index >= 0)
                values.insert(b.param, index);
            break;
        }
        }
    }
    m_storing = true;
    m_model.setBlock(applyParams(m_model.block(), values));
    m_storing = false;
}

void ConfigDlg::paramChanged()
{
    const bool online = m_station.energizer().online;
    ui->lblCommStatus->setPixmap(QPixmap(online ? QStringLiteral(":/images/greenStone.png")
                                                : QStringLiteral(":/images/redStone.png")));
}

void ConfigDlg::readEnerg()
{
    m_station.send(configReadRequestFrame(m_station.energizer().address));
}

void ConfigDlg::showPreview(const QVector<ParamChange>& changes, qint64 backupId)
{
    // The backup read showed the energizer's block; the edits are what is to be written.
    m_model.setBlock(m_push->target());
    showExchange(tr("Confirm the changes to write them to the energizer"), true);
    auto* preview = new WritePreviewDlg(changes, backupId, this);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    connect(preview, &QDialog::accepted, this, [this] {
        showExchange(tr("Writing configuration to energizer..."), true);
        m_push->confirm();
    });
    connect(preview, &QDialog::rejected, m_push, &ConfigPush::cancel);
    preview->open();
}

QString ConfigDlg::exchangeText() const
{
    return ui->lblExchange->text();
}

void ConfigDlg::showExchange(const QString& text, bool ok)
{
    // Stays until the next read or write, so it can be read at leisure.
    ui->lblExchange->setStyleSheet(ok ? QStringLiteral("color: #16803a; font-weight: bold;")
                                      : QStringLiteral("color: #c0392b; font-weight: bold;"));
    ui->lblExchange->setText(text);
    ui->lblExchange->setToolTip(text);
}

void ConfigDlg::readFromEnergizer()
{
    if (m_transfer.busy())
        return;
    showExchange(tr("Reading configuration from energizer..."), true);
    m_transfer.read();
}

void ConfigDlg::writeEnerg()
{
    updateRecord();
    if (m_push) {
        if (!m_push->start(m_model.block(), HistoryKind::Written))
            return;
        m_pushing = true;
        showExchange(tr("Reading the energizer's configuration before writing..."), true);
        return;
    }
    if (m_transfer.busy())
        return;
    showExchange(tr("Writing configuration to energizer..."), true);
    m_transfer.write(m_model.block());
}

void ConfigDlg::showAdvOptions()
{
    AdvOptionsDlg dlg(m_model, m_buttonStyle, this);
    dlg.updateUi();
    if (dlg.exec() != QDialog::Accepted)
        return;
    // Its parameters have no widgets here; edits not yet stored stay shown.
    m_storing = true;
    dlg.updateRecord();
    m_storing = false;
}

void ConfigDlg::baInit()
{
    m_model.setBlock(defaultConfigBlock());
}
