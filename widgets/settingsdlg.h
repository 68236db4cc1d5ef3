#pragma once

#include "protocol/settings.h"

#include <QDialog>
#include <QStringList>

namespace Ui {
class SettingsDlg;
}

// The seven strings kept as item data of a serial port entry: name,
// description, manufacturer, serial number, location, vendor id, product id.
QStringList serialPortFields(const QString& name, const QString& description, const QString& manufacturer,
                             const QString& serialNumber, const QString& location, quint16 vendorId,
                             quint16 productId);

// Chooses the link to the energizer and its parameters. The network choices
// persist in setting.ini beside the executable; the rest starts from defaults.
class SettingsDlg : public QDialog
{
    Q_OBJECT
public:
    explicit SettingsDlg(QWidget* parent = nullptr);
    ~SettingsDlg() override;

    // The record as of the last construction or Apply.
    Settings settings() const;

private slots:
    void fillPortsInfo();
    void showPortInfo(int index);
    void apply();
    void switchMode();

private:
    void fillPortsParameters();
    void loadSettings();
    void updateSettings();

    Ui::SettingsDlg* ui;
    Settings m_settings;
};
