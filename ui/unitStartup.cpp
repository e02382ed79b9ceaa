#include "unitStartup.h"

#include "AutoSizeLabel.h"
#include "Fonts.h"
#include "accounting/unitUtils.h"
#include "unitMain.h"
#include "unitTrayAccess.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>

TfrmStartup* frmStartup = nullptr;

TfrmStartup::TfrmStartup(QWidget* parent) : QWidget(parent) {
    frmStartup = this;
    setObjectName("frmStartup");
    setWindowTitle("Starting...");
    setFont(programFont("Verdana"));
    setGeometry(263, 252, 229, 64);
    lblNotice = new TAutoSizeLabel("Loading Brantle Vantrel...", this, 11, 15);
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
    QCoreApplication::quit();
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
