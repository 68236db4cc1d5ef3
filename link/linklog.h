#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

// Traces by area; QT_LOGGING_RULES (or a tool's -v) turns them up or down.
Q_DECLARE_LOGGING_CATEGORY(lcLink)     // "energizer.link": the line, its sockets and port
Q_DECLARE_LOGGING_CATEGORY(lcBus)      // "energizer.bus": requests, replies dropped
Q_DECLARE_LOGGING_CATEGORY(lcTransfer) // "energizer.transfer": configuration read and write

// -v: "TX 01 01 01 E3".
QString traceLine(const char* direction, const QByteArray& frame);
