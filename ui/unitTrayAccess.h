#pragma once
// The program's one notification-area icon.

#include <QIcon>
#include <QString>

#include <functional>

class QObject;
class QSystemTrayIcon;

// At most 63 characters of the tip are shown, as the notification area has
// always cut it there.
QString trayTipText(const QString& tip);

// Adds the icon, owned by `owner`. True when a notification area took it.
bool AddTrayIcon(QObject* owner, const QString& tip, const QIcon& icon);
// Removes the icon again. True when there was one.
bool RemoveTrayIcon();

// Whether a notification area is there to show the icon. Tests set the
// answer; an empty probe asks the desktop again.
bool NotificationAreaAvailable();
void setNotificationAreaProbe(std::function<bool()> probe);

// The icon while it exists, for connecting its activation.
QSystemTrayIcon* TrayIcon();
