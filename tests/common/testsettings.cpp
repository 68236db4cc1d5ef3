#include "testsettings.h"

#include <QCoreApplication>
#include <QSettings>

void writeSettingsIni(const QString& ipAddress, int port, int comMode, int netMode, const QString& ownIp)
{
    QSettings ini(QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini"), QSettings::IniFormat);
    ini.clear();
    ini.setValue(QStringLiteral("ownIPAddress"), ownIp);
    ini.setValue(QStringLiteral("UDP"), netMode);
    ini.setValue(QStringLiteral("IPAddress"), ipAddress);
    ini.setValue(QStringLiteral("portNumber"), port);
    ini.setValue(QStringLiteral("comMode"), comMode);
    ini.sync();
}
