#pragma once

#include <QString>

// The one way a check says no: the reason where the caller asked for one, and false.
inline bool refuse(QString* reason, const QString& why)
{
    if (reason)
        *reason = why;
    return false;
}
