#include "settings/settingsdlg.h"

SettingsDlg::SettingsDlg(QWidget* parent)
    : QDialog(parent)
{
    m_settings.comMode = 0;
    m_settings.netMode = 0;
    m_settings.ipAddress = QStringLiteral("127.0.0.1");
    m_settings.portNumber = 6128;
    m_settings.installerPin = QStringLiteral("407318");
    m_settings.energizerAddress = 1;
    m_settings.baudRate = 19200;
    m_settings.dataBits = 8;
    m_settings.stopBits = 1;
}

Settings SettingsDlg::settings() const
{
    return m_settings;
}
