#include "accountingLog.h"

Q_LOGGING_CATEGORY(lcAccounting, "bv.accounting", QtCriticalMsg)
