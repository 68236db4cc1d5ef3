#include "app/manualpath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString manualPath()
{
    return manualPath(QCoreApplication::applicationDirPath());
}

QString manualPath(const QString& appDir)
{
    const QString name = QStringLiteral("Orvik Configurator.pdf");
    const QString beside = QDir(appDir).filePath(name);
    // Relative to the executable, so /usr, /usr/local and an unpacked package all work.
    const QString installed =
        QDir::cleanPath(QDir(appDir).filePath(QStringLiteral("../share/doc/energizer-configurator/") + name));
    if (!QFileInfo::exists(beside) && QFileInfo::exists(installed))
        return installed;
    return beside;
}
