#pragma once
// A scripted Remote Access service and library loader for tests and benchmarks.
// Everything is public and may change between two polls.

#include "connection/Ras.h"
#include "connection/RasApi.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ras {

class FakeRasService : public RasService {
public:
    struct Entry {
        std::string name;
        std::string number;
        DWORD firstCallResult = ERROR_BUFFER_TOO_SMALL; // the size query
        DWORD neededSize = kEntrySize;                  // written back with the first call
        DWORD secondCallResult = SUCCESS;               // the record query
    };
    struct Connection {
        HRASCONN handle = 1;
        std::string entryName;
        std::string deviceType;
        std::string deviceName;
        DWORD state = RASCS_Connected;
        DWORD statusResult = SUCCESS;         // what RasGetConnectStatusA answers
        bool writeState = true;               // false: the query leaves the record untouched
        std::optional<ConnectionBytes> bytes; // none: "no counters"
    };

    std::vector<Entry> entries;
    std::vector<Connection> connections;

    // Answers to successive RasEnumEntriesA calls; when exhausted, the natural
    // answer (603 with the needed size when the buffer is too small, else 0).
    std::vector<DWORD> enumEntriesResults;
    std::optional<DWORD> neededEntriesSize; // the size written back with a scripted 603
    std::optional<DWORD> claimedEntryCount; // a count beyond the records written
    std::optional<DWORD> enumConnectionsResult;

    // Change reports: off by default, so that the fake is polled like a
    // service that cannot report them. announceChange() is the report.
    bool reportsChanges = false;
    bool ReportsChanges() const override { return reportsChanges; }
    void announceChange() { ReportChange(); }
    // Runs inside RasEnumConnectionsA, before it answers.
    std::function<void()> duringEnumConnections;

    // What the calls saw.
    struct EnumEntriesCall {
        DWORD bufferSize;
        DWORD firstDwSize;
        bool bufferZeroed; // every byte after the first dwSize was zero
    };
    std::vector<EnumEntriesCall> enumEntriesCalls;
    int enumConnectionsCalls = 0;
    int connectStatusCalls = 0;
    std::vector<std::string> entryPropertiesCalls; // entry names, one per call
    std::vector<HRASCONN> bytesCalls;

    DWORD RasEnumEntriesA(const char* reserved, const char* phonebook, RASENTRYNAMEA* buffer,
                          DWORD* bufferSize, DWORD* entryCount) override;
    DWORD RasEnumConnectionsA(RASCONNA* buffer, DWORD* bufferSize, DWORD* connectionCount) override;
    DWORD RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status) override;
    DWORD RasGetEntryPropertiesA(const char* phonebook, const char* entryName, RASENTRYA* entry,
                                 DWORD* entrySize, void* deviceInfo,
                                 DWORD* deviceInfoSize) override;
    DWORD GetConnectionBytes(HRASCONN connection, ConnectionBytes* bytes) override;

private:
    std::map<std::string, int> m_recordCursor; // duplicate names answer in phonebook order
};

// Libraries by file name, each with the routine names it exports. Every
// exported routine forwards to the installed service's RasGetEntryPropertiesA.
class FakeLibraryLoader : public LibraryLoader {
public:
    std::map<std::string, std::set<std::string>> libraries;
    std::vector<std::string> loadCalls;
    std::vector<std::string> procCalls;
    std::vector<std::string> freeCalls;

    // rasapi32.dll exporting RasGetEntryPropertiesA, as on any current system.
    static FakeLibraryLoader withRasapi32();

    LibraryHandle LoadLibraryA(const char* fileName) override;
    void* GetProcAddress(LibraryHandle library, const char* procName) override;
    void FreeLibrary(LibraryHandle library) override;

private:
    std::vector<std::string> m_handles; // handle = index + 1
};

} // namespace ras
