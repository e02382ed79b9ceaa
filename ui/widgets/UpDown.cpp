#include "ui/widgets/UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

#include <algorithm>

TUpDown::TUpDown(QWidget* parent) : QWidget(parent), m_repeat(new QTimer(this)) {
    setFocusPolicy(Qt::NoFocus); // not a tab stop
    connect(m_repeat, &QTimer::timeout, this, [this] {
        m_repeat->setInterval(100); // after the first, slower delay
        if (m_pressed)
            step(m_pressed);
    });
}

void TUpDown::setBuddy(QLineEdit* buddy) {
    if (m_buddy)
        m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy)
        m_buddy->installEventFilter(this);
}

void TUpDown::setRange(int minimum, int maximum) {
    m_min = std::max<int>(minimum, INT16_MIN);
    m_max = std::min<int>(maximum, INT16_MAX);
    setPosition(m_pos);
}

void TUpDown::setPosition(int value) {
    m_pos = static_cast<std::int16_t>(std::clamp(value, m_min, m_max));
    m_lastKnown = m_pos;
    writeBuddy();
}

std::int16_t TUpDown::position() {
    m_lastKnown = m_pos;
    return m_pos;
}

void TUpDown::writeBuddy() {
    if (!m_buddy)
        return;
    const QString text = QString::number(m_pos);
    if (m_buddy->text() != text)
        m_buddy->setText(text);
}

void TUpDown::step(int delta) {
    const int next = std::clamp(m_pos + delta, m_min, m_max);
    if (next == m_pos)
        return;
    m_pos = static_cast<std::int16_t>(next);
    const std::int16_t stepped = m_pos;
    writeBuddy();
    if (m_lastKnown != stepped)
        emit clicked();
}

void TUpDown::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int half = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = halves[i];
        const bool down = (i == 0 && m_pressed == 1) || (i == 1 && m_pressed == -1);
        button.state |= down ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &button, &p, this);
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = halves[i].adjusted(3, 2, -3, -2);
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                               &arrow, &p, this);
    }
}

void TUpDown::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const int half = height() / 2; // the middle row belongs to the lower arrow
    m_pressed = event->position().y() < half ? 1 : -1;
    update();
    step(m_pressed);
    m_repeat->start(400);
}

void TUpDown::mouseReleaseEvent(QMouseEvent*) {
    m_pressed = 0;
    m_repeat->stop();
    update();
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            step(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
