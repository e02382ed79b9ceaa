#include "ui/unitAbout.h"

#include "ui/app/Artwork.h"
#include "ui/widgets/TColor.h"

#include <QDesktopServices>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

namespace {
const QString kWebPage = QStringLiteral("https://www.example.org/brantle-vantrel/");
const QString kEmail = QStringLiteral("author@example.org");
const QString kTitle = QStringLiteral("Brantle Vantrel");

TfrmAbout::UrlOpener& urlOpener() {
    static TfrmAbout::UrlOpener opener;
    return opener;
}

void openUrl(const QUrl& url) {
    if (urlOpener())
        urlOpener()(url);
    else
        QDesktopServices::openUrl(url); // no browser or mail program: nothing to tell
}
} // namespace

void TfrmAbout::setUrlOpener(UrlOpener opener) {
    urlOpener() = std::move(opener);
}

TfrmAbout::TfrmAbout() : TDialogBase(tr("About..."), 249, 212, "Tahoma") {
    setObjectName("frmAbout");

    imgIcon = new QLabel(this);
    imgIcon->setObjectName("imgIcon");
    imgIcon->setGeometry(8, 8, 32, 32);
    imgIcon->setPixmap(Artwork::keyedByBottomLeft(Artwork::picture()));

    Label1 = addAutoSizeLabel(this, "Label1", kTitle, 48, 8, true);
    Label2 =
        addAutoSizeLabel(this, "Label2", tr("Version %1").arg(QStringLiteral(BV_VERSION)), 48, 24);

    lblWebPage = addLinkLabel("lblWebPage", kWebPage, 8, 48);
    lblEmail = addLinkLabel("lblEmail", kEmail, 8, 64);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(8, 88, 233, 81);
    Label3 =
        addWrappedLabel(GroupBox1, "Label3",
                        tr("This program is provided \"as-is\", without any implied warranties "
                           "or guaranties. If you find any bugs or have a question, feel free to "
                           "contact the author."),
                        QRect(8, 16, 217, 57));

    btnClose = new QPushButton(tr("&Close"), this);
    btnClose->setObjectName("btnClose");
    btnClose->setGeometry(92, 184, 65, 23);
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &TfrmAbout::btnCloseClick);

    // The links can be reached with Tab, after the button, and opened with
    // Enter or Space, so the box needs no mouse.
    setTabOrder(btnClose, lblWebPage);
    setTabOrder(lblWebPage, lblEmail);
    btnClose->setFocus();
}

QLabel* TfrmAbout::addLinkLabel(const char* name, const QString& text, int x, int y) {
    QLabel* label = addAutoSizeLabel(this, name, text, x, y);
    QFont underlined = label->font();
    underlined.setUnderline(true);
    label->setFont(underlined);
    label->adjustSize();
    label->resize(label->width(), 13);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor::fromRgb(rgbOfTColor(clBlue)));
    label->setPalette(pal);
    label->setCursor(Qt::PointingHandCursor);
    label->setFocusPolicy(Qt::TabFocus);
    label->installEventFilter(this);
    return label;
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblWebPage || watched == lblEmail) {
        auto* label = static_cast<QLabel*>(watched);
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            // A label draws no focus mark of its own: the focused link is
            // drawn in the selection's colours, which moves no text.
            const bool focused = event->type() == QEvent::FocusIn;
            QPalette pal = label->palette();
            pal.setColor(QPalette::Window, palette().color(QPalette::Highlight));
            pal.setColor(QPalette::WindowText, focused ? palette().color(QPalette::HighlightedText)
                                                       : QColor::fromRgb(rgbOfTColor(clBlue)));
            label->setPalette(pal);
            label->setAutoFillBackground(focused);
            return false;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space)
                return false;
            if (label == lblWebPage)
                lblWebPageClick();
            else
                lblEmailClick();
            return true;
        }
        default:
            break;
        }
    }
    // A label's click: the left button released over the label it went down on.
    if ((watched == lblWebPage || watched == lblEmail) &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonRelease)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* label = static_cast<QLabel*>(watched);
        if (mouse->button() != Qt::LeftButton)
            return false;
        if (event->type() == QEvent::MouseButtonPress) {
            m_pressed = label;
        } else if (m_pressed == label) {
            m_pressed = nullptr;
            if (label->rect().contains(mouse->position().toPoint())) {
                if (label == lblWebPage)
                    lblWebPageClick();
                else
                    lblEmailClick();
            }
        }
        return true;
    }
    return TDialogBase::eventFilter(watched, event);
}

void TfrmAbout::lblWebPageClick() {
    // The address shown is the address opened.
    openUrl(QUrl::fromUserInput(lblWebPage->text()));
}

void TfrmAbout::lblEmailClick() {
    openUrl(QUrl(QStringLiteral("mailto:") + kEmail + QStringLiteral("?Subject=") + kTitle));
}

void TfrmAbout::btnCloseClick() {
    close();
}
