#include "ui/app/DesktopNotifier.h"

#include "ui/app/AppErrors.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QVariantMap>

Q_LOGGING_CATEGORY(lcNotify, "brantle.notify", QtWarningMsg)

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = kService;
const QString kActionKey = QStringLiteral("default");
// A server that has not answered by then is taken for absent.
constexpr int kCallTimeoutMs = 5000;
} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent, QDBusConnection bus)
    : QObject(parent), m_bus(std::move(bus)) {}

void DesktopNotifier::notify(const QString& summary, const QString& body,
                             const QString& actionLabel) {
    if (!m_bus.isConnected()) {
        fallBack(body);
        return;
    }
    const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                            QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, summary, body, actionLabel](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<QStringList> reply = *w;
                if (reply.isError()) {
                    qCInfo(lcNotify) << "no notification server:" << reply.error().message();
                    fallBack(body);
                    return;
                }
                send(summary, body, actionLabel, reply.value().contains(QStringLiteral("actions")));
            });
}

void DesktopNotifier::send(const QString& summary, const QString& body, const QString& actionLabel,
                           bool actions) {
    if (actions && !m_listening) {
        // Listened to only once a notification carries an action: no
        // wake-ups for other programs' notifications before that.
        m_listening = m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"),
                                    this, SLOT(onActionInvoked(uint, QString)));
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("brantle-vantrel"));
    call << applicationTitle() << uint(0) << QStringLiteral("brantle-vantrel") << summary << body
         << (actions ? QStringList{kActionKey, actionLabel} : QStringList{}) << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, body](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    qCInfo(lcNotify) << "notification refused:" << reply.error().message();
                    fallBack(body);
                    return;
                }
                m_ids.insert(reply.value());
            });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& key) {
    if (m_ids.contains(id) && key == kActionKey)
        emit actionInvoked();
}

void DesktopNotifier::fallBack(const QString& body) {
    // Like the program's other boxes, it leaves every other window usable.
    auto* box =
        new QMessageBox(QMessageBox::Information, tr("%1 - data plan").arg(applicationTitle()),
                        body, QMessageBox::Ok);
    box->setObjectName(QStringLiteral("DataPlanNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setWindowIcon(QApplication::windowIcon());
    box->show();
    qCInfo(lcNotify) << "notice shown in a box:" << body;
    emit fellBack(body);
}
