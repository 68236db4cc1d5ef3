#pragma once

#include <QString>

// Writes setting.ini beside the test executable (the app reads it from there);
// must precede any MainWindow. comMode 1 is the network link, netMode 0 UDP server.
void writeSettingsIni(const QString& ipAddress, int port, int comMode = 1, int netMode = 0,
                      const QString& ownIp = QStringLiteral("127.0.0.1"));
