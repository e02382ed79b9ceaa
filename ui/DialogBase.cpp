#include "DialogBase.h"

#include "Fonts.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

TDialogBase::TDialogBase(const QString& caption, int clientWidth, int clientHeight,
                         const QString& family)
    : QDialog(nullptr) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(clientWidth, clientHeight);
    setFont(programFont(family));
}

void TDialogBase::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDialogBase::showEvent(QShowEvent* event) {
    if (!m_centred) {
        m_centred = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QDialog::showEvent(event);
}
