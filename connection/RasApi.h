#pragma once
// The Remote Access service as the monitor sees it: the published record
// layouts (fixed by their dwSize values) and the calls it makes. Plain C++,
// so every platform (rasapi32, NetworkManager, the test fake) can sit behind it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ras {

using DWORD = std::uint32_t;
// The 32-bit handle of the 412-byte RASCONNA layout.
using HRASCONN = std::uint32_t;

constexpr DWORD SUCCESS = 0;
constexpr DWORD ERROR_BUFFER_TOO_SMALL = 603;
// Used by service implementations for "nothing useful to say".
constexpr DWORD ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
// A connection without counters of its own (no interface, or none readable).
constexpr DWORD ERROR_NOT_SUPPORTED = 50;

constexpr std::size_t RAS_MaxEntryName = 256;
constexpr std::size_t RAS_MaxDeviceType = 16;
constexpr std::size_t RAS_MaxDeviceName = 128;
constexpr std::size_t RAS_MaxPhoneNumber = 128;
constexpr std::size_t RAS_MaxAreaCode = 10;

// RASCONNSTATE values the monitor knows by name.
enum RASCONNSTATE : DWORD {
    RASCS_OpenPort = 0,
    RASCS_PortOpened = 1,
    RASCS_ConnectDevice = 2,
    RASCS_DeviceConnected = 3,
    RASCS_AllDevicesConnected = 4,
    RASCS_Authenticate = 5,
    RASCS_AuthNotify = 6,
    RASCS_Authenticated = 14,
    RASCS_Projected = 18,
    RASCS_StartAuthentication = 19,
    RASCS_LogonNetwork = 21,
    RASCS_Interactive = 0x1000,
    RASCS_Connected = 0x2000,
    RASCS_Disconnected = 0x2001,
};

struct RASENTRYNAMEA {
    DWORD dwSize;
    char szEntryName[RAS_MaxEntryName + 1];
};
static_assert(sizeof(RASENTRYNAMEA) == 264);
static_assert(offsetof(RASENTRYNAMEA, szEntryName) == 4);

struct RASCONNA {
    DWORD dwSize;
    HRASCONN hrasconn;
    char szEntryName[RAS_MaxEntryName + 1];
    char szDeviceType[RAS_MaxDeviceType + 1];
    char szDeviceName[RAS_MaxDeviceName + 1];
};
static_assert(sizeof(RASCONNA) == 412);
static_assert(offsetof(RASCONNA, hrasconn) == 4);
static_assert(offsetof(RASCONNA, szEntryName) == 8);
static_assert(offsetof(RASCONNA, szDeviceType) == 265);
static_assert(offsetof(RASCONNA, szDeviceName) == 282);

struct RASCONNSTATUSA {
    DWORD dwSize;
    DWORD rasconnstate;
    DWORD dwError;
    char szDeviceType[RAS_MaxDeviceType + 1];
    char szDeviceName[RAS_MaxDeviceName + 1];
};
static_assert(sizeof(RASCONNSTATUSA) == 160);
static_assert(offsetof(RASCONNSTATUSA, rasconnstate) == 4);

// Only szLocalPhoneNumber is read; the rest of the 1768-byte record is kept
// opaque so the size matches what the service expects.
struct RASENTRYA {
    DWORD dwSize;
    DWORD dwfOptions;
    DWORD dwCountryID;
    DWORD dwCountryCode;
    char szAreaCode[RAS_MaxAreaCode + 1];
    char szLocalPhoneNumber[RAS_MaxPhoneNumber + 1];
    unsigned char rest[1768 - 156];
};
static_assert(sizeof(RASENTRYA) == 1768);
static_assert(offsetof(RASENTRYA, szLocalPhoneNumber) == 27);

constexpr DWORD kEntryNameSize = sizeof(RASENTRYNAMEA);
constexpr DWORD kConnSize = sizeof(RASCONNA);
constexpr DWORD kConnStatusSize = sizeof(RASCONNSTATUSA);
constexpr DWORD kEntrySize = sizeof(RASENTRYA);

// A connection's traffic so far, in bytes. Not a Remote Access record: on
// Windows the RAS statistics record holds only 32-bit byte counts, which a
// fast link wraps in well under a minute, so a Windows service would take the
// connection's interface counters (64-bit) instead.
struct ConnectionBytes {
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
    // Where the counts come from (an interface's name): counts from another
    // source are never subtracted from these.
    std::string source;
    // That source's incarnation (an interface index): a source made anew
    // under the same name starts counting from zero again.
    std::uint64_t instance = 0;
};

// Signature of the entry-properties routine as the loader hands it out.
using RasGetEntryPropertiesProc = DWORD (*)(const char* phonebook, const char* entryName,
                                            RASENTRYA* entry, DWORD* entrySize, void* deviceInfo,
                                            DWORD* deviceInfoSize);

// The three calls the monitor makes directly. Each must return promptly: they
// are called from the GUI thread every 500 ms.
class RasService {
public:
    virtual ~RasService() = default;

    // buffer holds *bufferSize bytes of RASENTRYNAMEA records, the first with
    // dwSize set. 603 writes the needed size back into *bufferSize.
    virtual DWORD RasEnumEntriesA(const char* reserved, const char* phonebook,
                                  RASENTRYNAMEA* buffer, DWORD* bufferSize, DWORD* entryCount) = 0;
    virtual DWORD RasEnumConnectionsA(RASCONNA* buffer, DWORD* bufferSize,
                                      DWORD* connectionCount) = 0;
    virtual DWORD RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status) = 0;

    // The routine the loader's "rasapi32.dll" exports as RasGetEntryPropertiesA
    // where the platform has no such library (see Ras.h).
    virtual DWORD RasGetEntryPropertiesA(const char* phonebook, const char* entryName,
                                         RASENTRYA* entry, DWORD* entrySize, void* deviceInfo,
                                         DWORD* deviceInfoSize) = 0;

    // The byte counters of a connection the service listed. Anything but
    // SUCCESS means "no counters" for this sample; it is never an error to
    // show. Called once a minute from the GUI thread, so it must not block.
    virtual DWORD GetConnectionBytes(HRASCONN connection, ConnectionBytes* bytes) {
        (void)connection;
        (void)bytes;
        return ERROR_NOT_SUPPORTED;
    }

    // Change reports, for services that learn of changes themselves (change
    // signals, a connection-notification handle), so that the monitor need not
    // poll while nothing changes. A service that answers false here is polled.
    // A service that answers true calls its listeners after anything that may
    // change what the calls above answer, on the thread that polls, possibly
    // during one of those calls.
    virtual bool ReportsChanges() const { return false; }

    using ChangeListener = std::function<void()>;
    int AddChangeListener(ChangeListener listener) {
        m_changeListeners.emplace_back(++m_lastListener, std::move(listener));
        return m_lastListener;
    }
    void RemoveChangeListener(int id) {
        for (auto it = m_changeListeners.begin(); it != m_changeListeners.end(); ++it) {
            if (it->first == id) {
                m_changeListeners.erase(it);
                return;
            }
        }
    }

protected:
    void ReportChange() {
        // A copy: a listener may add or remove listeners.
        const auto listeners = m_changeListeners;
        for (const auto& listener : listeners)
            listener.second();
    }

private:
    std::vector<std::pair<int, ChangeListener>> m_changeListeners;
    int m_lastListener = 0;
};

// Copies a zero-terminated text field of at most `size` bytes.
template <std::size_t N> inline std::size_t fieldLength(const char (&field)[N]) {
    std::size_t n = 0;
    while (n < N && field[n] != '\0')
        ++n;
    return n;
}

} // namespace ras
