#include "protocol/settingsfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <limits>
#include <utility>

namespace {

constexpr int MaxPortNumber = 65535;

// An installed program has the package's data folder beside its bin folder
// (/usr, /usr/local, an unpacked package), or two up from its helper folder
// libexec/energizer-configurator. Whether bin can be written says nothing:
// root can write /usr/bin.
bool installed(const QString& appDir)
{
    const QString data = QStringLiteral("/share/energizer-configurator");
    if (QFileInfo(appDir + QStringLiteral("/..") + data).isDir())
        return true;
    return appDir.endsWith(QLatin1String("/libexec/energizer-configurator"))
           && QFileInfo(appDir + QStringLiteral("/../..") + data).isDir();
}

// Opening a FIFO would block until a writer comes; a folder cannot be read.
bool usable(const QString& path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

// The stored number, or fallback when it does not fit 32 bits. Text that is
// no number reads as 0.
qint32 storedInt(const QSettings& file, const QString& key, qint32 fallback)
{
    const QVariant value = file.value(key);
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    if (!ok)
        return 0;
    if (number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max())
        return fallback;
    return static_cast<qint32>(number);
}

} // namespace

QString settingsFilePath()
{
    return settingsFilePath(QCoreApplication::applicationDirPath());
}

QString settingsFilePath(const QString& appDir)
{
    if (!installed(appDir))
        return appDir + QStringLiteral("/setting.ini");
    const QString configDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(configDir);
    return configDir + QStringLiteral("/setting.ini");
}

QString fileDialogFolder()
{
    return fileDialogFolder(QCoreApplication::applicationDirPath());
}

QString fileDialogFolder(const QString& appDir)
{
    if (!installed(appDir))
        return appDir;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void loadSettingsFile(const QString& path, Settings& settings)
{
    settings.ownIpAddress = QStringLiteral("192.168.0.1");
    settings.netMode = 0;
    settings.ipAddress = QStringLiteral("192.168.0.1");
    settings.portNumber = 6128;
    settings.comMode = 0;
    if (!usable(path))
        return;
    QSettings file(path, QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    settings.ownIpAddress = file.value(QStringLiteral("ownIPAddress"), settings.ownIpAddress).toString();
    settings.netMode = storedInt(file, QStringLiteral("UDP"), 0);
    settings.ipAddress = file.value(QStringLiteral("IPAddress"), settings.ipAddress).toString();
    // A UDP/TCP port is 16 bits; anything larger would silently mean another port.
    settings.portNumber = qBound(0, storedInt(file, QStringLiteral("portNumber"), 6128), MaxPortNumber);
    settings.comMode = storedInt(file, QStringLiteral("comMode"), 0);
    const auto days = [&file](const QString& key, int fallback) {
        const qint32 value = storedInt(file, key, fallback);
        return value >= 1 && value <= MaxTimelineDays ? value : fallback;
    };
    settings.timelineEventDays = days(QStringLiteral("timelineEventDays"), DefaultTimelineEventDays);
    settings.timelineReadingDays = days(QStringLiteral("timelineReadingDays"), DefaultTimelineReadingDays);
}

bool saveSettingsFile(const QString& path, const Settings& settings)
{
    if (!usable(path))
        return false;
    QSettings file(path, QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    file.setValue(QStringLiteral("ownIPAddress"), settings.ownIpAddress);
    file.setValue(QStringLiteral("IPAddress"), settings.ipAddress);
    file.setValue(QStringLiteral("portNumber"), settings.portNumber);
    file.setValue(QStringLiteral("comMode"), settings.comMode);
    file.setValue(QStringLiteral("UDP"), settings.netMode);
    // Kept only when changed, so the file of someone who never did stays as it was.
    const std::pair<QString, std::pair<int, int>> days[] = {
        {QStringLiteral("timelineEventDays"), {settings.timelineEventDays, DefaultTimelineEventDays}},
        {QStringLiteral("timelineReadingDays"), {settings.timelineReadingDays, DefaultTimelineReadingDays}}};
    for (const auto& day : days) {
        if (day.second.first == day.second.second)
            file.remove(day.first);
        else
            file.setValue(day.first, day.second.first);
    }
    file.sync();
    return file.status() == QSettings::NoError;
}

