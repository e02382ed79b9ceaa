#include "Clock.h"

#include <QElapsedTimer>

namespace {
std::shared_ptr<Clock>& current() {
    static std::shared_ptr<Clock> c = std::make_shared<SystemClock>();
    return c;
}
} // namespace

qint64 Clock::monotonicMs() const {
    static QElapsedTimer origin = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return origin.elapsed();
}

Clock& appClock() {
    return *current();
}

void setAppClock(std::shared_ptr<Clock> c) {
    current() = c ? std::move(c) : std::make_shared<SystemClock>();
}
