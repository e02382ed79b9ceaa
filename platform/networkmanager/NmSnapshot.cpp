#include "NmSnapshot.h"

#include "NmLink.h"
#include "NmMapping.h"
#include "NmValues.h"

#include <QDBusMessage>

#include <algorithm>
#include <utility>

namespace ras::nm {

Snapshot::Snapshot(Link& link) : m_link(link) {}

Snapshot::~Snapshot() = default;

void Snapshot::subscribe() {
    // Current daemons send the standard signal; older ones and the test mock
    // send each interface's own PropertiesChanged and StateChanged. Any path:
    // the handlers keep to the objects in the snapshot.
    QDBusConnection& bus = m_link.bus();
    bus.connect(kService, QString(), kPropertiesIface, QStringLiteral("PropertiesChanged"), this,
                SLOT(onPropertiesChanged(QDBusMessage)));
    bus.connect(kService, kManagerPath, kManagerIface, QStringLiteral("PropertiesChanged"), this,
                SLOT(onManagerOwnPropertiesChanged(QDBusMessage)));
    bus.connect(kService, QString(), kActiveIface, QStringLiteral("PropertiesChanged"), this,
                SLOT(onActiveOwnPropertiesChanged(QDBusMessage)));
    bus.connect(kService, QString(), kActiveIface, QStringLiteral("StateChanged"), this,
                SLOT(onActiveStateChanged(QDBusMessage)));
    bus.connect(kService, QString(), kDeviceIface, QStringLiteral("PropertiesChanged"), this,
                SLOT(onDeviceOwnPropertiesChanged(QDBusMessage)));
    bus.connect(kService, QString(), kDeviceIface, QStringLiteral("StateChanged"), this,
                SLOT(onDeviceStateChanged(QDBusMessage)));
}

void Snapshot::clear() {
    m_activeOrder.clear();
    m_actives.clear();
    m_devices.clear();
    m_retryList = false;
    m_retryActives.clear();
}

const Snapshot::Device* Snapshot::deviceOf(const Active& active) const {
    if (active.device.isEmpty())
        return nullptr;
    const auto it = m_devices.constFind(active.device);
    return it == m_devices.constEnd() ? nullptr : &*it;
}

// Qt may hand us a reply after change signals the daemon sent later, so a
// reply must never undo what a newer signal brought.
void Snapshot::fetchActiveList() {
    const quint64 version = m_listVersion;
    m_link.send(kManagerPath, kPropertiesIface, QStringLiteral("Get"),
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
                        m_link.retryLater();
                        return;
                    }
                    if (!isReply(reply))
                        return;
                    if (const auto paths = asPathList(reply.arguments().constFirst()))
                        setActiveList(*paths);
                    m_link.retryWhenAllCame();
                });
}

void Snapshot::retry() {
    const bool list = std::exchange(m_retryList, false);
    const QSet<QString> actives = std::exchange(m_retryActives, {});
    if (list)
        fetchActiveList();
    for (const QString& path : actives) {
        auto it = m_actives.find(path);
        if (it != m_actives.end() && !it->loaded && !it->fetching) {
            it->loadFailed = false;
            fetchActive(path);
        }
    }
}

void Snapshot::setSignalledActiveList(const QStringList& paths) {
    ++m_listVersion;
    setActiveList(paths);
}

void Snapshot::setActiveList(const QStringList& paths) {
    QStringList order;
    QSet<QString> seen;
    for (const QString& path : paths) {
        if (!validPath(path) || seen.contains(path))
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

void Snapshot::fetchActive(const QString& path) {
    auto it = m_actives.find(path);
    if (it == m_actives.end())
        return;
    const HRASCONN handle = it->handle;
    const quint64 fetch = ++m_nextFetch;
    it->fetch = fetch;
    it->fetching = true;
    it->sinceFetch.clear(); // older changes are in the answer
    m_link.send(path, kPropertiesIface, QStringLiteral("GetAll"), {kActiveIface},
                [this, path, handle, fetch](const QDBusMessage& reply) {
                    auto it = m_actives.find(path);
                    if (it == m_actives.end() || it->handle != handle || it->fetch != fetch)
                        return; // gone, replaced by another connection, or asked again since
                    it->fetching = false;
                    const QVariantMap since = std::exchange(it->sinceFetch, {});
                    auto properties = isReply(reply) ? asPropertyMap(reply.arguments().constFirst())
                                                     : std::nullopt;
                    if (!properties) {
                        it->loadFailed = true; // tried again at its next signal
                        if (retryable(reply)) {
                            m_retryActives.insert(path); // and after a while, if none comes
                            m_link.retryLater();
                        }
                        return;
                    }
                    it->loaded = true;
                    it->loadFailed = false;
                    m_retryActives.remove(path);
                    m_link.retryWhenAllCame();
                    if (const auto profile =
                            asPath(properties->value(QStringLiteral("Connection"))))
                        it->profile = *profile;
                    // What was signalled while the answer was on its way may be newer.
                    for (auto change = since.begin(); change != since.end(); ++change)
                        properties->insert(change.key(), change.value());
                    applyActive(path, *properties, {});
                });
}

void Snapshot::fetchDevice(const QString& path) {
    auto it = m_devices.find(path);
    if (it == m_devices.end())
        return;
    const quint64 fetch = ++m_nextFetch;
    it->fetch = fetch;
    it->fetching = true;
    it->sinceFetch.clear();
    m_link.send(path, kPropertiesIface, QStringLiteral("GetAll"), {kDeviceIface},
                [this, path, fetch](const QDBusMessage& reply) {
                    auto it = m_devices.find(path);
                    if (it == m_devices.end() || it->fetch != fetch)
                        return;
                    it->resolved = true;
                    it->fetching = false;
                    const QVariantMap since = std::exchange(it->sinceFetch, {});
                    auto properties = isReply(reply) ? asPropertyMap(reply.arguments().constFirst())
                                                     : std::nullopt;
                    if (!properties)
                        properties.emplace();
                    for (auto change = since.begin(); change != since.end(); ++change)
                        properties->insert(change.key(), change.value());
                    applyDevice(path, *properties, {});
                    updateReadinessForDevice(path);
                });
}

void Snapshot::fetchProfileFlags(const QString& activePath) {
    auto it = m_actives.find(activePath);
    if (it == m_actives.end() || it->profileRequested)
        return;
    it->profileRequested = true;
    if (!validPath(it->profile)) {
        it->profileResolved = true;
        return;
    }
    const HRASCONN handle = it->handle;
    m_link.send(it->profile, kPropertiesIface, QStringLiteral("Get"),
                {kProfileIface, QStringLiteral("Flags")},
                [this, activePath, handle](const QDBusMessage& reply) {
                    auto it = m_actives.find(activePath);
                    if (it == m_actives.end() || it->handle != handle)
                        return;
                    // No such property (older daemons) means no flags.
                    const auto flags =
                        isReply(reply) ? asUInt(reply.arguments().constFirst()) : std::nullopt;
                    it->profileExternal = flags && (*flags & kProfileFlagExternal);
                    it->profileResolved = true;
                    updateReadiness(*it);
                });
}

void Snapshot::applyActive(const QString& path, const QVariantMap& changed,
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
        active.id = utf8Cut(*id, RAS_MaxEntryName);
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

void Snapshot::setFirstDevice(Active& active, const QString& device) {
    const QString path = validPath(device) ? device : QString();
    if (path == active.device)
        return;
    active.device = path;
    if (!path.isEmpty() && !m_devices.contains(path)) {
        m_devices.insert(path, Device{});
        fetchDevice(path);
    }
    pruneDevices();
}

void Snapshot::applyDevice(const QString& path, const QVariantMap& changed,
                           const QStringList& invalidated) {
    auto it = m_devices.find(path);
    if (it == m_devices.end())
        return;
    if (it->fetching) {
        for (auto change = changed.begin(); change != changed.end(); ++change)
            it->sinceFetch.insert(change.key(), change.value());
    }
    if (const auto name = asString(changed.value(QStringLiteral("Interface"))))
        it->interfaceName = utf8Cut(*name, RAS_MaxDeviceName);
    if (const auto name = asString(changed.value(QStringLiteral("IpInterface"))))
        it->ipInterface = name->toUtf8();
    if (const auto type = asUInt(changed.value(QStringLiteral("DeviceType"))))
        it->type = *type;
    if (const auto state = asUInt(changed.value(QStringLiteral("State"))))
        it->state = *state;
    for (const QString& name : invalidated) {
        if (name == QLatin1String("Interface") || name == QLatin1String("IpInterface") ||
            name == QLatin1String("DeviceType") || name == QLatin1String("State")) {
            fetchDevice(path);
            break;
        }
    }
}

void Snapshot::pruneDevices() {
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

void Snapshot::updateReadiness(Active& active) {
    if (active.ready || !active.loaded || !active.profileResolved)
        return;
    // Wait for the device too, so that a new connection is not first reported
    // without its device and then with it.
    if (!active.device.isEmpty()) {
        const Device* device = deviceOf(active);
        if (!device || !device->resolved)
            return;
    }
    active.ready = true;
}

void Snapshot::updateReadinessForDevice(const QString& devicePath) {
    for (Active& active : m_actives) {
        if (active.device == devicePath)
            updateReadiness(active);
    }
}

// ---- change signals ----

void Snapshot::onPropertiesChanged(const QDBusMessage& message) {
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
    if (args.size() >= 3)
        invalidated = asStringList(args.at(2)).value_or(QStringList());
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
    m_link.reportChange();
}

void Snapshot::onManagerOwnPropertiesChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.isEmpty())
        return;
    if (const auto changed = asPropertyMap(args.at(0))) {
        if (const auto paths = asPathList(changed->value(QStringLiteral("ActiveConnections")))) {
            setSignalledActiveList(*paths);
            m_link.reportChange();
        }
    }
}

void Snapshot::onActiveOwnPropertiesChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.isEmpty() || !m_actives.contains(message.path()))
        return;
    if (const auto changed = asPropertyMap(args.at(0))) {
        applyActive(message.path(), *changed, {});
        m_link.reportChange();
    }
}

void Snapshot::onActiveStateChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.isEmpty() || !m_actives.contains(message.path()))
        return;
    if (const auto state = asUInt(args.at(0))) {
        applyActive(message.path(), {{QStringLiteral("State"), *state}}, {});
        m_link.reportChange();
    }
}

void Snapshot::onDeviceOwnPropertiesChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.isEmpty() || !m_devices.contains(message.path()))
        return;
    if (const auto changed = asPropertyMap(args.at(0))) {
        applyDevice(message.path(), *changed, {});
        m_link.reportChange();
    }
}

void Snapshot::onDeviceStateChanged(const QDBusMessage& message) {
    // StateChanged(new, old, reason)
    const QVariantList args = message.arguments();
    if (args.isEmpty() || !m_devices.contains(message.path()))
        return;
    if (const auto state = asUInt(args.at(0))) {
        applyDevice(message.path(), {{QStringLiteral("State"), *state}}, {});
        m_link.reportChange();
    }
}

} // namespace ras::nm
