#pragma once
// The about box.

#include "DialogBase.h"

class TfrmAbout : public TDialogBase {
    Q_OBJECT
public:
    TfrmAbout();
};
