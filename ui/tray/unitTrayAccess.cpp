#include "ui/tray/unitTrayAccess.h"

#include "ui/app/Artwork.h"
#include "ui/tray/StatusNotifierItem.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>

namespace {
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
// A panel restarting is gone for about a second; only a longer absence
// brings the main window up.
constexpr int kGraceMs = 5000;
int startWaitMs = 0;

QPointer<TTrayIcon>& trayIcon() {
    static QPointer<TTrayIcon> icon;
    return icon;
}

std::function<bool()>& probe() {
    static std::function<bool()> p;
    return p;
}

bool onXcb() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}
} // namespace

TTrayIcon::TTrayIcon(QObject* owner, const QString& tip, QIcon icon, QMenu* menu)
    : QObject(owner), m_tip(trayTipText(tip)), m_icon(std::move(icon)), m_menu(menu),
      m_bus(QDBusConnection::sessionBus()) {
    m_grace.setSingleShot(true);
    m_grace.setInterval(kGraceMs);
    connect(&m_grace, &QTimer::timeout, this, [this] {
        if (isShown())
            return;
        qCDebug(lcTray) << "no tray for" << m_grace.interval() << "ms";
        m_missing = true;
        emit trayMissing();
    });

    watchBus();
}

void TTrayIcon::watchBus() {
    QDBusConnection& bus = m_bus;
    if (!bus.isConnected()) {
        setWatcher(false);
        return;
    }
    // libdbus reports a lost connection as this signal, and QtDBus never
    // connects again by itself.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                SLOT(onBusLost()));
    m_watcher =
        new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                setWatcher(!newOwner.isEmpty());
            });
    auto* call = new QDBusPendingCallWatcher(
        bus.interface()->asyncCall(QStringLiteral("NameHasOwner"), kWatcher), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<bool> reply = *w;
        if (!m_watcherKnown) // a change signal that came first is newer
            setWatcher(reply.isValid() && reply.value());
    });
}

// The session bus dropped us (a restarted bus, or one that found a message
// of ours too large): until a new connection brings the item back, the
// XEmbed icon or the window stands in, as when the last panel goes.
void TTrayIcon::onBusLost() {
    qCDebug(lcTray) << "session bus lost";
    delete m_watcher;
    m_watcher = nullptr;
    delete m_item;
    m_item = nullptr;
    setWatcher(false);
    // A few tries, then the stand-ins stay: a bus that keeps dropping us
    // must not keep us busy.
    const int loss = ++m_busLosses;
    for (int delayMs : {0, 2000, 10000, 60000})
        QTimer::singleShot(delayMs, this, [this, loss] {
            if (loss != m_busLosses || m_bus.isConnected() || m_busLosses > 10)
                return;
            m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                  QStringLiteral("bv-session-%1").arg(loss));
            qCDebug(lcTray) << "bus again" << m_bus.isConnected();
            if (m_bus.isConnected()) {
                m_watcherKnown = false; // asked anew
                watchBus();
            } else {
                QDBusConnection::disconnectFromBus(m_bus.name());
            }
        });
}

TTrayIcon::~TTrayIcon() {
    delete m_xembed.data();
}

QPoint TTrayIcon::menuPoint() {
    const QPoint at = m_menuPoint ? *m_menuPoint : QCursor::pos();
    m_menuPoint.reset();
    return at;
}

void TTrayIcon::setWatcher(bool present) {
    qCDebug(lcTray) << "watcher" << present;
    m_watcherKnown = true;
    m_watcherPresent = present;
    if (present) {
        if (!m_item) {
            const QList<QImage> images = Artwork::trayIconImages();
            m_item = new TStatusNotifierItem(m_bus, m_tip, images, m_menu, this);
            connect(m_item, &TStatusNotifierItem::activateRequested, this,
                    [this] { emit activated(QSystemTrayIcon::DoubleClick); });
            connect(m_item, &TStatusNotifierItem::contextMenuRequested, this,
                    [this](const QPoint& at) {
                        m_menuPoint = std::make_unique<QPoint>(at);
                        emit activated(QSystemTrayIcon::Context);
                    });
            connect(m_item, &TStatusNotifierItem::shownChanged, this, &TTrayIcon::update);
        }
        useXEmbed(false);
        m_item->registerWithWatcher();
    } else {
        if (m_item)
            m_item->forgetWatcher();
        useXEmbed(true);
    }
    update();
}

// The XEmbed icon only where there is an X server and no watcher: Qt's own
// icon would otherwise choose the bus itself, once per process.
void TTrayIcon::useXEmbed(bool use) {
    if (!use || !onXcb()) {
        delete m_xembed.data();
        return;
    }
    if (m_xembed)
        return;
    m_xembed = new QSystemTrayIcon(m_icon, this);
    m_xembed->setToolTip(m_tip);
    connect(m_xembed, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) {
                // Qt reports the right button as it goes down; the menu opens as it
                // comes up, as menus do.
                if (r == QSystemTrayIcon::Context &&
                    (QGuiApplication::mouseButtons() & Qt::RightButton))
                    openMenuOnRelease();
                else
                    emit activated(r);
            });
    m_xembed->show();
    if (!m_nativeTracked) {
        // The X11 platform announces a notification area that appears or
        // goes; its interface class is a QObject whose header is not public.
        auto* native = reinterpret_cast<QObject*>(QGuiApplication::platformNativeInterface());
        if (native &&
            native->metaObject()->indexOfSignal("systemTrayWindowChanged(QScreen*)") >= 0) {
            connect(native, SIGNAL(systemTrayWindowChanged(QScreen*)), this, SLOT(update()));
            m_nativeTracked = true;
        }
    }
}

namespace {
// Sees the right button's release wherever it is delivered: the icon's own
// widget is Qt's, not ours.
class TReleaseWatch : public QObject {
public:
    TReleaseWatch(std::function<void()> released, QObject* parent)
        : QObject(parent), m_released(std::move(released)) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            qApp->removeEventFilter(this);
            QMetaObject::invokeMethod(parent(), m_released, Qt::QueuedConnection);
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_released;
};
} // namespace

void TTrayIcon::openMenuOnRelease() {
    if (m_releaseWatch)
        return;
    m_releaseWatch = new TReleaseWatch([this] { emit activated(QSystemTrayIcon::Context); }, this);
}

bool TTrayIcon::isShown() const {
    if (m_item && m_item->isShown())
        return true;
    return m_xembed && QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::update() {
    qCDebug(lcTray) << "shown" << isShown() << "missing" << m_missing;
    if (isShown()) {
        m_grace.stop();
        m_everShown = true;
        m_missing = false;
        return;
    }
    if (m_missing || m_grace.isActive() || !m_watcherKnown)
        return;
    if (m_watcherPresent && m_item && m_item->isPending())
        return; // the watcher's answer is on its way
    if (!m_everShown) {
        // At login the panel's watcher may be up long before its host: the
        // same wait either way.
        if (startWaitMs > 0 && !m_startWaited) {
            m_startWaited = true;
            m_grace.start(startWaitMs);
            return;
        }
        if (!m_watcherPresent) {
            // Nothing at the start: no reason to wait.
            m_missing = true;
            emit trayMissing();
            return;
        }
    }
    m_grace.start(kGraceMs);
}

void setTrayWaitAtStart(int ms) {
    startWaitMs = ms;
}

QString trayTipText(const QString& tip) {
    return tip.left(63);
}

bool AddTrayIcon(QObject* owner, const QString& tip, const QIcon& icon, QMenu* menu) {
    delete trayIcon().data();
    auto* tray = new TTrayIcon(owner, tip, icon, menu);
    trayIcon() = tray;
    return tray->isShown();
}

bool RemoveTrayIcon() {
    TTrayIcon* tray = trayIcon().data();
    if (!tray)
        return false;
    delete tray;
    return true;
}

bool NotificationAreaAvailable() {
    if (probe())
        return probe()();
    return trayIcon() && trayIcon()->isAvailable();
}

void setNotificationAreaProbe(std::function<bool()> p) {
    probe() = std::move(p);
}

TTrayIcon* TrayIcon() {
    return trayIcon().data();
}

QPoint TrayMenuPoint() {
    return trayIcon() ? trayIcon()->menuPoint() : QCursor::pos();
}
