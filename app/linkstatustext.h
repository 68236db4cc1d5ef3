#pragma once

#include "link/linkstatus.h"

#include <QString>

// The status-bar text for what the link reports; null where the bar keeps
// what it shows (errors that are only traced).
QString linkStatusText(const LinkStatus& status);
