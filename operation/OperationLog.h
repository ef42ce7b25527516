#pragma once

#include <QLoggingCategory>

// renvolia.operation: the port, the dial strings and line failures.
Q_DECLARE_LOGGING_CATEGORY(lcOperation)
