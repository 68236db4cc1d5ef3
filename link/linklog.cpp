#include "link/linklog.h"

Q_LOGGING_CATEGORY(lcLink, "energizer.link")
Q_LOGGING_CATEGORY(lcBus, "energizer.bus")
Q_LOGGING_CATEGORY(lcTransfer, "energizer.transfer")
