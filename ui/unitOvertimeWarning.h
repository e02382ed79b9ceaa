#pragma once
// The overtime warning: the connected entry has reached its hour limit.

#include "ui/widgets/DialogBase.h"

class QCheckBox;
class QLabel;
class QPushButton;

class TfrmOverTimeWarning : public TDialogBase {
    Q_OBJECT
public:
    TfrmOverTimeWarning();

    QLabel* imgIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblMsg = nullptr;
    QCheckBox* chkDisableWarning = nullptr;
    QPushButton* btnClose = nullptr;
    QString EntryName;

    void btnCloseClick();

protected:
    // FormClose: every way of closing stores the box for EntryName. When the
    // write fails the dialog stays open, so closing again tries again.
    void closeEvent(QCloseEvent* event) override;
};
