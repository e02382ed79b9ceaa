// The program: the startup window first, then the main window, then the loop.
#include "AppErrors.h"
#include "Artwork.h"
#include "SingleInstance.h"
#include "accounting/unitUtils.h"
#include "connection/Ras.h"
#include "unitMain.h"
#include "unitStartup.h"

#include <memory>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    QApplication::setApplicationName("brantle-vantrel");
    // Every window and box carries the program's icon in the window list.
    QApplication::setWindowIcon(Artwork::programIcon());
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
        // Shown from the loop: a box's own loop before it would leave a
        // "Close program" chosen meanwhile to the main loop, which forgets it.
        const QString message = QString::fromLocal8Bit(e.what());
        QMetaObject::invokeMethod(
            &app, [message] { reportError(message); }, Qt::QueuedConnection);
    }

    const int code = app.exec();
    mainWindow.reset();
    startup.reset();
    ras::finalizeRas();
    return code;
}
