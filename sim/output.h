#pragma once

#include <QByteArray>
#include <QString>

// One line to stdout, flushed at once: the tests and scripts read it through a pipe.
void printLine(const QString& line);

// "01 01 01 E3"
QString hexBytes(const QByteArray& bytes);
