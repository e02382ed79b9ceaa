#include "unitAbout.h"

TfrmAbout::TfrmAbout() : TDialogBase("About...", 249, 212, "Tahoma") {
    setObjectName("frmAbout");
}
