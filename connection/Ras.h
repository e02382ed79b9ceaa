#pragma once
// Run-time loader of the entry-properties routine. The routine is looked up in
// "rasapi32.dll" as RasGetEntryPropertiesA, or, where that library lacks it, in
// "rnaph.dll" under the plain name. Libraries come from a LibraryLoader, so the
// same algorithm runs over LoadLibraryA/GetProcAddress on Windows, over the
// built-in service on Linux, and over a fake in tests.

#include "RasApi.h"

#include <memory>
#include <string>

namespace ras {

using LibraryHandle = void*;

class LibraryLoader {
public:
    virtual ~LibraryLoader() = default;
    // nullptr when the library cannot be loaded.
    virtual LibraryHandle LoadLibraryA(const char* fileName) = 0;
    // nullptr when the library has no such routine.
    virtual void* GetProcAddress(LibraryHandle library, const char* procName) = 0;
    virtual void FreeLibrary(LibraryHandle library) = 0;
};

// Process-wide state of the loader.
struct RasLoaderState {
    bool RasLoaded = false;
    bool RasFromRnaph = false;
    LibraryHandle RasLibrary = nullptr;
};
const RasLoaderState& rasLoaderState();

// Installs the loader used from now on; the previous state is released first
// (as at program end) and the flags start over. Passing nullptr installs the
// platform's own loader.
void setLibraryLoader(std::shared_ptr<LibraryLoader> loader);
LibraryLoader& libraryLoader();

// Yields the routine's address, loading a library on first use.
// Throws RasError with "Error opening rasapi32.dll", "Error opening rnaph.dll"
// or "Function <name> not found!".
void* GetRasFunction(const std::string& name);

// Looks the routine up on every call and forwards the arguments unchanged.
DWORD RasGetEntryProperties(const char* phonebook, const char* entryName, RASENTRYA* entry,
                            DWORD* entrySize, void* deviceInfo, DWORD* deviceInfoSize);

// What program end does: releases the library when it is rnaph.dll.
void finalizeRas();

} // namespace ras
