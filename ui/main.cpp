// The program: the startup window first, then the main window, then the loop.
#include "AppErrors.h"
#include "connection/Ras.h"
#include "unitMain.h"
#include "unitStartup.h"

#include <memory>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    QApplication::setApplicationName("brantle-vantrel");
    QApplication::setApplicationDisplayName("Brantle Vantrel");
    // The program lives in the notification area; it ends when the startup window closes.
    QApplication::setQuitOnLastWindowClosed(false);

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
