#include "OperationLog.h"

Q_LOGGING_CATEGORY(lcOperation, "renvolia.operation", QtInfoMsg)
