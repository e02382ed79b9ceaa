#include "ui/unitStartup.h"

#include "accounting/unitUtils.h"
#include "ui/tray/unitTrayAccess.h"
#include "ui/unitMain.h"
#include "ui/widgets/AutoSizeLabel.h"
#include "ui/widgets/Fonts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>

TfrmStartup* frmStartup = nullptr;

namespace {
std::function<void()>& programEnd() {
    static std::function<void()> end;
    return end;
}
} // namespace

void setProgramEnd(std::function<void()> end) {
    programEnd() = std::move(end);
}

// exit(), not quit(): quit() first asks every window to close, and an open
// warning that cannot store its check box would refuse and keep the program
// alive without its icon or its ledger. exit() also ends the loops of open
// message boxes; open dialogs go without their own closing step, so nothing
// more is written.
void EndProgram() {
    if (programEnd())
        programEnd()();
    else
        QCoreApplication::exit(0);
}

TfrmStartup::TfrmStartup(QWidget* parent) : QWidget(parent) {
    frmStartup = this;
    setObjectName("frmStartup");
    setWindowTitle(tr("Starting..."));
    setFont(programFont("Verdana"));
    setGeometry(263, 252, 229, 64);
    lblNotice = new TAutoSizeLabel(tr("Loading Brantle Vantrel..."), this, 11, 15);
    lblNotice->setObjectName("lblNotice");
}

TfrmStartup::~TfrmStartup() {
    if (frmStartup == this)
        frmStartup = nullptr;
}

void TfrmStartup::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Never seen: whenever the platform shows it (at the start, or restored
    // from the taskbar), it goes away again, without a timer ticking all run.
    QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

void TfrmStartup::closeEvent(QCloseEvent* event) {
    RemoveTrayIcon();
    ReleaseDataIni();
    event->accept();
    EndProgram();
}

void TfrmStartup::trayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (!frmMain)
        return;
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        frmMain->showAndFocus();
        break;
    case QSystemTrayIcon::Context:
        frmMain->TrayPopup->popup(TrayMenuPoint());
        break;
    default:
        break;
    }
}
