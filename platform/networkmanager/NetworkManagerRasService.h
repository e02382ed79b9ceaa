#pragma once
// The Remote Access service on NetworkManager's D-Bus API. Saved profiles are
// the phonebook, active connections are the connections.
//
// The monitor polls from the GUI thread every 500 ms, so the answers come from
// an in-memory snapshot; NetworkManager's change signals keep it current and
// only what they announce is fetched, asynchronously. Nothing is sent to the
// bus while nothing changes. The one blocking read is the phonebook's, once,
// under an overall deadline.

#include "NmRetry.h"
#include "connection/RasApi.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QDBusMessage;
class QDBusServiceWatcher;

namespace ras {

class NetworkManagerRasService : public QObject, public RasService {
    Q_OBJECT
public:
    // The bus is normally the system bus; tests pass a private one.
    explicit NetworkManagerRasService(QDBusConnection bus, QObject* parent = nullptr);
    ~NetworkManagerRasService() override;

    DWORD RasEnumEntriesA(const char* reserved, const char* phonebook, RASENTRYNAMEA* buffer,
                          DWORD* bufferSize, DWORD* entryCount) override;
    DWORD RasEnumConnectionsA(RASCONNA* buffer, DWORD* bufferSize, DWORD* connectionCount) override;
    DWORD RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status) override;
    DWORD RasGetEntryPropertiesA(const char* phonebook, const char* entryName, RASENTRYA* entry,
                                 DWORD* entrySize, void* deviceInfo,
                                 DWORD* deviceInfoSize) override;

    // Every change signal, answer and appearance or loss of the daemon is reported.
    bool ReportsChanges() const override { return true; }

    // How long the one-time phonebook read may hold up its caller in all.
    void setPhonebookTimeout(std::chrono::milliseconds timeout) { m_phonebookTimeout = timeout; }
    // Calls sent to NetworkManager so far (diagnostics: idle must mean none).
    quint64 busCallCount() const { return m_busCalls; }
    // Asynchronous calls whose answers have not been handled yet.
    quint64 fetchesInFlight() const { return m_fetchesSent - m_fetchesAnswered; }
    // How long an asynchronous fetch waits for its answer.
    void setFetchTimeout(std::chrono::milliseconds timeout) { m_fetchTimeout = timeout; }
    // The back-off for fetches that failed (1 s doubling up to 30 s).
    void setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds most);
    // Whether a failed fetch waits for its next try.
    bool retryScheduled() const;

private slots:
    void onPropertiesChanged(const QDBusMessage& message);
    void onManagerOwnPropertiesChanged(const QDBusMessage& message);
    void onActiveOwnPropertiesChanged(const QDBusMessage& message);
    void onActiveStateChanged(const QDBusMessage& message);
    void onDeviceOwnPropertiesChanged(const QDBusMessage& message);
    void onDeviceStateChanged(const QDBusMessage& message);
    void onOwnerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);

private:
    struct Profile {
        QByteArray name;   // at most RAS_MaxEntryName bytes
        QByteArray number; // at most RAS_MaxPhoneNumber bytes
    };
    // What the two calls for one profile brought.
    struct ProfileDetails {
        bool settingsRead = false;
        bool settingsSettled = false; // answered, if only with an error
        QString id;
        QString type;
        QString number;
        DWORD flags = 0;
        bool flagsSettled = false; // answered, if only with "no such property"
        int answers = 0;
    };
    struct Device {
        QByteArray interfaceName;
        std::optional<DWORD> type;
        std::optional<DWORD> state;
        bool resolved = false; // its properties arrived, or could not be had
        quint64 fetch = 0;     // the newest request for its properties
        bool fetching = false;
        QVariantMap sinceFetch; // changes signalled while that request was out
    };
    struct Active {
        HRASCONN handle = 0;
        QByteArray id;
        QString type;
        bool vpn = false;
        DWORD state = 0;
        DWORD stateFlags = 0;
        QString device; // the first device's path, empty when none
        QString profile;
        bool loaded = false;
        bool loadFailed = false;
        quint64 fetch = 0; // the newest request for its properties
        bool fetching = false;
        QVariantMap sinceFetch; // changes signalled while that request was out
        bool profileRequested = false;
        bool profileResolved = false;
        bool profileExternal = false;
        bool ready = false; // reported from now on
    };
    using ReplyHandler = std::function<void(const QDBusMessage& reply)>;

    void subscribe();
    void send(const QString& path, const QString& interface, const QString& method,
              const QVariantList& arguments, ReplyHandler onReply);
    void clearSnapshot();
    void fetchActiveList();
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
    bool reported(const Active& active) const;
    void fillConnection(const Active& active, char (&deviceType)[RAS_MaxDeviceType + 1],
                        char (&deviceName)[RAS_MaxDeviceName + 1]) const;
    DWORD stateOf(const Active& active) const;

    void readPhonebook();
    static void takeSettings(ProfileDetails& details, const QDBusMessage& reply);
    static void takeFlags(ProfileDetails& details, const QDBusMessage& reply);
    void settleProfile(const QString& path, const ProfileDetails& details);
    void rebuildPhonebook();
    void askProfiles(const QStringList& paths);
    void pumpProfiles();
    void fetchProfile(const QString& path);
    void fetchPhonebook();
    void setPhonebookOrder(const QStringList& paths);
    const Profile* findProfile(const char* name, bool full) const;

    void retry();
    void retryWhenAllCame();

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_watcher = nullptr;
    std::chrono::milliseconds m_phonebookTimeout{5000};
    // A stuck daemon must not pile up calls: fetches give up after this.
    std::chrono::milliseconds m_fetchTimeout{10000};
    quint64 m_busCalls = 0;
    quint64 m_fetchesSent = 0;
    quint64 m_fetchesAnswered = 0;
    // Bumped whenever the snapshot is thrown away; replies to older calls are dropped.
    quint64 m_generation = 0;
    // Bumped for each connection list a change signal brings.
    quint64 m_listVersion = 0;
    quint64 m_nextFetch = 0;
    HRASCONN m_nextHandle = 1;

    QStringList m_activeOrder;
    QHash<QString, Active> m_actives;
    QHash<QString, Device> m_devices;

    bool m_phonebookRead = false;
    std::vector<Profile> m_phonebook;
    // The listed profiles in the daemon's order; a profile whose answers are
    // still missing has no entry in m_profiles, one left out an empty one.
    QStringList m_phonebookOrder;
    bool m_phonebookListed = false;
    QHash<QString, std::optional<Profile>> m_profiles;
    QHash<QString, ProfileDetails> m_profileFetches; // asked again, answers so far
    std::deque<QString> m_profileQueue;              // to be asked again, in turn
    QSet<QString> m_profileQueued;
    bool m_phonebookDirty = false; // answers came since m_phonebook was made
    // Equal names are asked for in the phonebook's order: each gets its own
    // profile's number in turn.
    mutable QHash<QByteArray, int> m_numberTurns;

    // What failed and waits for its next try.
    bool m_retryList = false;
    bool m_retryPhonebook = false;
    QSet<QString> m_retryActives;
    QSet<QString> m_retryProfiles;
    nm::Retry* m_retry = nullptr;
};

} // namespace ras
