#include "ui/widgets/AutoSizeLabel.h"

#include <QEvent>

TAutoSizeLabel::TAutoSizeLabel(const QString& text, QWidget* parent, int x, int y)
    : QLabel(text, parent) {
    // Some of these show NetworkManager's names, which may look like markup.
    setTextFormat(Qt::PlainText);
    move(x, y);
    resize(width(), 13);
}

void TAutoSizeLabel::setCaption(const QString& text) {
    setText(text);
    m_dirty = true;
    if (isVisible())
        fit();
}

bool TAutoSizeLabel::event(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        m_dirty = true;
    if (m_dirty && (event->type() == QEvent::Show || isVisible()))
        fit();
    return QLabel::event(event);
}

void TAutoSizeLabel::fit() {
    m_dirty = false;
    resize(sizeHint().width(), 13);
}
