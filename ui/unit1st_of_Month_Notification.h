#pragma once
// The first-of-month reminder: offers to reset every count.

#include "ui/widgets/DialogBase.h"

class QLabel;
class QPushButton;

class Tfrm1stOfMonthNotification : public TDialogBase {
    Q_OBJECT
public:
    // The answer is stored under the key of the day the reminder was shown.
    explicit Tfrm1stOfMonthNotification(QString reminderKey);

    const QString& reminderKey() const { return m_reminderKey; }

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* btnYes = nullptr;
    QPushButton* btnNo_remind = nullptr;
    QPushButton* btnNo_NoRemind = nullptr;

    // Each records its answer, then closes the dialog. A failed write is
    // reported and leaves the dialog open, so the user can answer again.
    void btnYesClick();
    void btnNo_remindClick();
    void btnNo_NoRemindClick();

private:
    // Runs the answer's steps; reports a failure and then skips the rest.
    template <class Steps> void answer(Steps steps);

    QString m_reminderKey;
};
