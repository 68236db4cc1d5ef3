#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/globals.h"
#include "protocol/energizerfields.h"

#include <QPixmap>

// Redraws the whole status panel from the energizer object: each field's
// widget shows the field as the status table declares it.
void MainWindow::paramChanged()
{
    const QPixmap green(QStringLiteral(":/images/greenStone.png"));
    const QPixmap red(QStringLiteral(":/images/redStone.png"));
    const Energizer& e = *energizer;

    const std::pair<const char*, QWidget*> widgets[] = {
        {"online", ui->lblCommStatus},
        {"fenceOn1", ui->lblON1}, {"fenceOn2", ui->lblON2}, {"fenceHv1", ui->lblHV1}, {"fenceHv2", ui->lblHV2},
        {"fenceLevel1", ui->pbFence1}, {"fenceLevel2", ui->pbFence2},
        {"fenceCondition1", ui->edtStatus1}, {"fenceCondition2", ui->edtStatus2},
        {"outputVoltage1", ui->edtOVoltage1}, {"outputVoltage2", ui->edtOVoltage2},
        {"returnVoltage1", ui->edtRVoltage1}, {"returnVoltage2", ui->edtRVoltage2},
        {"capVoltage1", ui->edtCVoltage1}, {"capVoltage2", ui->edtCVoltage2},
        {"voutOk1", ui->lblVout1}, {"scrOk1", ui->lblSCR1}, {"flybackOk1", ui->lblFlyback1},
        {"interferenceOk1", ui->lblInterference1}, {"voutOk2", ui->lblVout2}, {"scrOk2", ui->lblSCR2},
        {"flybackOk2", ui->lblFlyback2}, {"interferenceOk2", ui->lblInterference2},
        {"strobe1Ok", ui->lblStrobe1}, {"strobe2Ok", ui->lblStrobe2}, {"sirenOk", ui->lblSirene},
        {"gateInputOk", ui->lbl_I_Gate}, {"on1Input", ui->lbl_I_ON1}, {"on2Input", ui->lbl_I_ON2},
        {"panicInputOk", ui->lbl_I_Panic}, {"hv1Input", ui->lbl_I_HV1}, {"hv2Input", ui->lbl_I_HV2},
        {"magneticSwitchOk", ui->lblMagneticSwitch}, {"tamperOk", ui->lblTamper}, {"syncMaster", ui->lblSyncMaster},
        {"syncOk", ui->lblSyncLoss}, {"serviceOk", ui->lblService}, {"auxFuseOk", ui->lblAux},
        {"gateAlarmOk", ui->lblGateAlarm}, {"panicAlarmOk", ui->lblPanicAlarm}, {"mainsOk", ui->lblMainsFail},
        {"batteryFuseOk", ui->lblBatteryFuse}, {"batteryFlatOk", ui->lblBatteryFlat},
        {"batteryVoltage", ui->edtBatteryVoltage}, {"supplyVoltage", ui->edtSupplyVoltage},
    };
    for (const auto& [name, widget] : widgets) {
        const StatusField* field = statusField(QLatin1String(name));
        const double number = field->number(e);
        if (auto* stone = qobject_cast<QLabel*>(widget)) {
            stone->setPixmap(number != 0 ? green : red);
        } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
            bar->setValue(int(number));
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            if (field->kind != StatusKind::Voltage)
                edit->setText(field->value(e).toString());
            else if (field->zone != 0)
                edit->setText(QString::number(number, 'g', 6));
            else // the energizer's own supply, through the user's locale as they expect
                edit->setText(QStringLiteral("%L1").arg(number, 0, 'f', 1));
        }
    }

    // setChecked emits no clicked(), so mirroring the energizer sends no command.
    ui->btnON1->setChecked(e.fenceOn1);
    ui->btnON2->setChecked(e.fenceOn2);
    ui->btnHV1->setChecked(e.fenceHv1);
    ui->btnHV2->setChecked(e.fenceHv2);
}
