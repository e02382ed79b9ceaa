// The program: the startup window first, then the main window, then the loop.
#include "AppErrors.h"
#include "SingleInstance.h"
#include "accounting/Report.h"
#include "accounting/unitUtils.h"
#include "connection/Ras.h"
#include "unitMain.h"
#include "unitStartup.h"

#include <iostream>
#include <memory>

int main(int argc, char** argv) {
    // Reads files only: no display, no lock, beside a running copy.
    if (report::requested(argc, argv))
        return report::run(argc, argv, std::cout, std::cerr);

    TApplication app(argc, argv);
    QApplication::setApplicationName("brantle-vantrel");
    QApplication::setApplicationDisplayName("Brantle Vantrel");
    // The program lives in the notification area; it ends when the startup window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    // One copy per ledger folder counts; a second start shows the first one's window.
    SingleInstance instance(WindowsDirectory());
    if (instance.start() == SingleInstance::Start::AlreadyRunning)
        return 0;

    auto startup = std::make_unique<TfrmStartup>();
    // Minimised and never shown: it only owns the tray icon.
    startup->setWindowState(Qt::WindowMinimized);

    std::unique_ptr<TfrmMain> mainWindow;
    try {
        mainWindow = std::make_unique<TfrmMain>();
    } catch (const std::exception& e) {
        // The loop has not started: nothing else could show this.
        showMessageBox("Application Error", applicationErrorText(e, &e), QMessageBox::Critical);
        return 1;
    }
    QObject::connect(&instance, &SingleInstance::showRequested, [] {
        if (frmMain)
            frmMain->TrayPop_ShowWindowClick();
    });
    try {
        mainWindow->FormCreate();
    } catch (const std::exception& e) {
        reportError(e);
    }

    const int code = app.exec();
    mainWindow.reset();
    startup.reset();
    ras::finalizeRas();
    return code;
}
