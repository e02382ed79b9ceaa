#include "BuiltinLibraryLoader.h"

#include "connection/RasServiceProvider.h"

#include <cstring>

namespace ras {

namespace {
int g_rasapi32; // its address is the handle of the built-in "rasapi32.dll"

DWORD forwardGetEntryProperties(const char* phonebook, const char* entryName, RASENTRYA* entry,
                                DWORD* entrySize, void* deviceInfo, DWORD* deviceInfoSize) {
    return rasService().RasGetEntryPropertiesA(phonebook, entryName, entry, entrySize, deviceInfo,
                                               deviceInfoSize);
}
} // namespace

LibraryHandle BuiltinLibraryLoader::LoadLibraryA(const char* fileName) {
    if (fileName && std::strcmp(fileName, "rasapi32.dll") == 0)
        return &g_rasapi32;
    return nullptr;
}

void* BuiltinLibraryLoader::GetProcAddress(LibraryHandle library, const char* procName) {
    if (library == &g_rasapi32 && procName && std::strcmp(procName, "RasGetEntryPropertiesA") == 0)
        return reinterpret_cast<void*>(&forwardGetEntryProperties);
    return nullptr;
}

void BuiltinLibraryLoader::FreeLibrary(LibraryHandle) {}

} // namespace ras
