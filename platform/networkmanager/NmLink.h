#pragma once
// The line to NetworkManager that the snapshot and the phonebook share: the
// daemon's names, the calls sent and what they count, the generation that
// voids the answers of a daemon that has left, and the one back-off for
// whatever failed. Apart from both because both send through it, and because
// the service restarts it as one when the daemon comes or goes.

#include "NmRetry.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <chrono>
#include <functional>

class QDBusMessage;

Q_DECLARE_LOGGING_CATEGORY(lcNetworkManager)

namespace ras::nm {

// The daemon's bus name, objects and interfaces.
inline const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
inline const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
inline const QString kManagerIface = QStringLiteral("org.freedesktop.NetworkManager");
inline const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
inline const QString kSettingsIface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
inline const QString kProfileIface =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
inline const QString kActiveIface =
    QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
inline const QString kDeviceIface = QStringLiteral("org.freedesktop.NetworkManager.Device");
inline const QString kPropertiesIface = QStringLiteral("org.freedesktop.DBus.Properties");

class Link : public QObject {
public:
    using ReplyHandler = std::function<void(const QDBusMessage& reply)>;
    // What the service does for the link: tell its listeners that something
    // changed, ask again whatever failed, and say whether anything still
    // waits for an answer or for its next try.
    struct Hooks {
        std::function<void()> changed;
        std::function<void()> retryDue;
        std::function<bool()> unfinished;
    };

    // The bus is normally the system bus; tests pass a private one.
    Link(QDBusConnection bus, Hooks hooks);
    ~Link() override;

    QDBusConnection& bus() { return m_bus; }
    bool connected() const { return m_bus.isConnected(); }

    // An asynchronous call. onReply gets its answer or error, unless the
    // daemon came or went since; then the service reports a change.
    void send(const QString& path, const QString& interface, const QString& method,
              const QVariantList& arguments, ReplyHandler onReply);
    // A call whose answer the caller waits for itself; counted like the others.
    QDBusPendingCall call(const QString& path, const QString& interface, const QString& method,
                          const QVariantList& arguments, int timeoutMs);
    void reportChange() { m_hooks.changed(); }

    // The daemon came or went: answers to earlier calls are dropped, and the
    // back-off starts again.
    void restart();
    // Something failed: the service's retryDue runs after the back-off.
    void retryLater() { m_retry.schedule(); }
    // Once nothing is unfinished, the next failure waits the first delay again.
    void retryWhenAllCame();

    quint64 busCalls() const { return m_busCalls; }
    quint64 inFlight() const { return m_fetchesSent - m_fetchesAnswered; }
    void setFetchTimeout(std::chrono::milliseconds timeout) { m_fetchTimeout = timeout; }
    void setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds most) {
        m_retry.setDelays(first, most);
    }
    bool retryScheduled() const { return m_retry.scheduled(); }

private:
    QDBusConnection m_bus;
    Hooks m_hooks;
    Retry m_retry;
    // A stuck daemon must not pile up calls: fetches give up after this.
    std::chrono::milliseconds m_fetchTimeout{10000};
    quint64 m_busCalls = 0;
    quint64 m_fetchesSent = 0;
    quint64 m_fetchesAnswered = 0;
    // Bumped whenever the daemon comes or goes; replies to older calls are dropped.
    quint64 m_generation = 0;
};

// A call to the daemon that never has the bus start it on our behalf.
QDBusMessage methodCall(const QString& path, const QString& interface, const QString& method,
                        const QVariantList& arguments);

} // namespace ras::nm
