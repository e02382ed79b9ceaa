#pragma once
// Where there is no rasapi32.dll, its one routine that the loader needs comes
// from the installed service: "rasapi32.dll" loads and exports
// RasGetEntryPropertiesA, which forwards to rasService(). Nothing else loads.

#include "connection/Ras.h"

namespace ras {

class BuiltinLibraryLoader : public LibraryLoader {
public:
    LibraryHandle LoadLibraryA(const char* fileName) override;
    void* GetProcAddress(LibraryHandle library, const char* procName) override;
    void FreeLibrary(LibraryHandle library) override;
};

} // namespace ras
