#pragma once
// The about box.

#include "ui/widgets/DialogBase.h"

#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QUrl;

class TfrmAbout : public TDialogBase {
    Q_OBJECT
public:
    TfrmAbout();

    QLabel* imgIcon = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblWebPage = nullptr;
    QLabel* lblEmail = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* btnClose = nullptr;

    void lblWebPageClick();
    void lblEmailClick();
    void btnCloseClick();

    // Hands a link to the desktop (QDesktopServices::openUrl unless a test
    // put a recorder in its place). Its result is not looked at.
    using UrlOpener = std::function<bool(const QUrl&)>;
    static void setUrlOpener(UrlOpener opener); // empty: the desktop's

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addLinkLabel(const char* name, const QString& text, int x, int y);
    QLabel* m_pressed = nullptr; // the link label the left button went down on
};
