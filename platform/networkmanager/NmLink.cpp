#include "NmLink.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

#include <utility>

Q_LOGGING_CATEGORY(lcNetworkManager, "bv.networkmanager", QtWarningMsg)

namespace ras::nm {

QDBusMessage methodCall(const QString& path, const QString& interface, const QString& method,
                        const QVariantList& arguments) {
    auto message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    // Only ever ask: never have the bus start the daemon on our behalf.
    message.setAutoStartService(false);
    return message;
}

Link::Link(QDBusConnection bus, Hooks hooks)
    : m_bus(std::move(bus)), m_hooks(std::move(hooks)), m_retry([this] { m_hooks.retryDue(); }) {}

Link::~Link() = default;

void Link::send(const QString& path, const QString& interface, const QString& method,
                const QVariantList& arguments, ReplyHandler onReply) {
    ++m_busCalls;
    ++m_fetchesSent;
    const auto pending = m_bus.asyncCall(methodCall(path, interface, method, arguments),
                                         static_cast<int>(m_fetchTimeout.count()));
    auto* watcher = new QDBusPendingCallWatcher(pending, this);
    const quint64 generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation, handler = std::move(onReply)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                ++m_fetchesAnswered;
                if (generation != m_generation)
                    return; // the daemon went away since; the snapshot started over
                const QDBusMessage reply = w->reply();
                if (reply.type() == QDBusMessage::ErrorMessage)
                    qCDebug(lcNetworkManager) << reply.errorName() << reply.errorMessage();
                handler(reply);
                reportChange();
            });
}

QDBusPendingCall Link::call(const QString& path, const QString& interface, const QString& method,
                            const QVariantList& arguments, int timeoutMs) {
    ++m_busCalls;
    return m_bus.asyncCall(methodCall(path, interface, method, arguments), timeoutMs);
}

void Link::restart() {
    ++m_generation;
    m_retry.reset();
}

void Link::retryWhenAllCame() {
    if (!m_hooks.unfinished())
        m_retry.reset();
}

} // namespace ras::nm
