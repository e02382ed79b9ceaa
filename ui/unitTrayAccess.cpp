#include "unitTrayAccess.h"

#include <QPointer>
#include <QSystemTrayIcon>

namespace {
QPointer<QSystemTrayIcon>& trayIcon() {
    static QPointer<QSystemTrayIcon> icon;
    return icon;
}

std::function<bool()>& probe() {
    static std::function<bool()> p;
    return p;
}
} // namespace

bool NotificationAreaAvailable() {
    return probe() ? probe()() : QSystemTrayIcon::isSystemTrayAvailable();
}

void setNotificationAreaProbe(std::function<bool()> p) {
    probe() = std::move(p);
}

QString trayTipText(const QString& tip) {
    return tip.left(63);
}

bool AddTrayIcon(QObject* owner, const QString& tip, const QIcon& icon) {
    delete trayIcon().data();
    auto* tray = new QSystemTrayIcon(icon, owner);
    tray->setToolTip(trayTipText(tip));
    trayIcon() = tray;
    tray->show();
    return NotificationAreaAvailable() && tray->isVisible();
}

bool RemoveTrayIcon() {
    QSystemTrayIcon* tray = trayIcon().data();
    if (!tray)
        return false;
    tray->hide();
    delete tray;
    return true;
}

QSystemTrayIcon* TrayIcon() {
    return trayIcon().data();
}
