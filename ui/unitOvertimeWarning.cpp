#include "ui/unitOvertimeWarning.h"

#include "accounting/unitUtils.h"
#include "ui/app/AppErrors.h"
#include "ui/app/Artwork.h"
#include "ui/unitMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

TfrmOverTimeWarning::TfrmOverTimeWarning()
    : TDialogBase(tr("Brantle Vantrel - warning"), 293, 154, "Verdana") {
    setObjectName("frmOverTimeWarning");

    imgIcon = new QLabel(this);
    imgIcon->setObjectName("imgIcon");
    imgIcon->setGeometry(8, 8, 32, 32);
    imgIcon->setPixmap(Artwork::keyedByBottomLeft(Artwork::overtimeWarning()));

    lblTitle = addAutoSizeLabel(this, "lblTitle", tr("Dialup connection overtime!"), 48, 8, true);

    lblMsg = addWrappedLabel(this, "lblMsg", "lblMsg", QRect(48, 32, 233, 57));

    chkDisableWarning = new QCheckBox(tr("Disable overtime warning for this dialup"), this);
    chkDisableWarning->setObjectName("chkDisableWarning");
    chkDisableWarning->setGeometry(8, 96, 249, 17);

    btnClose = new QPushButton(tr("&Close"), this);
    btnClose->setObjectName("btnClose");
    btnClose->setGeometry(112, 128, 65, 23);
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &TfrmOverTimeWarning::btnCloseClick);

    setTabOrder(btnClose, chkDisableWarning);
    btnClose->setFocus();
}

void TfrmOverTimeWarning::btnCloseClick() {
    close();
}

void TfrmOverTimeWarning::closeEvent(QCloseEvent* event) {
    try {
        IniFile* ini = DataIni();
        if (!ini)
            throw IniWriteError("Unable to write to " + DataFileName().toStdString());
        ini->StoreFlag(ledgerName(EntryName), "WarnOverTime", !chkDisableWarning->isChecked());
        RefreshStatistics();
    } catch (const std::exception& e) {
        event->ignore();
        reportError(e);
        return;
    }
    event->accept();
}
