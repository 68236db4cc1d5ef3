#pragma once

#include <QStringList>

class QCoreApplication;

// Folders searched for energizer-configurator_<lang>.qm, in order: beside the
// executable (the build), then the installed data folder.
QStringList translationDirs();

// Installs the window's translation for the system locale from the first of
// dirs that has one, and Qt's own (standard dialogs and buttons). English,
// the source language, needs neither. Returns whether the window's own
// translation was found.
bool installTranslations(QCoreApplication& app, const QStringList& dirs = translationDirs());

// The window's name, version and maker, under which its settings are kept.
void setApplicationIdentity();
