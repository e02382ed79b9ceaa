#include "FakeRasService.h"

#include "connection/RasServiceProvider.h"

#include <algorithm>
#include <cstring>

namespace ras {

namespace {
template <std::size_t N> void copyField(char (&field)[N], const std::string& text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

DWORD forward(const char* phonebook, const char* entryName, RASENTRYA* entry, DWORD* entrySize,
              void* deviceInfo, DWORD* deviceInfoSize) {
    return rasService().RasGetEntryPropertiesA(phonebook, entryName, entry, entrySize, deviceInfo,
                                               deviceInfoSize);
}
} // namespace

DWORD FakeRasService::RasEnumEntriesA(const char*, const char*, RASENTRYNAMEA* buffer,
                                      DWORD* bufferSize, DWORD* entryCount) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
    bool zeroed = std::all_of(bytes + sizeof(DWORD), bytes + *bufferSize,
                              [](unsigned char b) { return b == 0; });
    enumEntriesCalls.push_back({*bufferSize, buffer->dwSize, zeroed});
    const std::size_t call = enumEntriesCalls.size() - 1;

    const DWORD needed = static_cast<DWORD>(entries.size() * kEntryNameSize);
    DWORD result;
    if (call < enumEntriesResults.size())
        result = enumEntriesResults[call];
    else
        result = needed > *bufferSize ? ERROR_BUFFER_TOO_SMALL : SUCCESS;

    if (result == ERROR_BUFFER_TOO_SMALL) {
        *bufferSize = neededEntriesSize.value_or(needed);
        return result;
    }
    if (result != SUCCESS)
        return result;
    const std::size_t room = *bufferSize / kEntryNameSize;
    const std::size_t n = std::min(room, entries.size());
    for (std::size_t i = 0; i < n; ++i) {
        buffer[i].dwSize = kEntryNameSize;
        copyField(buffer[i].szEntryName, entries[i].name);
    }
    *entryCount = claimedEntryCount.value_or(static_cast<DWORD>(n));
    return SUCCESS;
}

DWORD FakeRasService::RasEnumConnectionsA(RASCONNA* buffer, DWORD* bufferSize,
                                          DWORD* connectionCount) {
    ++enumConnectionsCalls;
    if (duringEnumConnections)
        duringEnumConnections();
    if (enumConnectionsResult)
        return *enumConnectionsResult;
    const DWORD needed = static_cast<DWORD>(connections.size() * kConnSize);
    if (needed > *bufferSize) {
        *bufferSize = needed;
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (std::size_t i = 0; i < connections.size(); ++i) {
        RASCONNA& rec = buffer[i];
        rec.dwSize = kConnSize;
        rec.hrasconn = connections[i].handle;
        copyField(rec.szEntryName, connections[i].entryName);
        copyField(rec.szDeviceType, connections[i].deviceType);
        copyField(rec.szDeviceName, connections[i].deviceName);
    }
    *connectionCount = static_cast<DWORD>(connections.size());
    return SUCCESS;
}

DWORD FakeRasService::RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status) {
    ++connectStatusCalls;
    for (const Connection& c : connections) {
        if (c.handle != connection)
            continue;
        if (c.writeState)
            status->rasconnstate = c.state;
        return c.statusResult;
    }
    return ERROR_INVALID_HANDLE;
}

DWORD FakeRasService::GetConnectionBytes(HRASCONN connection, ConnectionBytes* bytes) {
    bytesCalls.push_back(connection);
    for (const Connection& c : connections) {
        if (c.handle != connection)
            continue;
        if (!c.bytes)
            return ERROR_NOT_SUPPORTED;
        *bytes = *c.bytes;
        return SUCCESS;
    }
    return ERROR_INVALID_HANDLE;
}

DWORD FakeRasService::RasGetEntryPropertiesA(const char*, const char* entryName, RASENTRYA* entry,
                                             DWORD* entrySize, void*, DWORD*) {
    const std::string name = entryName ? entryName : "";
    entryPropertiesCalls.push_back(name);
    std::vector<const Entry*> matches;
    for (const Entry& e : entries)
        if (e.name == name)
            matches.push_back(&e);
    if (matches.empty())
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;

    if (!entry) {
        const Entry& e = *matches[std::min<std::size_t>(m_recordCursor[name], matches.size() - 1)];
        *entrySize = e.neededSize;
        return e.firstCallResult;
    }
    int& cursor = m_recordCursor[name];
    const Entry& e = *matches[std::min<std::size_t>(cursor, matches.size() - 1)];
    ++cursor;
    if (e.secondCallResult != SUCCESS)
        return e.secondCallResult;
    copyField(entry->szLocalPhoneNumber, e.number);
    return SUCCESS;
}

FakeLibraryLoader FakeLibraryLoader::withRasapi32() {
    FakeLibraryLoader loader;
    loader.libraries["rasapi32.dll"] = {"RasGetEntryPropertiesA"};
    return loader;
}

LibraryHandle FakeLibraryLoader::LoadLibraryA(const char* fileName) {
    const std::string name = fileName ? fileName : "";
    loadCalls.push_back(name);
    if (!libraries.count(name))
        return nullptr;
    m_handles.push_back(name);
    // NOLINTNEXTLINE(performance-no-int-to-ptr): a fake handle is an index, never dereferenced
    return reinterpret_cast<LibraryHandle>(m_handles.size());
}

void* FakeLibraryLoader::GetProcAddress(LibraryHandle library, const char* procName) {
    const std::string proc = procName ? procName : "";
    procCalls.push_back(proc);
    const auto index = reinterpret_cast<std::size_t>(library);
    if (index == 0 || index > m_handles.size())
        return nullptr;
    const auto it = libraries.find(m_handles[index - 1]);
    if (it == libraries.end() || !it->second.count(proc))
        return nullptr;
    return reinterpret_cast<void*>(&forward);
}

void FakeLibraryLoader::FreeLibrary(LibraryHandle library) {
    const auto index = reinterpret_cast<std::size_t>(library);
    freeCalls.push_back(index && index <= m_handles.size() ? m_handles[index - 1] : "?");
}

} // namespace ras
