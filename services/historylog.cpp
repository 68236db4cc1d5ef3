#include "services/historylog.h"

Q_LOGGING_CATEGORY(lcHistory, "energizer.history")
