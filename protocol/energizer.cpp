#include "protocol/energizer.h"

Energizer::Energizer(QObject* parent)
    : QObject(parent)
{
    reset();
}

void Energizer::reset()
{
    address = 1;
    fenceOn1 = false;
    fenceHv1 = false;
    fenceLevel1 = 0;
    outputVoltage1 = 0.0;
    returnVoltage1 = 0.0;
    capVoltage1 = 0.0;
    voutOk1 = false;
    scrOk1 = false;
    flybackOk1 = false;
    interferenceOk1 = false;
    fenceCondition1 = QStringLiteral("Bad");
    fenceOn2 = false;
    fenceHv2 = false;
    fenceLevel2 = 0;
    outputVoltage2 = 0.0;
    returnVoltage2 = 0.0;
    capVoltage2 = 0.0;
    voutOk2 = false;
    scrOk2 = false;
    flybackOk2 = false;
    interferenceOk2 = false;
    fenceCondition2 = QStringLiteral("Bad");
    strobe1Ok = false;
    strobe2Ok = false;
    sirenOk = false;
    gateInputOk = false;
    on1Input = false;
    on2Input = false;
    panicInputOk = false;
    hv1Input = false;
    hv2Input = false;
    magneticSwitchOk = false;
    tamperOk = false;
    syncMaster = false;
    syncOk = false;
    serviceOk = false;
    auxFuseOk = false;
    gateAlarmOk = false;
    panicAlarmOk = false;
    mainsOk = false;
    batteryFuseOk = false;
    batteryFlatOk = false;
    batteryVoltage = 0.0;
    supplyVoltage = 0.0;
    online = false;
    emit paramChanged();
}
