#include "ui/app/AppErrors.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>
#include <utility>

Q_LOGGING_CATEGORY(lcErrors, "bv.errors", QtCriticalMsg)

namespace {
MessageBoxHandler& handler() {
    static MessageBoxHandler h;
    return h;
}

QSet<QString>& openErrorTexts() {
    static QSet<QString> texts;
    return texts;
}

QString typeName(const std::exception& e) {
    const char* mangled = typeid(e).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return QString::fromLatin1(status == 0 && demangled ? demangled.get() : mangled);
}
} // namespace

void setMessageBoxHandler(MessageBoxHandler h) {
    handler() = std::move(h);
}

void showMessageBox(const QString& title, const QString& text, QMessageBox::Icon icon) {
    if (handler()) {
        handler()({title, text, icon});
        return;
    }
    // Not modal, yet waited for in a loop of its own: a modal box would block
    // every other window, the tray icon's among them, so not even "Close
    // program" could be reached while it is open.
    QMessageBox box(icon, title, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText); // the text may quote a file or a name
    box.setWindowModality(Qt::NonModal);
    box.setWindowIcon(QApplication::windowIcon());
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    box.show();
    loop.exec(QEventLoop::DialogExec);
}

QString applicationTitle() {
    return QStringLiteral("Brantle Vantrel");
}

// The two failures the accounting code raises come in English; the box
// shows them in the user's language.
QString translatedFailure(const QString& message) {
    static const QString kWrite = QStringLiteral("Unable to write to ");
    static const QString kInteger = QStringLiteral("' is not a valid integer value");
    if (message.startsWith(kWrite))
        return QCoreApplication::translate("AppErrors", "Unable to write to %1")
            .arg(message.mid(kWrite.size()));
    if (message.startsWith(QLatin1Char('\'')) && message.endsWith(kInteger))
        return QCoreApplication::translate("AppErrors", "'%1' is not a valid integer value")
            .arg(message.mid(1, message.size() - 1 - kInteger.size()));
    if (message == QLatin1String("Unknown error"))
        return QCoreApplication::translate("AppErrors", "Unknown error");
    return message;
}

QString errorBoxText(const QString& original) {
    QString message = translatedFailure(original);
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void reportError(const QString& message) {
    const QString text = errorBoxText(message);
    qCWarning(lcErrors) << text;
    if (openErrorTexts().contains(text))
        return;
    openErrorTexts().insert(text);
    struct Release {
        QString text;
        ~Release() { openErrorTexts().remove(text); }
    } release{text};
    showMessageBox(applicationTitle(), text, QMessageBox::Critical);
}

void reportError(const std::exception& e) {
    reportError(QString::fromLocal8Bit(e.what()));
}

QString applicationErrorText(const std::exception& e, const void* address) {
    const QString message = translatedFailure(QString::fromLocal8Bit(e.what()));
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const bool needsDot = !message.isEmpty() && !message.endsWith(QLatin1Char('.'));
    return QCoreApplication::translate("AppErrors", "Exception %1 in module %2 at %3.\n%4%5")
        .arg(typeName(e), module,
             QStringLiteral("%1")
                 .arg(reinterpret_cast<quintptr>(address), 8, 16, QLatin1Char('0'))
                 .toUpper(),
             message, needsDot ? QStringLiteral(".") : QString());
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

// The box is shown once the failed handler has returned, from the loop
// itself: Qt does not fire a timer again while its own event is still being
// delivered, so a box opened inside a tick would stop the counting for as
// long as it stays open.
void reportErrorLater(const QString& message) {
    qCWarning(lcErrors) << "failure" << message;
    QMetaObject::invokeMethod(
        qApp, [message] { reportError(message); }, Qt::QueuedConnection);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportErrorLater(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reportErrorLater(QStringLiteral("Unknown error"));
    }
    return false;
}

// ---- the display

namespace {
QtMessageHandler previousHandler = nullptr;
QStringList& heldMessages() {
    static QStringList messages;
    return messages;
}

void platformStartHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
    if (type != QtFatalMsg) {
        heldMessages() << qFormatLogMessage(type, context, msg);
        return;
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray display =
        platform.isEmpty()
            ? "DISPLAY=" + qgetenv("DISPLAY") + ", WAYLAND_DISPLAY=" + qgetenv("WAYLAND_DISPLAY")
            : "QT_QPA_PLATFORM=" + platform;
    std::fprintf(stderr, "brantle-vantrel: cannot open the display (%s)\n", display.constData());
    std::_Exit(1);
}
} // namespace

bool platformStartable() {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void beginPlatformStart() {
    previousHandler = qInstallMessageHandler(platformStartHandler);
}

void endPlatformStart() {
    qInstallMessageHandler(previousHandler);
    for (const QString& message : std::exchange(heldMessages(), {}))
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}
