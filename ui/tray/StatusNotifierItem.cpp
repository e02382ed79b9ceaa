#include "ui/tray/StatusNotifierItem.h"

#include "ui/tray/DBusMenuExporter.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QIcon>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcTray, "bv.tray", QtCriticalMsg)

namespace {
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");
const QString kHostPrefix = QStringLiteral("org.kde.StatusNotifierHost-");

bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Calls asynchronously and hands the answer to `done` on the GUI thread.
template <class F>
void callAsync(QDBusConnection& bus, const QDBusMessage& call, QObject* ctx, F done) {
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), ctx);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, ctx,
                     [done](QDBusPendingCallWatcher* w) {
                         w->deleteLater();
                         done(w->reply());
                     });
}
} // namespace

// org.kde.StatusNotifierItem, forwarding to the item, its parent.
class TSniAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ empty)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(SniPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ empty)
    Q_PROPERTY(SniPixmapList OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ empty)
    Q_PROPERTY(SniPixmapList AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ empty)
    Q_PROPERTY(SniToolTip ToolTip READ toolTip)
public:
    explicit TSniAdaptor(TStatusNotifierItem* item) : QDBusAbstractAdaptor(item), m_item(item) {}

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return m_item->id(); }
    QString title() const { return m_item->title(); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString empty() const { return {}; }
    QDBusObjectPath menu() const { return QDBusObjectPath(m_item->menuPath()); }
    bool itemIsMenu() const { return false; }
    QString iconName() const { return m_item->iconName(); }
    SniPixmapList iconPixmap() const { return m_item->iconPixmap(); }
    SniPixmapList noPixmaps() const { return {}; }
    SniToolTip toolTip() const { return m_item->toolTip(); }

public slots:
    void Activate(int, int) { emit m_item->activateRequested(); }
    void SecondaryActivate(int, int) { emit m_item->activateRequested(); }
    void ContextMenu(int x, int y) {
        // On Wayland a menu of our own would be an ordinary window far from
        // the icon; hosts there draw the exported menu.
        if (!onWayland())
            emit m_item->contextMenuRequested(QPoint(x, y));
    }
    void Scroll(int, const QString&) {}
    // Lets the window that Activate shows be raised on Wayland.
    void ProvideXdgActivationToken(const QString& token) {
        if (onWayland() && !token.isEmpty() && token.size() <= 1024) // tokens are short
            qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    }

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void NewMenu();

private:
    TStatusNotifierItem* m_item;
};

TStatusNotifierItem::TStatusNotifierItem(QDBusConnection bus, QString tip,
                                         const QList<QImage>& images, QMenu* menu, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_tip(std::move(tip)) {
    registerDBusTrayTypes();
    static int count = 0;
    m_serviceName = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                        .arg(QCoreApplication::applicationPid())
                        .arg(++count);
    for (const QImage& image : images)
        if (!image.isNull())
            m_pixmaps.append(sniPixmap(image));
    if (menu)
        m_menu = new TDBusMenuExporter(m_bus, kMenuPath, menu, this);
    new TSniAdaptor(this);
    if (!m_bus.registerObject(kItemPath, this, QDBusConnection::ExportAdaptors))
        qCWarning(lcTray) << "cannot export the item" << m_bus.lastError().message();

    // Any sender: naming the watcher would make QtDBus look its owner up
    // synchronously.
    m_bus.connect(QString(), kWatcherPath, kWatcher, QStringLiteral("StatusNotifierHostRegistered"),
                  this, SLOT(onHostRegistered()));
    m_bus.connect(QString(), kWatcherPath, kWatcher,
                  QStringLiteral("StatusNotifierHostUnregistered"), this,
                  SLOT(onHostUnregistered()));
    // The hosts followed by name: where the watcher and the host are two
    // processes, the watcher may go on saying "registered" after the only
    // host crashed, and the icon would be shown nowhere.
    m_hosts = new QDBusServiceWatcher(QString(), m_bus, QDBusServiceWatcher::WatchForUnregistration,
                                      this);
    connect(m_hosts, &QDBusServiceWatcher::serviceUnregistered, this,
            &TStatusNotifierItem::onHostNameGone);

    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    request << m_serviceName << 4u; // DBUS_NAME_FLAG_DO_NOT_QUEUE
    callAsync(m_bus, request, this, [this](const QDBusMessage& reply) {
        const uint result =
            reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                ? reply.arguments().constFirst().toUInt()
                : 0;
        onNameReply(result == 1 || result == 4); // primary owner, or already
    });
}

TStatusNotifierItem::~TStatusNotifierItem() {
    m_bus.unregisterObject(kItemPath);
    if (m_nameOwned) {
        QDBusMessage release = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReleaseName"));
        release << m_serviceName;
        m_bus.send(release); // no need to wait for the answer
    }
}

QString TStatusNotifierItem::id() const {
    return QCoreApplication::applicationName();
}

QString TStatusNotifierItem::iconName() const {
    // The installed theme's icon where there is one; the pixmaps otherwise.
    static const bool themed = QIcon::hasThemeIcon(id());
    return themed ? id() : QString();
}

SniToolTip TStatusNotifierItem::toolTip() const {
    SniToolTip tip;
    tip.iconName = iconName();
    tip.pixmaps = m_pixmaps;
    tip.title = m_tip;
    return tip;
}

QString TStatusNotifierItem::menuPath() const {
    return m_menu ? m_menu->path() : QStringLiteral("/NO_DBUSMENU");
}

void TStatusNotifierItem::onNameReply(bool owned) {
    m_nameOwned = owned;
    if (!owned) {
        // Registered by object path instead: the watcher takes our unique name.
        qCWarning(lcTray) << "cannot own" << m_serviceName;
        m_serviceName = kItemPath;
    }
    if (m_wantRegistration)
        registerWithWatcher();
}

void TStatusNotifierItem::registerWithWatcher() {
    m_wantRegistration = true;
    m_pending = true;
    const quint64 generation = ++m_generation;
    if (!m_nameOwned && m_serviceName != kItemPath)
        return; // registers once the name is ours
    QDBusMessage call = QDBusMessage::createMethodCall(
        kWatcher, kWatcherPath, kWatcher, QStringLiteral("RegisterStatusNotifierItem"));
    call << m_serviceName;
    callAsync(m_bus, call, this, [this, generation](const QDBusMessage& reply) {
        if (generation != m_generation)
            return;
        if (reply.type() != QDBusMessage::ReplyMessage) {
            qCWarning(lcTray) << "the watcher refused the item" << reply.errorMessage();
            m_pending = false;
            setState(false, false);
            return;
        }
        m_registered = true;
        readHostPresence();
    });
}

void TStatusNotifierItem::forgetWatcher() {
    ++m_generation;
    m_hosts->setWatchedServices({});
    m_pending = false;
    setState(false, false);
}

void TStatusNotifierItem::readHostPresence() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const quint64 generation = m_generation;
    callAsync(m_bus, get, this, [this, generation](const QDBusMessage& reply) {
        if (generation != m_generation)
            return;
        bool host = false;
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            host = reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
        followHosts(host, false);
    });
}

// Lists the hosts' names and follows them. A host that goes by no name of
// this form (some shells host in the watcher itself) leaves the watcher's
// word to decide.
void TStatusNotifierItem::followHosts(bool watcherSaysHost, bool newHost) {
    QDBusMessage list = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
    const quint64 generation = m_generation;
    callAsync(
        m_bus, list, this, [this, generation, watcherSaysHost, newHost](const QDBusMessage& reply) {
            if (generation != m_generation)
                return;
            QStringList hosts;
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                for (const QString& name : reply.arguments().constFirst().toStringList())
                    if (name.startsWith(kHostPrefix))
                        hosts << name;
            m_hosts->setWatchedServices(hosts);
            if (newHost)
                m_hostNamesSeen = !hosts.isEmpty(); // the newest host decides how hosts are known
            else if (!hosts.isEmpty())
                m_hostNamesSeen = true;
            qCDebug(lcTray) << "hosts" << hosts << "watcher says" << watcherSaysHost;
            m_pending = false;
            setState(m_registered, watcherSaysHost && (!hosts.isEmpty() || !m_hostNamesSeen));
        });
}

void TStatusNotifierItem::onHostNameGone(const QString& name) {
    m_hosts->removeWatchedService(name);
    qCDebug(lcTray) << "host left" << name;
    if (m_registered && m_hosts->watchedServices().isEmpty())
        setState(true, false);
}

void TStatusNotifierItem::onHostRegistered() {
    if (!m_registered)
        return;
    setState(true, true);
    followHosts(true, true);
}

void TStatusNotifierItem::onHostUnregistered() {
    if (m_registered)
        readHostPresence();
}

void TStatusNotifierItem::setState(bool registered, bool hostPresent) {
    const bool was = isShown();
    m_registered = registered;
    m_hostPresent = hostPresent;
    if (was != isShown() || !m_pending)
        emit shownChanged();
}

#include "StatusNotifierItem.moc"
