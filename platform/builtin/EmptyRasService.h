#pragma once
// A service with no phonebook and no connections, for platforms where no
// connection manager is reachable.

#include "connection/RasApi.h"

namespace ras {

class EmptyRasService : public RasService {
public:
    DWORD RasEnumEntriesA(const char*, const char*, RASENTRYNAMEA*, DWORD*,
                          DWORD* entryCount) override {
        if (entryCount)
            *entryCount = 0;
        return SUCCESS;
    }
    DWORD RasEnumConnectionsA(RASCONNA*, DWORD*, DWORD* connectionCount) override {
        if (connectionCount)
            *connectionCount = 0;
        return SUCCESS;
    }
    DWORD RasGetConnectStatusA(HRASCONN, RASCONNSTATUSA*) override { return ERROR_INVALID_HANDLE; }
    DWORD RasGetEntryPropertiesA(const char*, const char*, RASENTRYA*, DWORD*, void*,
                                 DWORD*) override {
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    }
    DWORD GetConnectionBytes(HRASCONN, ConnectionBytes*) override { return ERROR_NOT_SUPPORTED; }
};

} // namespace ras
