#pragma once
// NetworkManager's active connections and their devices, held in memory. The
// monitor polls every 500 ms, so its answers come from here and never from the
// bus: NetworkManager's change signals keep the snapshot current, and only
// what they announce is fetched, asynchronously.
//
// Apart from the phonebook because the two share nothing but the link: this
// half lives on signals and small fetches, the phonebook on one read at start.
// Everything known of a connection's device (its interface name, kind and
// state) is here, found through deviceOf().

#include "connection/RasApi.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

class QDBusMessage;

namespace ras::nm {

class Link;

class Snapshot : public QObject {
    Q_OBJECT
public:
    struct Device {
        QByteArray interfaceName;   // e.g. "wwan0", at most RAS_MaxDeviceName bytes
        QByteArray ipInterface;     // where its IP traffic goes, when not the same (a modem's ppp0)
        std::optional<DWORD> type;  // NMDeviceType
        std::optional<DWORD> state; // NMDeviceState
        bool resolved = false;      // its properties arrived, or could not be had
        quint64 fetch = 0;          // the newest request for its properties
        bool fetching = false;
        QVariantMap sinceFetch; // changes signalled while that request was out
    };
    struct Active {
        HRASCONN handle = 0;
        QByteArray id; // at most RAS_MaxEntryName bytes
        QString type;
        bool vpn = false;
        DWORD state = 0;      // NMActiveConnectionState
        DWORD stateFlags = 0; // NMActivationStateFlags
        QString device;       // the first device's path, empty when none
        QString profile;
        bool loaded = false;
        bool loadFailed = false;
        quint64 fetch = 0; // the newest request for its properties
        bool fetching = false;
        QVariantMap sinceFetch; // changes signalled while that request was out
        bool profileRequested = false;
        bool profileResolved = false;
        bool profileExternal = false;
        bool ready = false; // complete: may be reported from now on
    };

    explicit Snapshot(Link& link);
    ~Snapshot() override;

    // Listens to the daemon's change signals.
    void subscribe();
    // Asks for the list of active connections, and then for each new one.
    void fetchActiveList();
    // The daemon left: everything is forgotten, and nothing asked again.
    void clear();
    // Asks again for what failed.
    void retry();
    // Something failed and waits for its next try.
    bool unfinished() const { return m_retryList || !m_retryActives.isEmpty(); }

    // The active connections' object paths in the daemon's order.
    const QStringList& order() const { return m_activeOrder; }
    // One of order()'s connections.
    const Active& active(const QString& path) const { return *m_actives.constFind(path); }
    // The connection's device, when it has one and it is known.
    const Device* deviceOf(const Active& active) const;

private slots:
    void onPropertiesChanged(const QDBusMessage& message);
    void onManagerOwnPropertiesChanged(const QDBusMessage& message);
    void onActiveOwnPropertiesChanged(const QDBusMessage& message);
    void onActiveStateChanged(const QDBusMessage& message);
    void onDeviceOwnPropertiesChanged(const QDBusMessage& message);
    void onDeviceStateChanged(const QDBusMessage& message);

private:
    void setActiveList(const QStringList& paths);
    void setSignalledActiveList(const QStringList& paths);
    void fetchActive(const QString& path);
    void fetchDevice(const QString& path);
    void fetchProfileFlags(const QString& activePath);
    void applyActive(const QString& path, const QVariantMap& changed,
                     const QStringList& invalidated);
    void applyDevice(const QString& path, const QVariantMap& changed,
                     const QStringList& invalidated);
    void setFirstDevice(Active& active, const QString& device);
    void pruneDevices();
    void updateReadiness(Active& active);
    void updateReadinessForDevice(const QString& devicePath);

    Link& m_link;
    // Bumped for each connection list a change signal brings.
    quint64 m_listVersion = 0;
    quint64 m_nextFetch = 0;
    HRASCONN m_nextHandle = 1;

    QStringList m_activeOrder;
    QHash<QString, Active> m_actives;
    QHash<QString, Device> m_devices;

    // What failed and waits for its next try.
    bool m_retryList = false;
    QSet<QString> m_retryActives;
};

} // namespace ras::nm
