#include "unitTrayAccess.h"

#include <QPointer>
#include <QSystemTrayIcon>

namespace {
QPointer<QSystemTrayIcon>& trayIcon() {
    static QPointer<QSystemTrayIcon> icon;
    return icon;
}
} // namespace

QString trayTipText(const QString& tip) {
    return tip.left(63);
}

bool AddTrayIcon(QObject* owner, const QString& tip, const QIcon& icon) {
    delete trayIcon().data();
    auto* tray = new QSystemTrayIcon(icon, owner);
    tray->setToolTip(trayTipText(tip));
    trayIcon() = tray;
    tray->show();
    return QSystemTrayIcon::isSystemTrayAvailable() && tray->isVisible();
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
