#pragma once
// The program's one notification-area icon. Where a panel's watcher is on
// the session bus it is a StatusNotifierItem with an exported menu;
// elsewhere on X11 it is an XEmbed icon. Which one is used may change while
// the program runs; nothing outside this unit needs to know.

#include <QDBusConnection>
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>
#include <memory>

class QMenu;
class QDBusServiceWatcher;
class TStatusNotifierItem;

// At most 63 characters of the tip are shown, as the notification area has
// always cut it there.
QString trayTipText(const QString& tip);

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    TTrayIcon(QObject* owner, const QString& tip, QIcon icon, QMenu* menu);
    ~TTrayIcon() override;

    // False once no tray has shown the icon for a while (or at all, at the
    // start); true while one does, or may still (a panel restarting).
    bool isAvailable() const { return !m_missing; }
    // A tray shows the icon now.
    bool isShown() const;
    // The tip the icon shows, on either kind of tray.
    QString toolTip() const { return m_tip; }
    // Where the menu asked for by the last Context activation opens.
    QPoint menuPoint();

signals:
    // DoubleClick shows the main window; Context opens the menu.
    void activated(QSystemTrayIcon::ActivationReason reason);
    // No tray at the start, or the last one gone for good: the main window
    // is then the only way in.
    void trayMissing();

private slots:
    void update();
    void onBusLost();

private:
    void watchBus();
    void setWatcher(bool present);
    void useXEmbed(bool use);
    void openMenuOnRelease();

    QString m_tip;
    QIcon m_icon;
    QPointer<QMenu> m_menu;
    QDBusConnection m_bus; // the session bus, or its replacement after a loss
    int m_busLosses = 0;
    QDBusServiceWatcher* m_watcher = nullptr;
    TStatusNotifierItem* m_item = nullptr;
    QPointer<QSystemTrayIcon> m_xembed;
    QPointer<QObject> m_releaseWatch; // while the right button is down on the XEmbed icon
    QTimer m_grace;                   // single-shot; armed only while no tray shows the icon
    bool m_watcherKnown = false;
    bool m_watcherPresent = false;
    bool m_everShown = false;
    bool m_startWaited = false;
    bool m_missing = false;
    bool m_nativeTracked = false;
    std::unique_ptr<QPoint> m_menuPoint;
};

// Adds the icon, owned by `owner`, with `menu` for hosts that draw it.
// True when a notification area is known to show it already.
bool AddTrayIcon(QObject* owner, const QString& tip, const QIcon& icon, QMenu* menu = nullptr);
// Removes the icon again. True when there was one.
bool RemoveTrayIcon();

// Whether a notification area is there to show the icon. Tests set the
// answer; an empty probe asks the icon again.
bool NotificationAreaAvailable();
void setNotificationAreaProbe(std::function<bool()> probe);

// The icon while it exists, for connecting its activation.
TTrayIcon* TrayIcon();
// Where the tray menu opens: the host's point, or the cursor.
QPoint TrayMenuPoint();
// How long an icon added later waits for a panel that is not there yet before
// it counts as missing. At login the program often starts before the panel;
// a start by hand finds the desktop complete and waits for nothing (0).
void setTrayWaitAtStart(int ms);
