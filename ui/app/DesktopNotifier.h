#pragma once
// Desktop notifications over D-Bus (org.freedesktop.Notifications). Every
// call is asynchronous: a server that hangs never freezes the program. When
// no server answers, the text goes to a message box that does not block.

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>

class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr,
                             QDBusConnection bus = QDBusConnection::sessionBus());

    // Shows `body` under `summary`, with an action labelled `actionLabel`
    // where the server offers actions; the box with `body` where there is
    // no server.
    void notify(const QString& summary, const QString& body, const QString& actionLabel);

signals:
    // The user chose the action of one of our notifications.
    void actionInvoked();
    // The fallback box was shown (tests wait on it).
    void fellBack(const QString& body);

private slots:
    void onActionInvoked(uint id, const QString& key);

private:
    void send(const QString& summary, const QString& body, const QString& actionLabel,
              bool actions);
    void fallBack(const QString& body);

    QDBusConnection m_bus;
    QSet<uint> m_ids; // ours, whose actions we answer
    bool m_listening = false;
};
