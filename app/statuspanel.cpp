#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/globals.h"
#include "protocol/energizer.h"

#include <QPixmap>

// Redraws the whole status panel from the energizer object.
void MainWindow::paramChanged()
{
    const QPixmap green(QStringLiteral(":/images/greenStone.png"));
    const QPixmap red(QStringLiteral(":/images/redStone.png"));
    const auto stone = [&green, &red](QLabel* label, bool on) { label->setPixmap(on ? green : red); };
    const Energizer& e = *energizer;

    stone(ui->lblON1, e.fenceOn1);
    stone(ui->lblON2, e.fenceOn2);
    stone(ui->lblHV1, e.fenceHv1);
    stone(ui->lblHV2, e.fenceHv2);

    // setChecked emits no clicked(), so mirroring the energizer sends no command.
    ui->btnON1->setChecked(e.fenceOn1);
    ui->btnON2->setChecked(e.fenceOn2);
    ui->btnHV1->setChecked(e.fenceHv1);
    ui->btnHV2->setChecked(e.fenceHv2);

    ui->pbFence1->setValue(e.fenceLevel1);
    ui->pbFence2->setValue(e.fenceLevel2);

    ui->edtStatus1->setText(e.fenceCondition1);
    ui->edtStatus2->setText(e.fenceCondition2);

    const auto volts = [](double v) { return QString::number(v, 'g', 6); };
    ui->edtOVoltage1->setText(volts(e.outputVoltage1));
    ui->edtOVoltage2->setText(volts(e.outputVoltage2));
    ui->edtRVoltage1->setText(volts(e.returnVoltage1));
    ui->edtRVoltage2->setText(volts(e.returnVoltage2));
    ui->edtCVoltage1->setText(volts(e.capVoltage1));
    ui->edtCVoltage2->setText(volts(e.capVoltage2));

    stone(ui->lblVout1, e.voutOk1);
    stone(ui->lblSCR1, e.scrOk1);
    stone(ui->lblFlyback1, e.flybackOk1);
    stone(ui->lblInterference1, e.interferenceOk1);
    stone(ui->lblVout2, e.voutOk2);
    stone(ui->lblSCR2, e.scrOk2);
    stone(ui->lblFlyback2, e.flybackOk2);
    stone(ui->lblInterference2, e.interferenceOk2);
    stone(ui->lblStrobe1, e.strobe1Ok);
    stone(ui->lblStrobe2, e.strobe2Ok);
    stone(ui->lblSirene, e.sirenOk);
    stone(ui->lbl_I_Gate, e.gateInputOk);
    stone(ui->lbl_I_ON1, e.on1Input);
    stone(ui->lbl_I_ON2, e.on2Input);
    stone(ui->lbl_I_Panic, e.panicInputOk);
    stone(ui->lbl_I_HV1, e.hv1Input);
    stone(ui->lbl_I_HV2, e.hv2Input);
    stone(ui->lblMagneticSwitch, e.magneticSwitchOk);
    stone(ui->lblTamper, e.tamperOk);
    stone(ui->lblSyncMaster, e.syncMaster);
    stone(ui->lblSyncLoss, e.syncOk);
    stone(ui->lblService, e.serviceOk);
    stone(ui->lblAux, e.auxFuseOk);
    stone(ui->lblGateAlarm, e.gateAlarmOk);
    stone(ui->lblPanicAlarm, e.panicAlarmOk);
    stone(ui->lblMainsFail, e.mainsOk);
    stone(ui->lblBatteryFuse, e.batteryFuseOk);
    stone(ui->lblBatteryFlat, e.batteryFlatOk);
    stone(ui->lblCommStatus, e.online);

    // Through the user's locale: decimal and group separators as they expect.
    ui->edtBatteryVoltage->setText(QStringLiteral("%L1").arg(e.batteryVoltage, 0, 'f', 1));
    ui->edtSupplyVoltage->setText(QStringLiteral("%L1").arg(e.supplyVoltage, 0, 'f', 1));
}
