#pragma once
// The accounting module's logging category, "bv.accounting". Silent unless
// enabled, e.g. QT_LOGGING_RULES="bv.accounting.debug=true".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAccounting)
