#include "NetworkManagerRasService.h"

#include "NmAnswers.h"

#include <QDBusServiceWatcher>

#include <utility>

namespace ras {

NetworkManagerRasService::NetworkManagerRasService(QDBusConnection bus, QObject* parent)
    : QObject(parent),
      m_link(std::move(bus),
             {[this] { ReportChange(); }, [this] { retry(); },
              [this] { return m_snapshot.unfinished() || m_phonebook.unfinished(); }}),
      m_snapshot(m_link), m_phonebook(m_link) {
    if (m_link.connected()) {
        m_watcher = new QDBusServiceWatcher(nm::kService, m_link.bus(),
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                &NetworkManagerRasService::onOwnerChanged);
        m_snapshot.subscribe();
    } else {
        qCDebug(lcNetworkManager) << "no bus:" << m_link.bus().lastError().message();
    }
    m_snapshot.fetchActiveList();
}

NetworkManagerRasService::~NetworkManagerRasService() = default;

void NetworkManagerRasService::onOwnerChanged(const QString&, const QString& oldOwner,
                                              const QString& newOwner) {
    qCDebug(lcNetworkManager) << "owner" << oldOwner << "->" << newOwner;
    // Nothing is asked again of a daemon that left; a new one starts afresh.
    m_link.restart();
    m_snapshot.clear();
    m_phonebook.forget();
    ReportChange();
    if (newOwner.isEmpty())
        return;
    m_snapshot.fetchActiveList();
    m_phonebook.resume();
}

void NetworkManagerRasService::retry() {
    // In the order of old: the list of profiles, the connections, the profiles.
    m_phonebook.retryList();
    m_snapshot.retry();
    m_phonebook.retryProfiles();
}

DWORD NetworkManagerRasService::RasEnumEntriesA(const char*, const char*, RASENTRYNAMEA* buffer,
                                                DWORD* bufferSize, DWORD* entryCount) {
    return nm::enumEntries(m_phonebook, buffer, bufferSize, entryCount);
}

DWORD NetworkManagerRasService::RasEnumConnectionsA(RASCONNA* buffer, DWORD* bufferSize,
                                                    DWORD* connectionCount) {
    return nm::enumConnections(m_snapshot, buffer, bufferSize, connectionCount);
}

DWORD NetworkManagerRasService::RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status) {
    return nm::connectStatus(m_snapshot, connection, status);
}

DWORD NetworkManagerRasService::GetConnectionBytes(HRASCONN connection, ConnectionBytes* bytes) {
    return nm::connectionBytes(m_snapshot, m_countersRoot, connection, bytes);
}

DWORD NetworkManagerRasService::RasGetEntryPropertiesA(const char*, const char* entryName,
                                                       RASENTRYA* entry, DWORD* entrySize, void*,
                                                       DWORD* deviceInfoSize) {
    return nm::entryProperties(m_phonebook, entryName, entry, entrySize, deviceInfoSize);
}

} // namespace ras

// NOLINTNEXTLINE(bugprone-suspicious-include): the moc output for this file
#include "moc_NetworkManagerRasService.cpp"
