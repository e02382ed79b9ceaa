#pragma once
// A bounded back-off for calls to NetworkManager that got no answer or an
// error: the next try after 1 s, then 2, 4, ... up to 30 s. The timer exists
// only while a try is due, so a service with nothing to ask never wakes up.

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

class QTimer;

namespace ras::nm {

class Retry : public QObject {
    Q_OBJECT
public:
    explicit Retry(std::function<void()> due, QObject* parent = nullptr);
    ~Retry() override;

    // Something failed: `due` runs once after the current delay, unless a try
    // is already due. Each try doubles the delay for the next failure.
    void schedule();
    // Nothing is left to ask: the next failure starts again at the first delay.
    void reset();
    bool scheduled() const;
    std::chrono::milliseconds nextDelay() const { return m_next; }

    void setDelays(std::chrono::milliseconds first, std::chrono::milliseconds most);

private:
    std::function<void()> m_due;
    std::unique_ptr<QTimer> m_timer;
    std::chrono::milliseconds m_first{1000};
    std::chrono::milliseconds m_most{30000};
    std::chrono::milliseconds m_next{1000};
};

} // namespace ras::nm
