#include "NetworkManagerRasService.h"

#include "NmMapping.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <utility>

Q_LOGGING_CATEGORY(lcNetworkManager, "bv.networkmanager", QtWarningMsg)

namespace ras {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kManagerIface = QStringLiteral("org.freedesktop.NetworkManager");
const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString kSettingsIface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString kProfileIface = QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString kActiveIface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kDeviceIface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kPropertiesIface = QStringLiteral("org.freedesktop.DBus.Properties");

constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INVALID_SIZE = 632;

// Calls in flight at once during the phonebook read. The system bus refuses
// more than 128 pending replies per connection by default.
constexpr std::size_t kMaxPendingCalls = 64;

// ---- reading values whose types nobody guarantees ----

QVariant unwrap(QVariant value) {
    for (int depth = 0; depth < 8 && value.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth)
        value = value.value<QDBusVariant>().variant();
    return value;
}

std::optional<DWORD> asUInt(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    switch (value.metaType().id()) {
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return value.toUInt();
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (ok && n >= 0 && n <= std::numeric_limits<DWORD>::max())
            return static_cast<DWORD>(n);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QString> asString(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.metaType() == QMetaType::fromType<QString>())
        return value.toString();
    return std::nullopt;
}

std::optional<bool> asBool(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.metaType() == QMetaType::fromType<bool>())
        return value.toBool();
    return std::nullopt;
}

std::optional<QString> asPath(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return std::nullopt;
}

std::optional<QStringList> asPathList(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    QList<QDBusObjectPath> paths;
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const auto arg = value.value<QDBusArgument>();
        if (arg.currentSignature() != QLatin1String("ao"))
            return std::nullopt;
        arg >> paths;
    } else if (value.metaType() == QMetaType::fromType<QList<QDBusObjectPath>>()) {
        paths = value.value<QList<QDBusObjectPath>>();
    } else {
        return std::nullopt;
    }
    QStringList result;
    result.reserve(paths.size());
    for (const auto& path : paths)
        result.append(path.path());
    return result;
}

std::optional<QVariantMap> asPropertyMap(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.metaType() == QMetaType::fromType<QVariantMap>())
        return value.toMap();
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    const auto arg = value.value<QDBusArgument>();
    if (arg.currentSignature() != QLatin1String("a{sv}"))
        return std::nullopt;
    QVariantMap map;
    arg >> map;
    return map;
}

// a{sa{sv}}, the shape of a profile's settings.
std::optional<QMap<QString, QVariantMap>> asSettings(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    const auto arg = value.value<QDBusArgument>();
    if (arg.currentSignature() != QLatin1String("a{sa{sv}}"))
        return std::nullopt;
    QMap<QString, QVariantMap> settings;
    arg.beginMap();
    while (!arg.atEnd()) {
        QString group;
        QVariantMap values;
        arg.beginMapEntry();
        arg >> group >> values;
        arg.endMapEntry();
        settings.insert(group, values);
    }
    arg.endMap();
    return settings;
}

bool isReply(const QDBusMessage& message) {
    return message.type() == QDBusMessage::ReplyMessage && !message.arguments().isEmpty();
}

QDBusMessage methodCall(const QString& path, const QString& interface, const QString& method,
                        const QVariantList& arguments) {
    auto message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    // Only ever ask: never have the bus start the daemon on our behalf.
    message.setAutoStartService(false);
    return message;
}

// The call timed out or never reached the daemon, as opposed to an answer
// that happens to be an error.
bool noAnswer(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    return name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
           name == QLatin1String("org.freedesktop.DBus.Error.TimedOut") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Disconnected") ||
           name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           name == QLatin1String("org.freedesktop.DBus.Error.LimitsExceeded");
}

// An error worth asking again about. A daemon that is not on the bus is
// not asked: its arrival is watched for, and retries would only wake us.
bool retryable(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ErrorMessage)
        return false;
    const QString name = reply.errorName();
    return name != QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") &&
           name != QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") &&
           name != QLatin1String("org.freedesktop.DBus.Error.Disconnected");
}

bool valid(const QString& objectPath) {
    return !objectPath.isEmpty() && objectPath != QLatin1String("/");
}

} // namespace

NetworkManagerRasService::NetworkManagerRasService(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    m_retry = new nm::Retry([this] { retry(); }, this);
    subscribe();
    fetchActiveList();
}

NetworkManagerRasService::~NetworkManagerRasService() = default;

void NetworkManagerRasService::subscribe() {
    if (!m_bus.isConnected()) {
        qCDebug(lcNetworkManager) << "no bus:" << m_bus.lastError().message();
        return;
    }
    m_watcher =
        new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &NetworkManagerRasService::onOwnerChanged);

    // Current daemons send the standard signal; older ones and the test mock
    // send each interface's own PropertiesChanged and StateChanged. Any path:
    // the handlers keep to the objects in the snapshot.
    m_bus.connect(kService, QString(), kPropertiesIface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(onPropertiesChanged(QDBusMessage)));
    m_bus.connect(kService, kManagerPath, kManagerIface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(onManagerOwnPropertiesChanged(QDBusMessage)));
    m_bus.connect(kService, QString(), kActiveIface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(onActiveOwnPropertiesChanged(QDBusMessage)));
    m_bus.connect(kService, QString(), kActiveIface, QStringLiteral("StateChanged"), this,
                  SLOT(onActiveStateChanged(QDBusMessage)));
    m_bus.connect(kService, QString(), kDeviceIface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(onDeviceOwnPropertiesChanged(QDBusMessage)));
    m_bus.connect(kService, QString(), kDeviceIface, QStringLiteral("StateChanged"), this,
                  SLOT(onDeviceStateChanged(QDBusMessage)));
}

void NetworkManagerRasService::send(const QString& path, const QString& interface,
                                    const QString& method, const QVariantList& arguments,
                                    ReplyHandler onReply) {
    ++m_busCalls;
    ++m_fetchesSent;
    const auto call = m_bus.asyncCall(methodCall(path, interface, method, arguments),
                                      static_cast<int>(m_fetchTimeout.count()));
    auto* watcher = new QDBusPendingCallWatcher(call, this);
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
                ReportChange();
            });
}

// ---- the snapshot ----

void NetworkManagerRasService::clearSnapshot() {
    ++m_generation;
    m_activeOrder.clear();
    m_actives.clear();
    m_devices.clear();
}

void NetworkManagerRasService::onOwnerChanged(const QString&, const QString& oldOwner,
                                              const QString& newOwner) {
    qCDebug(lcNetworkManager) << "owner" << oldOwner << "->" << newOwner;
    clearSnapshot();
    // Nothing is asked again of a daemon that left; a new one starts afresh.
    m_retryList = false;
    m_retryPhonebook = false;
    m_retryActives.clear();
    m_retryProfiles.clear();
    m_profileFetches.clear();
    m_profileQueue.clear();
    m_profileQueued.clear();
    m_retry->reset();
    ReportChange();
    if (newOwner.isEmpty())
        return;
    fetchActiveList();
    // What of the phonebook the start could not read, the new daemon may tell.
    if (m_phonebookRead && !m_phonebookListed && m_bus.isConnected()) {
        fetchPhonebook();
    } else {
        QStringList missing;
        for (const QString& path : std::as_const(m_phonebookOrder)) {
            if (!m_profiles.contains(path))
                missing.append(path);
        }
        askProfiles(missing);
    }
}

// Qt may hand us a reply after change signals the daemon sent later, so a
// reply must never undo what a newer signal brought.
void NetworkManagerRasService::fetchActiveList() {
    const quint64 version = m_listVersion;
    send(kManagerPath, kPropertiesIface, QStringLiteral("Get"),
         {kManagerIface, QStringLiteral("ActiveConnections")},
         [this, version](const QDBusMessage& reply) {
             // Every change of the list is signalled with the whole list, so
             // one that came since the request is at least as new as the reply.
             if (version != m_listVersion)
                 return;
             if (retryable(reply)) {
                 // A daemon that hung or failed at our start may have
                 // connections up already: without asking again they would
                 // wait for the next change of the list.
                 m_retryList = true;
                 m_retry->schedule();
                 return;
             }
             if (!isReply(reply))
                 return;
             if (const auto paths = asPathList(reply.arguments().constFirst()))
                 setActiveList(*paths);
             retryWhenAllCame();
         });
}

void NetworkManagerRasService::setRetryDelays(std::chrono::milliseconds first,
                                              std::chrono::milliseconds most) {
    m_retry->setDelays(first, most);
}

bool NetworkManagerRasService::retryScheduled() const {
    return m_retry->scheduled();
}

void NetworkManagerRasService::retry() {
    if (std::exchange(m_retryPhonebook, false))
        fetchPhonebook();
    const bool list = std::exchange(m_retryList, false);
    const QSet<QString> actives = std::exchange(m_retryActives, {});
    const QSet<QString> profiles = std::exchange(m_retryProfiles, {});
    if (list)
        fetchActiveList();
    for (const QString& path : actives) {
        auto it = m_actives.find(path);
        if (it != m_actives.end() && !it->loaded && !it->fetching) {
            it->loadFailed = false;
            fetchActive(path);
        }
    }
    askProfiles(QStringList(profiles.begin(), profiles.end()));
}

void NetworkManagerRasService::retryWhenAllCame() {
    if (!m_retryList && !m_retryPhonebook && m_retryActives.isEmpty() &&
        m_retryProfiles.isEmpty() && m_profileFetches.isEmpty() && m_profileQueue.empty())
        m_retry->reset();
}

void NetworkManagerRasService::setSignalledActiveList(const QStringList& paths) {
    ++m_listVersion;
    setActiveList(paths);
}

void NetworkManagerRasService::setActiveList(const QStringList& paths) {
    QStringList order;
    QSet<QString> seen;
    for (const QString& path : paths) {
        if (!valid(path) || seen.contains(path))
            continue;
        seen.insert(path);
        order.append(path);
        if (!m_actives.contains(path)) {
            Active active;
            if (m_nextHandle == 0)
                m_nextHandle = 1;
            active.handle = m_nextHandle++;
            m_actives.insert(path, active);
            fetchActive(path);
        }
    }
    for (auto it = m_actives.begin(); it != m_actives.end();) {
        if (seen.contains(it.key()))
            ++it;
        else
            it = m_actives.erase(it);
    }
    m_activeOrder = order;
    pruneDevices();
}

void NetworkManagerRasService::fetchActive(const QString& path) {
    auto it = m_actives.find(path);
    if (it == m_actives.end())
        return;
    const HRASCONN handle = it->handle;
    const quint64 fetch = ++m_nextFetch;
    it->fetch = fetch;
    it->fetching = true;
    it->sinceFetch.clear(); // older changes are in the answer
    send(path, kPropertiesIface, QStringLiteral("GetAll"), {kActiveIface},
         [this, path, handle, fetch](const QDBusMessage& reply) {
             auto it = m_actives.find(path);
             if (it == m_actives.end() || it->handle != handle || it->fetch != fetch)
                 return; // gone, replaced by another connection, or asked again since
             it->fetching = false;
             const QVariantMap since = std::exchange(it->sinceFetch, {});
             auto properties =
                 isReply(reply) ? asPropertyMap(reply.arguments().constFirst()) : std::nullopt;
             if (!properties) {
                 it->loadFailed = true; // tried again at its next signal
                 if (retryable(reply)) {
                     m_retryActives.insert(path); // and after a while, if none comes
                     m_retry->schedule();
                 }
                 return;
             }
             it->loaded = true;
             it->loadFailed = false;
             m_retryActives.remove(path);
             retryWhenAllCame();
             if (const auto profile = asPath(properties->value(QStringLiteral("Connection"))))
                 it->profile = *profile;
             // What was signalled while the answer was on its way may be newer.
             for (auto change = since.begin(); change != since.end(); ++change)
                 properties->insert(change.key(), change.value());
             applyActive(path, *properties, {});
         });
}

void NetworkManagerRasService::fetchDevice(const QString& path) {
    auto it = m_devices.find(path);
    if (it == m_devices.end())
        return;
    const quint64 fetch = ++m_nextFetch;
    it->fetch = fetch;
    it->fetching = true;
    it->sinceFetch.clear();
    send(path, kPropertiesIface, QStringLiteral("GetAll"), {kDeviceIface},
         [this, path, fetch](const QDBusMessage& reply) {
             auto it = m_devices.find(path);
             if (it == m_devices.end() || it->fetch != fetch)
                 return;
             it->resolved = true;
             it->fetching = false;
             const QVariantMap since = std::exchange(it->sinceFetch, {});
             auto properties =
                 isReply(reply) ? asPropertyMap(reply.arguments().constFirst()) : std::nullopt;
             if (!properties)
                 properties.emplace();
             for (auto change = since.begin(); change != since.end(); ++change)
                 properties->insert(change.key(), change.value());
             applyDevice(path, *properties, {});
             updateReadinessForDevice(path);
         });
}

void NetworkManagerRasService::fetchProfileFlags(const QString& activePath) {
    auto it = m_actives.find(activePath);
    if (it == m_actives.end() || it->profileRequested)
        return;
    it->profileRequested = true;
    if (!valid(it->profile)) {
        it->profileResolved = true;
        return;
    }
    const HRASCONN handle = it->handle;
    send(it->profile, kPropertiesIface, QStringLiteral("Get"),
         {kProfileIface, QStringLiteral("Flags")},
         [this, activePath, handle](const QDBusMessage& reply) {
             auto it = m_actives.find(activePath);
             if (it == m_actives.end() || it->handle != handle)
                 return;
             // No such property (older daemons) means no flags.
             const auto flags =
                 isReply(reply) ? asUInt(reply.arguments().constFirst()) : std::nullopt;
             it->profileExternal = flags && (*flags & nm::kProfileFlagExternal);
             it->profileResolved = true;
             updateReadiness(*it);
         });
}

void NetworkManagerRasService::applyActive(const QString& path, const QVariantMap& changed,
                                           const QStringList& invalidated) {
    auto it = m_actives.find(path);
    if (it == m_actives.end())
        return;
    Active& active = *it;
    static const QStringList watched = {QStringLiteral("Id"), QStringLiteral("State"),
                                        QStringLiteral("Devices"), QStringLiteral("StateFlags")};
    const bool lostValue = std::any_of(invalidated.begin(), invalidated.end(),
                                       [](const QString& name) { return watched.contains(name); });
    if (active.fetching) {
        for (auto change = changed.begin(); change != changed.end(); ++change)
            active.sinceFetch.insert(change.key(), change.value());
    }
    if (!active.loaded) {
        // Its properties are on their way, or failed to come. A failure, or
        // a value the answer on its way may predate, means asking again.
        if (active.loadFailed || lostValue) {
            active.loadFailed = false;
            fetchActive(path);
        }
        return;
    }
    if (const auto id = asString(changed.value(QStringLiteral("Id"))))
        active.id = nm::utf8Cut(*id, RAS_MaxEntryName);
    if (const auto type = asString(changed.value(QStringLiteral("Type"))))
        active.type = *type;
    if (const auto vpn = asBool(changed.value(QStringLiteral("Vpn"))))
        active.vpn = *vpn;
    if (const auto state = asUInt(changed.value(QStringLiteral("State"))))
        active.state = *state;
    if (const auto flags = asUInt(changed.value(QStringLiteral("StateFlags"))))
        active.stateFlags = *flags;
    if (const auto devices = asPathList(changed.value(QStringLiteral("Devices"))))
        setFirstDevice(active, devices->isEmpty() ? QString() : devices->constFirst());

    if (lostValue) {
        active.loaded = false;
        fetchActive(path);
        return;
    }
    fetchProfileFlags(path);
    updateReadiness(*it);
}

void NetworkManagerRasService::setFirstDevice(Active& active, const QString& device) {
    const QString path = valid(device) ? device : QString();
    if (path == active.device)
        return;
    active.device = path;
    if (!path.isEmpty() && !m_devices.contains(path)) {
        m_devices.insert(path, Device{});
        fetchDevice(path);
    }
    pruneDevices();
}

void NetworkManagerRasService::applyDevice(const QString& path, const QVariantMap& changed,
                                           const QStringList& invalidated) {
    auto it = m_devices.find(path);
    if (it == m_devices.end())
        return;
    if (it->fetching) {
        for (auto change = changed.begin(); change != changed.end(); ++change)
            it->sinceFetch.insert(change.key(), change.value());
    }
    if (const auto name = asString(changed.value(QStringLiteral("Interface"))))
        it->interfaceName = nm::utf8Cut(*name, RAS_MaxDeviceName);
    if (const auto type = asUInt(changed.value(QStringLiteral("DeviceType"))))
        it->type = *type;
    if (const auto state = asUInt(changed.value(QStringLiteral("State"))))
        it->state = *state;
    for (const QString& name : invalidated) {
        if (name == QLatin1String("Interface") || name == QLatin1String("DeviceType") ||
            name == QLatin1String("State")) {
            fetchDevice(path);
            break;
        }
    }
}

void NetworkManagerRasService::pruneDevices() {
    QSet<QString> used;
    for (const Active& active : std::as_const(m_actives)) {
        if (!active.device.isEmpty())
            used.insert(active.device);
    }
    for (auto it = m_devices.begin(); it != m_devices.end();) {
        if (used.contains(it.key()))
            ++it;
        else
            it = m_devices.erase(it);
    }
}

void NetworkManagerRasService::updateReadiness(Active& active) {
    if (active.ready || !active.loaded || !active.profileResolved)
        return;
    // Wait for the device too, so that a new connection is not first reported
    // without its device and then with it.
    if (!active.device.isEmpty() && !m_devices.value(active.device).resolved)
        return;
    active.ready = true;
}

void NetworkManagerRasService::updateReadinessForDevice(const QString& devicePath) {
    for (Active& active : m_actives) {
        if (active.device == devicePath)
            updateReadiness(active);
    }
}

// ---- change signals ----

void NetworkManagerRasService::onPropertiesChanged(const QDBusMessage& message) {
    // Every object of the daemon sends this (access points, IP configurations,
    // ...), so decide on the interface and path before reading the values.
    const QVariantList args = message.arguments();
    if (args.size() < 2)
        return;
    const auto interface = asString(args.at(0));
    if (!interface)
        return;
    const QString path = message.path();
    enum { Manager, ActiveConnection, Device } target;
    if (*interface == kManagerIface && path == kManagerPath)
        target = Manager;
    else if (*interface == kActiveIface && m_actives.contains(path))
        target = ActiveConnection;
    else if (*interface == kDeviceIface && m_devices.contains(path))
        target = Device;
    else
        return;
    const auto changed = asPropertyMap(args.at(1));
    if (!changed)
        return;
    QStringList invalidated;
    if (args.size() >= 3) {
        const QVariant value = unwrap(args.at(2));
        if (value.metaType() == QMetaType::fromType<QStringList>())
            invalidated = value.toStringList();
    }
    switch (target) {
    case Manager:
        if (const auto paths = asPathList(changed->value(QStringLiteral("ActiveConnections"))))
            setSignalledActiveList(*paths);
        else if (invalidated.contains(QStringLiteral("ActiveConnections")))
            fetchActiveList();
        break;
    case ActiveConnection:
        applyActive(path, *changed, invalidated);
        break;
    case Device:
        applyDevice(path, *changed, invalidated);
        break;
    }
    ReportChange();
}

void NetworkManagerRasService::onManagerOwnPropertiesChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.isEmpty())
        return;
    if (const auto changed = asPropertyMap(args.at(0))) {
        if (const auto paths = asPathList(changed->value(QStringLiteral("ActiveConnections")))) {
            setSignalledActiveList(*paths);
            ReportChange();
        }
    }
}

void NetworkManagerRasService::onActiveOwnPropertiesChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.isEmpty() || !m_actives.contains(message.path()))
        return;
    if (const auto changed = asPropertyMap(args.at(0))) {
        applyActive(message.path(), *changed, {});
        ReportChange();
    }
}

void NetworkManagerRasService::onActiveStateChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.isEmpty() || !m_actives.contains(message.path()))
        return;
    if (const auto state = asUInt(args.at(0))) {
        applyActive(message.path(), {{QStringLiteral("State"), *state}}, {});
        ReportChange();
    }
}

void NetworkManagerRasService::onDeviceOwnPropertiesChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.isEmpty() || !m_devices.contains(message.path()))
        return;
    if (const auto changed = asPropertyMap(args.at(0))) {
        applyDevice(message.path(), *changed, {});
        ReportChange();
    }
}

void NetworkManagerRasService::onDeviceStateChanged(const QDBusMessage& message) {
    // StateChanged(new, old, reason)
    const QVariantList args = message.arguments();
    if (args.isEmpty() || !m_devices.contains(message.path()))
        return;
    if (const auto state = asUInt(args.at(0))) {
        applyDevice(message.path(), {{QStringLiteral("State"), *state}}, {});
        ReportChange();
    }
}

// ---- answers from the snapshot ----

bool NetworkManagerRasService::reported(const Active& active) const {
    if (!active.ready)
        return false;
    if (active.type == QLatin1String("loopback"))
        return false;
    return !active.profileExternal && !(active.stateFlags & nm::kActivationFlagExternal);
}

void NetworkManagerRasService::fillConnection(const Active& active,
                                              char (&deviceType)[RAS_MaxDeviceType + 1],
                                              char (&deviceName)[RAS_MaxDeviceName + 1]) const {
    const auto device = m_devices.constFind(active.device);
    const bool hasDevice = !active.device.isEmpty() && device != m_devices.constEnd();
    const char* type = nullptr;
    if (active.vpn || nm::isVpnType(active.type))
        type = "vpn";
    else if (hasDevice && device->type)
        type = nm::deviceTypeName(*device->type);
    else
        type = nm::connectionTypeName(active.type);
    if (!*type)
        type = "unknown";
    nm::copyField(deviceType, QByteArray(type));
    nm::copyField(deviceName, hasDevice ? device->interfaceName : QByteArray());
}

DWORD NetworkManagerRasService::stateOf(const Active& active) const {
    std::optional<DWORD> deviceState;
    if (!active.device.isEmpty())
        deviceState = m_devices.value(active.device).state;
    return nm::rasState(active.state, deviceState);
}

DWORD NetworkManagerRasService::RasEnumConnectionsA(RASCONNA* buffer, DWORD* bufferSize,
                                                    DWORD* connectionCount) {
    if (!bufferSize || !connectionCount)
        return ERROR_INVALID_PARAMETER;
    if (buffer && buffer->dwSize != kConnSize)
        return ERROR_INVALID_SIZE;
    DWORD count = 0;
    for (const QString& path : std::as_const(m_activeOrder)) {
        if (reported(m_actives.value(path)))
            ++count;
    }
    const auto needed = static_cast<std::uint64_t>(count) * kConnSize;
    if (!buffer || *bufferSize < needed) {
        *bufferSize = static_cast<DWORD>(needed);
        *connectionCount = count;
        return count == 0 && !buffer ? SUCCESS : ERROR_BUFFER_TOO_SMALL;
    }
    DWORD i = 0;
    for (const QString& path : std::as_const(m_activeOrder)) {
        const Active& active = *m_actives.constFind(path);
        if (!reported(active))
            continue;
        RASCONNA& record = buffer[i++];
        record.dwSize = kConnSize;
        record.hrasconn = active.handle;
        nm::copyField(record.szEntryName, active.id);
        fillConnection(active, record.szDeviceType, record.szDeviceName);
    }
    *bufferSize = static_cast<DWORD>(needed);
    *connectionCount = count;
    return SUCCESS;
}

DWORD NetworkManagerRasService::RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status) {
    if (!status)
        return ERROR_INVALID_PARAMETER;
    for (const QString& path : std::as_const(m_activeOrder)) {
        const Active& active = *m_actives.constFind(path);
        if (active.handle != connection || !reported(active))
            continue;
        if (status->dwSize != kConnStatusSize)
            return ERROR_INVALID_SIZE;
        status->rasconnstate = stateOf(active);
        status->dwError = 0;
        fillConnection(active, status->szDeviceType, status->szDeviceName);
        return SUCCESS;
    }
    return ERROR_INVALID_HANDLE;
}

// ---- the phonebook ----

DWORD NetworkManagerRasService::RasEnumEntriesA(const char*, const char*, RASENTRYNAMEA* buffer,
                                                DWORD* bufferSize, DWORD* entryCount) {
    if (!bufferSize || !entryCount)
        return ERROR_INVALID_PARAMETER;
    if (buffer && buffer->dwSize != kEntryNameSize)
        return ERROR_INVALID_SIZE;
    readPhonebook();
    if (m_phonebookDirty)
        rebuildPhonebook();
    const auto count = static_cast<DWORD>(m_phonebook.size());
    const auto needed = static_cast<std::uint64_t>(count) * kEntryNameSize;
    if (needed > std::numeric_limits<DWORD>::max())
        return ERROR_INVALID_PARAMETER;
    if (!buffer || *bufferSize < needed) {
        *bufferSize = static_cast<DWORD>(needed);
        *entryCount = count;
        return count == 0 && !buffer ? SUCCESS : ERROR_BUFFER_TOO_SMALL;
    }
    for (DWORD i = 0; i < count; ++i) {
        buffer[i].dwSize = kEntryNameSize;
        nm::copyField(buffer[i].szEntryName, m_phonebook[i].name);
    }
    *bufferSize = static_cast<DWORD>(needed);
    *entryCount = count;
    return SUCCESS;
}

// The monitor reads the numbers once, entry by entry in the phonebook's
// order, by name. So a full read of a name that several profiles share gets
// the next of them in turn: each keeps its own number, index for index.
const NetworkManagerRasService::Profile* NetworkManagerRasService::findProfile(const char* name,
                                                                               bool full) const {
    if (!name)
        return nullptr;
    const std::size_t length = std::strlen(name);
    std::vector<const Profile*> equal;
    for (const Profile& profile : m_phonebook) {
        if (static_cast<std::size_t>(profile.name.size()) == length &&
            std::memcmp(profile.name.constData(), name, length) == 0)
            equal.push_back(&profile);
    }
    if (equal.empty())
        return nullptr;
    if (!full || equal.size() == 1)
        return equal.front();
    int& turn = m_numberTurns[QByteArray(name, static_cast<qsizetype>(length))];
    const Profile* profile = equal[static_cast<std::size_t>(turn) % equal.size()];
    turn = static_cast<int>((static_cast<std::size_t>(turn) + 1) % equal.size());
    return profile;
}

DWORD NetworkManagerRasService::RasGetEntryPropertiesA(const char*, const char* entryName,
                                                       RASENTRYA* entry, DWORD* entrySize, void*,
                                                       DWORD* deviceInfoSize) {
    if (!entrySize)
        return ERROR_INVALID_PARAMETER;
    readPhonebook();
    if (m_phonebookDirty)
        rebuildPhonebook();
    const Profile* profile = findProfile(entryName, false);
    if (!profile)
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (deviceInfoSize)
        *deviceInfoSize = 0;
    if (!entry || *entrySize < kEntrySize) {
        *entrySize = kEntrySize;
        return ERROR_BUFFER_TOO_SMALL;
    }
    if (entry->dwSize != kEntrySize)
        return ERROR_INVALID_SIZE;
    profile = findProfile(entryName, true);
    std::memset(reinterpret_cast<char*>(entry) + sizeof(entry->dwSize), 0,
                kEntrySize - sizeof(entry->dwSize));
    nm::copyField(entry->szLocalPhoneNumber, profile->number);
    *entrySize = kEntrySize;
    return SUCCESS;
}

void NetworkManagerRasService::readPhonebook() {
    if (m_phonebookRead)
        return;
    m_phonebookRead = true;
    if (!m_bus.isConnected())
        return;

    // One deadline for the whole read: it holds up the program's start.
    const QDeadlineTimer deadline(m_phonebookTimeout);
    auto remaining = [&deadline] { return std::max<int>(1, int(deadline.remainingTime())); };
    auto call = [&](const QString& path, const QString& interface, const QString& method,
                    const QVariantList& arguments) {
        ++m_busCalls;
        return m_bus.asyncCall(methodCall(path, interface, method, arguments), remaining());
    };

    QDBusPendingCall list =
        call(kSettingsPath, kSettingsIface, QStringLiteral("ListConnections"), {});
    list.waitForFinished();
    const QDBusMessage listReply = list.reply();
    const auto paths =
        isReply(listReply) ? asPathList(listReply.arguments().constFirst()) : std::nullopt;
    if (!paths) {
        qCDebug(lcNetworkManager) << "no profiles:" << listReply.errorMessage();
        if (noAnswer(listReply) && retryable(listReply)) {
            m_retryPhonebook = true;
            m_retry->schedule();
        }
        return;
    }

    QHash<QString, ProfileDetails> details; // a path listed twice is asked once
    QStringList unique;
    for (const QString& path : *paths) {
        if (valid(path) && !details.contains(path)) {
            details.insert(path, ProfileDetails{});
            unique.append(path);
        }
    }

    // Two calls per profile, all in flight together up to the bus's limit.
    struct Pending {
        QString path;
        bool settings;
        QDBusPendingCall call;
    };
    std::deque<Pending> inFlight;
    qsizetype next = 0;
    bool settingsNext = true;
    auto issue = [&] {
        while (inFlight.size() < kMaxPendingCalls && next < unique.size() &&
               !deadline.hasExpired()) {
            const QString& path = unique.at(next);
            if (settingsNext) {
                inFlight.push_back(
                    {path, true, call(path, kProfileIface, QStringLiteral("GetSettings"), {})});
            } else {
                inFlight.push_back({path, false,
                                    call(path, kPropertiesIface, QStringLiteral("Get"),
                                         {kProfileIface, QStringLiteral("Flags")})});
                ++next;
            }
            settingsNext = !settingsNext;
        }
    };
    issue();
    while (!inFlight.empty()) {
        Pending pending = std::move(inFlight.front());
        inFlight.pop_front();
        pending.call.waitForFinished();
        const QDBusMessage reply = pending.call.reply();
        ProfileDetails& d = details[pending.path];
        if (pending.settings)
            takeSettings(d, reply);
        else
            takeFlags(d, reply);
        issue();
    }
    if (next < unique.size())
        qCDebug(lcNetworkManager) << "phonebook read cut short after" << next << "profiles";

    setPhonebookOrder(*paths);
    // A profile without all its answers is asked again later, not left out
    // for the whole run.
    for (const QString& path : std::as_const(unique)) {
        const ProfileDetails& d = details.value(path);
        if (d.settingsSettled && d.flagsSettled)
            settleProfile(path, d);
        else
            m_retryProfiles.insert(path);
    }
    rebuildPhonebook();
    if (!m_retryProfiles.isEmpty())
        m_retry->schedule();
}

void NetworkManagerRasService::setPhonebookOrder(const QStringList& paths) {
    m_phonebookListed = true;
    m_phonebookOrder.clear();
    for (const QString& path : paths) {
        if (valid(path))
            m_phonebookOrder.append(path);
    }
}

// The list of profiles, when it got no answer at the start.
void NetworkManagerRasService::fetchPhonebook() {
    send(kSettingsPath, kSettingsIface, QStringLiteral("ListConnections"), {},
         [this](const QDBusMessage& reply) {
             const auto paths =
                 isReply(reply) ? asPathList(reply.arguments().constFirst()) : std::nullopt;
             if (!paths) {
                 if (noAnswer(reply) && retryable(reply)) {
                     m_retryPhonebook = true;
                     m_retry->schedule();
                 }
                 return;
             }
             setPhonebookOrder(*paths);
             askProfiles(m_phonebookOrder);
             retryWhenAllCame();
         });
}

void NetworkManagerRasService::takeSettings(ProfileDetails& d, const QDBusMessage& reply) {
    if (!isReply(reply)) {
        d.settingsSettled = !noAnswer(reply);
        return;
    }
    d.settingsSettled = true;
    const auto settings = asSettings(reply.arguments().constFirst());
    if (!settings)
        return;
    const QVariantMap connection = settings->value(QStringLiteral("connection"));
    d.settingsRead = true;
    d.id = asString(connection.value(QStringLiteral("id"))).value_or(QString());
    d.type = asString(connection.value(QStringLiteral("type"))).value_or(QString());
    for (const char* group : {"gsm", "cdma"}) {
        const auto number =
            asString(settings->value(QLatin1String(group)).value(QStringLiteral("number")));
        if (number && !number->isEmpty()) {
            d.number = *number;
            break;
        }
    }
}

void NetworkManagerRasService::takeFlags(ProfileDetails& d, const QDBusMessage& reply) {
    if (isReply(reply)) {
        d.flags = asUInt(reply.arguments().constFirst()).value_or(0);
        d.flagsSettled = true;
    } else {
        d.flagsSettled = !noAnswer(reply);
    }
}

void NetworkManagerRasService::settleProfile(const QString& path, const ProfileDetails& d) {
    if (!d.settingsRead || d.id.isEmpty() || d.type == QLatin1String("loopback") ||
        (d.flags & nm::kProfileFlagExternal)) {
        m_profiles.insert(path, std::nullopt);
        return;
    }
    m_profiles.insert(path, Profile{nm::utf8Cut(d.id, RAS_MaxEntryName),
                                    nm::utf8Cut(d.number, RAS_MaxPhoneNumber)});
}

void NetworkManagerRasService::rebuildPhonebook() {
    m_phonebookDirty = false;
    m_phonebook.clear();
    for (const QString& path : std::as_const(m_phonebookOrder)) {
        const auto it = m_profiles.constFind(path);
        if (it != m_profiles.constEnd() && it->has_value())
            m_phonebook.push_back(**it);
    }
}

// Profiles asked for later, a few at a time: no more calls in flight than
// the bus allows, as at the start.
void NetworkManagerRasService::askProfiles(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!m_profileFetches.contains(path) && !m_profileQueued.contains(path)) {
            m_profileQueued.insert(path);
            m_profileQueue.push_back(path);
        }
    }
    pumpProfiles();
}

void NetworkManagerRasService::pumpProfiles() {
    while (static_cast<std::size_t>(m_profileFetches.size()) * 2 < kMaxPendingCalls &&
           !m_profileQueue.empty()) {
        const QString path = m_profileQueue.front();
        m_profileQueue.pop_front();
        m_profileQueued.remove(path);
        fetchProfile(path);
    }
}

// Both calls of a profile that got no answer at the start, asynchronously.
void NetworkManagerRasService::fetchProfile(const QString& path) {
    m_profileFetches.insert(path, ProfileDetails{});
    const auto settle = [this, path](bool settings, const QDBusMessage& reply) {
        auto it = m_profileFetches.find(path);
        if (it == m_profileFetches.end())
            return;
        if (settings)
            takeSettings(*it, reply);
        else
            takeFlags(*it, reply);
        if (++it->answers < 2)
            return;
        const ProfileDetails d = *it;
        m_profileFetches.erase(it);
        if (d.settingsSettled && d.flagsSettled) {
            settleProfile(path, d);
            m_phonebookDirty = true;
        } else {
            m_retryProfiles.insert(path);
            m_retry->schedule();
        }
        pumpProfiles();
        retryWhenAllCame();
    };
    send(path, kProfileIface, QStringLiteral("GetSettings"), {},
         [settle](const QDBusMessage& reply) { settle(true, reply); });
    send(path, kPropertiesIface, QStringLiteral("Get"), {kProfileIface, QStringLiteral("Flags")},
         [settle](const QDBusMessage& reply) { settle(false, reply); });
}

} // namespace ras

#include "moc_NetworkManagerRasService.cpp"
