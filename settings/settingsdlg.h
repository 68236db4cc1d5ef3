#pragma once

#include "settings/settings.h"

#include <QDialog>

// TODO: full dialog with setting.ini (stub so the tree builds).
class SettingsDlg : public QDialog
{
    Q_OBJECT
public:
    explicit SettingsDlg(QWidget* parent = nullptr);
    Settings settings() const;

private:
    Settings m_settings;
};
