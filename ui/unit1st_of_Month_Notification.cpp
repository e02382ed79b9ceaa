#include "unit1st_of_Month_Notification.h"

Tfrm1stOfMonthNotification::Tfrm1stOfMonthNotification(const QString& reminderKey)
    : TDialogBase("Brantle Vantrel - notification", 292, 141, "Verdana"),
      m_reminderKey(reminderKey) {
    setObjectName("frm1stOfMonthNotification");
}
