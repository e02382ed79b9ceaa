#pragma once
// How failures and modal messages reach the user. Every modal box goes
// through one seam, so tests can answer it without a person at the screen.

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <exception>
#include <functional>

struct MessageBoxRequest {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

// The seam: shows a modal box with an OK button. Tests replace it.
using MessageBoxHandler = std::function<void(const MessageBoxRequest&)>;
void setMessageBoxHandler(MessageBoxHandler handler); // empty: the real QMessageBox
void showMessageBox(const QString& title, const QString& text, QMessageBox::Icon icon);

// "Brantle Vantrel": the title of the error boxes. Not Qt's display name,
// which window managers would be shown appended to every window's caption.
QString applicationTitle();

// The error text rule: the message, with "." appended when its last
// character sorts after ".".
QString errorBoxText(const QString& message);
// A failure message of the accounting code (English) in the user's language.
QString translatedFailure(const QString& message);

// Shows a failure that left a handler: titled with the application title,
// with the error icon. While a box with the same text is still open, the
// same failure is not shown again, so boxes cannot pile up without bound.
void reportError(const std::exception& e);
void reportError(const QString& message);
// The same, from the event loop once the running handler has returned: for
// a failure that must not end the handler.
void reportErrorLater(const QString& message);

// The box for a failure before the event loop runs:
// "Exception %s in module %s at %p.\n%s%s", titled "Application Error".
QString applicationErrorText(const std::exception& e, const void* address);

// Qt ends the process with abort() when it cannot open the display. Whether
// a display is named at all (or another platform chosen), checked before the
// application object exists.
bool platformStartable();
// Around the application object's construction: a display named but not
// reachable then ends the process with one line on stderr and status 1
// instead of an abort. Qt's own messages meanwhile are held back, and printed
// once the start has succeeded.
void beginPlatformStart();
void endPlatformStart();

// Catches what leaves any handler, where the event loop dispatches it, and
// reports it from the loop right after that handler has returned.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
