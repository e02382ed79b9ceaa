#pragma once
// Where today's date comes from. Tests install a fixed clock instead of
// waiting for a date to come round.

#include <QDate>

#include <memory>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
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

private:
    QDate m_date;
};

// The process-wide clock; the system clock unless a test installed another.
Clock& appClock();
void setAppClock(std::shared_ptr<Clock> clock);
