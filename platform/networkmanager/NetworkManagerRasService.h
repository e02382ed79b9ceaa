#pragma once
// The Remote Access service on NetworkManager's D-Bus API. Saved profiles are
// the phonebook, active connections are the connections.
//
// The monitor polls from the GUI thread every 500 ms, so the answers come from
// an in-memory snapshot; NetworkManager's change signals keep it current and
// only what they announce is fetched, asynchronously. Nothing is sent to the
// bus while nothing changes. The one blocking read is the phonebook's, once,
// under an overall deadline.
//
// This class only puts the parts together and follows the daemon coming and
// going:
//   NmLink      the calls to the daemon, their counts and the back-off
//   NmValues    typed reading of the values and replies it sends
//   NmSnapshot  active connections and their devices, kept by change signals
//   NmPhonebook saved profiles, their settings and flags
//   NmAnswers   the seam's records, filled from the snapshot and the phonebook
//   NmMapping   NetworkManager's states and kinds in the seam's terms

#include "NmCounters.h"
#include "NmLink.h"
#include "NmPhonebook.h"
#include "NmSnapshot.h"
#include "connection/RasApi.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <chrono>
#include <string>

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
    // From the kernel's interface counters, not NetworkManager's own
    // statistics, which need a privileged write of their refresh rate.
    DWORD GetConnectionBytes(HRASCONN connection, ConnectionBytes* bytes) override;
    // Where the interfaces' counters are read; tests give a tree of their own.
    void setCountersRoot(std::string root) { m_countersRoot = std::move(root); }

    // Every change signal, answer and appearance or loss of the daemon is reported.
    bool ReportsChanges() const override { return true; }

    // The active connections and their devices (interface names included).
    const nm::Snapshot& snapshot() const { return m_snapshot; }

    // How long the one-time phonebook read may hold up its caller in all.
    void setPhonebookTimeout(std::chrono::milliseconds timeout) { m_phonebook.setTimeout(timeout); }
    // Calls sent to NetworkManager so far (diagnostics: idle must mean none).
    quint64 busCallCount() const { return m_link.busCalls(); }
    // Asynchronous calls whose answers have not been handled yet.
    quint64 fetchesInFlight() const { return m_link.inFlight(); }
    // How long an asynchronous fetch waits for its answer.
    void setFetchTimeout(std::chrono::milliseconds timeout) { m_link.setFetchTimeout(timeout); }
    // The back-off for fetches that failed (1 s doubling up to 30 s).
    void setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds most) {
        m_link.setRetryDelays(first, most);
    }
    // Whether a failed fetch waits for its next try.
    bool retryScheduled() const { return m_link.retryScheduled(); }

private slots:
    void onOwnerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);

private:
    void retry();

    // The link first: the snapshot and the phonebook send through it, and its
    // calls in flight are let go last.
    nm::Link m_link;
    nm::Snapshot m_snapshot;
    nm::Phonebook m_phonebook;
    QDBusServiceWatcher* m_watcher = nullptr;
    std::string m_countersRoot = nm::kSysClassNet;
};

} // namespace ras
