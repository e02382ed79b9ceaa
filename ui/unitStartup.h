#pragma once
// The startup window: created first, hidden at once, and the receiver of the
// tray icon's mouse actions. Closing it ends the program.

#include <QSystemTrayIcon>
#include <QWidget>

#include <functional>

class TAutoSizeLabel;

class TfrmStartup : public QWidget {
    Q_OBJECT
public:
    explicit TfrmStartup(QWidget* parent = nullptr);
    ~TfrmStartup() override;

    TAutoSizeLabel* lblNotice = nullptr;

    // The tray icon's callback: a double-click shows the main window, the
    // context request opens the tray menu; everything else does nothing.
    void trayActivated(QSystemTrayIcon::ActivationReason reason);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override; // FormClose
};

extern TfrmStartup* frmStartup;

// Ends the program's loops with status 0, as the startup window's closing
// does. Tests put a recorder in its place.
void EndProgram();
void setProgramEnd(std::function<void()> end); // empty: the real end
