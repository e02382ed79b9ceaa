#pragma once
// Where today's date and the monotonic time come from. Tests install a fixed
// clock instead of waiting for a date or a minute to come round.

#include <QDate>
#include <QtGlobal>

#include <memory>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    // Milliseconds on the clock that timers run on, from an arbitrary origin.
    virtual qint64 monotonicMs() const;
};

class SystemClock : public Clock {
public:
    QDate today() const override { return QDate::currentDate(); }
};

class FixedClock : public Clock {
public:
    explicit FixedClock(QDate date) : m_date(date) {}
    QDate today() const override { return m_date; }
    void setDate(QDate date) { m_date = date; }
    qint64 monotonicMs() const override { return m_ms; }
    void setMonotonicMs(qint64 ms) { m_ms = ms; }

private:
    QDate m_date;
    qint64 m_ms = 0;
};

// The process-wide clock; the system clock unless a test installed another.
Clock& appClock();
void setAppClock(std::shared_ptr<Clock> clock);
