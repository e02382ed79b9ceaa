#include "NmRetry.h"

#include <QTimer>

#include <algorithm>

namespace ras::nm {

Retry::Retry(std::function<void()> due, QObject* parent) : QObject(parent), m_due(std::move(due)) {}

Retry::~Retry() = default;

void Retry::schedule() {
    if (m_timer)
        return;
    m_timer = std::make_unique<QTimer>();
    m_timer->setSingleShot(true);
    connect(m_timer.get(), &QTimer::timeout, this, [this] {
        m_timer.release()->deleteLater(); // we are inside its signal
        m_next = std::min(m_next * 2, m_most);
        m_due();
    });
    m_timer->start(m_next);
}

void Retry::reset() {
    m_timer.reset();
    m_next = m_first;
}

bool Retry::scheduled() const {
    return m_timer != nullptr;
}

void Retry::setDelays(std::chrono::milliseconds first, std::chrono::milliseconds most) {
    m_first = first;
    m_most = std::max(first, most);
    m_next = m_first;
}

} // namespace ras::nm
