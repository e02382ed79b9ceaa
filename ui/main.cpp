// The program: the startup window first, then the main window, then the loop.
#include "accounting/IniFileSystem.h"
#include "accounting/Report.h"
#include "accounting/unitUtils.h"
#include "connection/Ras.h"
#include "ui/app/AppErrors.h"
#include "ui/app/Artwork.h"
#include "ui/app/CommandLine.h"
#include "ui/app/CompositorFrames.h"
#include "ui/app/SingleInstance.h"
#include "ui/app/Translations.h"
#include "ui/tray/unitTrayAccess.h"
#include "ui/unitMain.h"
#include "ui/unitStartup.h"

#include <QSessionManager>

#include <cstdio>
#include <memory>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sstream>

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // A fixed threshold: glibc would otherwise raise it after the first big
    // block freed, and keep every later big block (a neighbour's giant bus
    // message) in the heap for the rest of a months-long run.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    const QStringList arguments = argumentList(argc, argv);
    CommandLine commandLine = parseCommandLine(arguments);
    if (report::requested(argc, argv) || !commandLine.run) {
        // Printed without a display: the translators need an application
        // object, a core one, for as long as the texts are made.
        QCoreApplication core(argc, argv);
        installTranslations();
        // Reads files only: no display, no lock, beside a running copy.
        if (report::requested(argc, argv)) {
            // Written through stdio when done: <iostream>'s set-up alone would keep
            // a third of a megabyte resident in every run of the tray program.
            std::ostringstream out, err;
            const int code = report::run(argc, argv, out, err);
            const std::string o = out.str(), e = err.str();
            std::fwrite(o.data(), 1, o.size(), stdout);
            std::fwrite(e.data(), 1, e.size(), stderr);
            return code;
        }
        commandLine = parseCommandLine(arguments); // now with the texts translated
        std::fputs(commandLine.out.toLocal8Bit().constData(), stdout);
        std::fputs(commandLine.err.toLocal8Bit().constData(), stderr);
        return commandLine.exitCode;
    }

    // Without a display Qt would end the process with abort().
    if (!platformStartable()) {
        QCoreApplication core(argc, argv);
        installTranslations();
        const QString text = QCoreApplication::translate(
            "main", "brantle-vantrel: cannot open a display: neither DISPLAY nor WAYLAND_DISPLAY "
                    "is set\n");
        std::fputs(text.toLocal8Bit().constData(), stderr);
        return 1;
    }
    beginPlatformStart();
    TApplication app(argc, argv);
    endPlatformStart();
    installTranslations();    // before the first text is made
    preferCompositorFrames(); // before the first window, on Wayland
    QApplication::setApplicationName("brantle-vantrel");
    QApplication::setApplicationVersion(BV_VERSION);
#if QT_CONFIG(sessionmanager)
    // Login starts come from the autostart entry; a session's restore would
    // add a second start with arguments of its own.
    QObject::connect(&app, &QGuiApplication::saveStateRequest, [](QSessionManager& manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
    });
#endif
    // The program lives in the notification area; it ends when the startup window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    // One copy per ledger folder counts; a second start shows the first one's
    // window, unless the session started it at login.
    SingleInstance instance(WindowsDirectory());
    const auto onRunning = commandLine.autostart ? SingleInstance::OnRunning::StaySilent
                                                 : SingleInstance::OnRunning::AskToShow;
    if (instance.start(onRunning) == SingleInstance::Start::AlreadyRunning) {
        if (instance.reachedRunningCopy() || commandLine.autostart)
            return 0;
        // Not one of ours, hung, or a copy on another computer sharing the folder.
        const QString text =
            QCoreApplication::translate("main", "Another process holds %1 and does not "
                                                "answer: Brantle Vantrel is not started "
                                                "a second time")
                .arg(instance.lockFileName());
        std::fprintf(stderr, "brantle-vantrel: %s\n", text.toLocal8Bit().constData());
        showMessageBox(applicationTitle(), errorBoxText(text), QMessageBox::Warning);
        return 1;
    }

    // The ledger is written every minute; the plans file can wait months.
    removeStaleTempFiles(filePath(PlansFileName()));

    // At login the panel may come up after us: give it time before the
    // window stands in for a missing tray.
    if (commandLine.autostart)
        setTrayWaitAtStart(15000);
    QApplication::setWindowIcon(Artwork::windowIcon());
    auto startup = std::make_unique<TfrmStartup>();
    // Minimised and never shown: it only owns the tray icon.
    startup->setWindowState(Qt::WindowMinimized);

    std::unique_ptr<TfrmMain> mainWindow;
    try {
        mainWindow = std::make_unique<TfrmMain>();
    } catch (const std::exception& e) {
        // The loop has not started: nothing else could show this.
        showMessageBox(QCoreApplication::translate("main", "Application Error"),
                       applicationErrorText(e, &e), QMessageBox::Critical);
        return 1;
    }
    QObject::connect(&instance, &SingleInstance::showRequested, [] {
        if (frmMain)
            frmMain->TrayPop_ShowWindowClick();
    });
    if (!instance.notice().isEmpty())
        reportErrorLater(instance.notice());
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
