#pragma once
// The first-of-month reminder: offers to reset every count.

#include "DialogBase.h"

class Tfrm1stOfMonthNotification : public TDialogBase {
    Q_OBJECT
public:
    // The answer is stored under the key of the day the reminder was shown.
    explicit Tfrm1stOfMonthNotification(const QString& reminderKey);

    const QString& reminderKey() const { return m_reminderKey; }

private:
    QString m_reminderKey;
};
