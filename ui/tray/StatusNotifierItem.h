#pragma once
// The program's icon as a StatusNotifierItem on the session bus, with its
// menu exported beside it. It registers with the panel's watcher each time
// it is told that one appeared, and never waits on the bus: every call is
// asynchronous.

#include "ui/tray/DBusTrayTypes.h"

#include <QDBusConnection>
#include <QLoggingCategory>
#include <QObject>
#include <QPoint>

class QMenu;
class QDBusServiceWatcher;

Q_DECLARE_LOGGING_CATEGORY(lcTray)
class TDBusMenuExporter;

class TStatusNotifierItem : public QObject {
    Q_OBJECT
public:
    TStatusNotifierItem(QDBusConnection bus, QString tip, const QList<QImage>& images, QMenu* menu,
                        QObject* parent = nullptr);
    ~TStatusNotifierItem() override;

    QString serviceName() const { return m_serviceName; }
    // Registers with the watcher now on the bus (again, after a restart).
    void registerWithWatcher();
    // The watcher left the bus: not shown until the next registration.
    void forgetWatcher();
    // Registered, and a panel (host) is there to show the item.
    bool isShown() const { return m_registered && m_hostPresent; }
    // A registration or its answer is still on its way.
    bool isPending() const { return m_pending; }

    // Read by the bus interface.
    QString id() const;
    QString title() const { return m_tip; }
    QString iconName() const;
    SniPixmapList iconPixmap() const { return m_pixmaps; }
    SniToolTip toolTip() const;
    QString menuPath() const;

signals:
    // Activate and SecondaryActivate: what a double-click does in the old tray.
    void activateRequested();
    // ContextMenu(x, y) on a host that draws no menu of its own.
    void contextMenuRequested(const QPoint& at);
    void shownChanged();

private slots:
    void onHostRegistered();
    void onHostUnregistered();

private:
    void onNameReply(bool owned);
    void readHostPresence();
    void followHosts(bool watcherSaysHost, bool newHost);
    void onHostNameGone(const QString& name);
    void setState(bool registered, bool hostPresent);

    QDBusConnection m_bus;
    QString m_serviceName;
    QString m_tip;
    SniPixmapList m_pixmaps;
    TDBusMenuExporter* m_menu = nullptr;
    QDBusServiceWatcher* m_hosts = nullptr; // the hosts' own names on the bus
    bool m_hostNamesSeen = false;           // hosts with names, whose going counts
    bool m_nameOwned = false;
    bool m_wantRegistration = false;
    bool m_registered = false;
    bool m_hostPresent = false;
    bool m_pending = true;
    quint64 m_generation = 0; // answers to an older registration are ignored
};
