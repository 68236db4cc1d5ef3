#include "link/linklog.h"

Q_LOGGING_CATEGORY(lcLink, "energizer.link")
Q_LOGGING_CATEGORY(lcBus, "energizer.bus")
Q_LOGGING_CATEGORY(lcTransfer, "energizer.transfer")

QString traceLine(const char* direction, const QByteArray& frame)
{
    return QLatin1String(direction) + QLatin1Char(' ') + QString::fromLatin1(frame.toHex(' ').toUpper());
}
