#pragma once

#include "protocol/settings.h"

#include <QString>

// setting.ini: its place and its keys (ownIPAddress, UDP, IPAddress,
// portNumber, comMode; timelineEventDays and timelineReadingDays when not
// the defaults). Needs no widget, so the command-line tool reads the
// same file the window writes.

// An installed program (../share/energizer-configurator beside its folder)
// keeps it in the user's configuration folder, whoever runs it; otherwise
// (the build folder, a portable copy) it lies beside the executable.
QString settingsFilePath();
QString settingsFilePath(const QString& appDir);
// Where the file dialogs start: the executable's folder, or the user's
// documents for an installed program.
QString fileDialogFolder();
QString fileDialogFolder(const QString& appDir);

// The network and timeline keys with their defaults. A path that exists but is no regular
// file (a FIFO, a folder) is not opened: the defaults are used. A number
// outside its field's range takes the default; a port is clamped to 0..65535.
void loadSettingsFile(const QString& path, Settings& settings);
// Writes the network and timeline keys; refuses (false) a path that is no regular file.
bool saveSettingsFile(const QString& path, const Settings& settings);

