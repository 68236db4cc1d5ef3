#pragma once

#include <QLoggingCategory>

// "energizer.history": the store's file, its entries and why it is unusable.
Q_DECLARE_LOGGING_CATEGORY(lcHistory)
