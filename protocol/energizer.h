#pragma once

#include <QObject>
#include <QString>

// Mirror of the connected energizer's state. Plain public fields; writers
// change them and emit paramChanged, views redraw from the fields.
class Energizer : public QObject
{
    Q_OBJECT
public:
    explicit Energizer(QObject* parent = nullptr);

    void reset();

    qint32 address;
    bool fenceOn1;
    bool fenceHv1;
    qint32 fenceLevel1;
    double outputVoltage1;
    double returnVoltage1;
    double capVoltage1;
    bool voutOk1;
    bool scrOk1;
    bool flybackOk1;
    bool interferenceOk1;
    QString fenceCondition1;
    bool fenceOn2;
    bool fenceHv2;
    qint32 fenceLevel2;
    double outputVoltage2;
    double returnVoltage2;
    double capVoltage2;
    bool voutOk2;
    bool scrOk2;
    bool flybackOk2;
    bool interferenceOk2;
    QString fenceCondition2;
    bool strobe1Ok;
    bool strobe2Ok;
    bool sirenOk;
    bool gateInputOk;
    bool on1Input;
    bool on2Input;
    bool panicInputOk;
    bool hv1Input;
    bool hv2Input;
    bool magneticSwitchOk;
    bool tamperOk;
    bool syncMaster;
    bool syncOk;
    bool serviceOk;
    bool auxFuseOk;
    bool gateAlarmOk;
    bool panicAlarmOk;
    bool mainsOk;
    bool batteryFuseOk;
    bool batteryFlatOk;
    double batteryVoltage;
    double supplyVoltage;
    bool online;

signals:
    void paramChanged();
};
