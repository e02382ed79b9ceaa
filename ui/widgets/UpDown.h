#pragma once
// An up-down control with a buddy edit: two arrows that step a position within
// a range and write it into the buddy as plain digits (no digit grouping).

#include <QWidget>

#include <cstdint>

class QLineEdit;
class QTimer;

class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    // The Up and Down keys in the buddy step the control too.
    void setBuddy(QLineEdit* buddy);
    QLineEdit* buddy() const { return m_buddy; }
    void setRange(int minimum, int maximum);
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }

    // Values outside the range are pulled into it. Rewrites the buddy's text
    // when it does not show the new position.
    void setPosition(int value);
    std::int16_t position();

    // One arrow press: +1 or -1, nothing at either end of the range.
    void step(int delta);

signals:
    // After an arrow press, when the buddy's handler did not take the new
    // position over.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void writeBuddy();

    QLineEdit* m_buddy = nullptr;
    QTimer* m_repeat = nullptr;
    int m_min = 0;
    int m_max = 100;
    std::int16_t m_pos = 0;
    std::int16_t m_lastKnown = 0; // what the program last gave to or read from the control
    int m_pressed = 0;            // +1 up arrow held, -1 down arrow held
};
