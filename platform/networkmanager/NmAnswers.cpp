#include "NmAnswers.h"

#include "NmCounters.h"
#include "NmMapping.h"
#include "NmPhonebook.h"
#include "NmSnapshot.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace ras::nm {

namespace {

constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INVALID_SIZE = 632;

// Connections still being read, the loopback and those NetworkManager merely
// found on the system are not shown.
bool reported(const Snapshot::Active& active) {
    if (!active.ready)
        return false;
    if (active.type == QLatin1String("loopback"))
        return false;
    return !active.profileExternal && !(active.stateFlags & kActivationFlagExternal);
}

void fillConnection(const Snapshot& snapshot, const Snapshot::Active& active,
                    char (&deviceType)[RAS_MaxDeviceType + 1],
                    char (&deviceName)[RAS_MaxDeviceName + 1]) {
    const Snapshot::Device* device = snapshot.deviceOf(active);
    const char* type = nullptr;
    if (active.vpn || isVpnType(active.type))
        type = "vpn";
    else if (device && device->type)
        type = deviceTypeName(*device->type);
    else
        type = connectionTypeName(active.type);
    if (!*type)
        type = "unknown";
    copyField(deviceType, QByteArray(type));
    copyField(deviceName, device ? device->interfaceName : QByteArray());
}

DWORD stateOf(const Snapshot& snapshot, const Snapshot::Active& active) {
    std::optional<DWORD> deviceState;
    if (const Snapshot::Device* device = snapshot.deviceOf(active))
        deviceState = device->state;
    return rasState(active.state, deviceState);
}

} // namespace

DWORD enumConnections(const Snapshot& snapshot, RASCONNA* buffer, DWORD* bufferSize,
                      DWORD* connectionCount) {
    if (!bufferSize || !connectionCount)
        return ERROR_INVALID_PARAMETER;
    if (buffer && buffer->dwSize != kConnSize)
        return ERROR_INVALID_SIZE;
    DWORD count = 0;
    for (const QString& path : snapshot.order()) {
        if (reported(snapshot.active(path)))
            ++count;
    }
    const auto needed = static_cast<std::uint64_t>(count) * kConnSize;
    if (!buffer || *bufferSize < needed) {
        *bufferSize = static_cast<DWORD>(needed);
        *connectionCount = count;
        return count == 0 && !buffer ? SUCCESS : ERROR_BUFFER_TOO_SMALL;
    }
    DWORD i = 0;
    for (const QString& path : snapshot.order()) {
        const Snapshot::Active& active = snapshot.active(path);
        if (!reported(active))
            continue;
        RASCONNA& record = buffer[i++];
        record.dwSize = kConnSize;
        record.hrasconn = active.handle;
        copyField(record.szEntryName, active.id);
        fillConnection(snapshot, active, record.szDeviceType, record.szDeviceName);
    }
    *bufferSize = static_cast<DWORD>(needed);
    *connectionCount = count;
    return SUCCESS;
}

DWORD connectStatus(const Snapshot& snapshot, HRASCONN connection, RASCONNSTATUSA* status) {
    if (!status)
        return ERROR_INVALID_PARAMETER;
    for (const QString& path : snapshot.order()) {
        const Snapshot::Active& active = snapshot.active(path);
        if (active.handle != connection || !reported(active))
            continue;
        if (status->dwSize != kConnStatusSize)
            return ERROR_INVALID_SIZE;
        status->rasconnstate = stateOf(snapshot, active);
        status->dwError = 0;
        fillConnection(snapshot, active, status->szDeviceType, status->szDeviceName);
        return SUCCESS;
    }
    return ERROR_INVALID_HANDLE;
}

DWORD connectionBytes(const Snapshot& snapshot, const std::string& root, HRASCONN connection,
                      ConnectionBytes* bytes) {
    if (!bytes)
        return ERROR_INVALID_PARAMETER;
    for (const QString& path : snapshot.order()) {
        const Snapshot::Active& active = snapshot.active(path);
        if (active.handle != connection || !reported(active))
            continue;
        const Snapshot::Device* device = snapshot.deviceOf(active);
        if (!device || active.vpn || active.type == QLatin1String("vpn"))
            return ERROR_NOT_SUPPORTED;
        const QByteArray& name =
            device->ipInterface.isEmpty() ? device->interfaceName : device->ipInterface;
        return readInterfaceBytes(root, std::string_view(name.constData(), name.size()), *bytes)
                   ? SUCCESS
                   : ERROR_NOT_SUPPORTED;
    }
    return ERROR_INVALID_HANDLE;
}

DWORD enumEntries(Phonebook& phonebook, RASENTRYNAMEA* buffer, DWORD* bufferSize,
                  DWORD* entryCount) {
    if (!bufferSize || !entryCount)
        return ERROR_INVALID_PARAMETER;
    if (buffer && buffer->dwSize != kEntryNameSize)
        return ERROR_INVALID_SIZE;
    const std::vector<Phonebook::Profile>& entries = phonebook.entries();
    const auto count = static_cast<DWORD>(entries.size());
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
        copyField(buffer[i].szEntryName, entries[i].name);
    }
    *bufferSize = static_cast<DWORD>(needed);
    *entryCount = count;
    return SUCCESS;
}

DWORD entryProperties(Phonebook& phonebook, const char* entryName, RASENTRYA* entry,
                      DWORD* entrySize, DWORD* deviceInfoSize) {
    if (!entrySize)
        return ERROR_INVALID_PARAMETER;
    phonebook.entries();
    const Phonebook::Profile* profile = phonebook.find(entryName, false);
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
    profile = phonebook.find(entryName, true);
    std::memset(reinterpret_cast<char*>(entry) + sizeof(entry->dwSize), 0,
                kEntrySize - sizeof(entry->dwSize));
    copyField(entry->szLocalPhoneNumber, profile->number);
    *entrySize = kEntrySize;
    return SUCCESS;
}

} // namespace ras::nm
