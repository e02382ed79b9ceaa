#include "Clock.h"

namespace {
std::shared_ptr<Clock>& current() {
    static std::shared_ptr<Clock> c = std::make_shared<SystemClock>();
    return c;
}
} // namespace

Clock& appClock() {
    return *current();
}

void setAppClock(std::shared_ptr<Clock> c) {
    current() = c ? std::move(c) : std::make_shared<SystemClock>();
}
