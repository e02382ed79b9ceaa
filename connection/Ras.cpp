#include "Ras.h"

#include "RasServiceProvider.h"
#include "ZorvRasConnect.h"

namespace ras {

namespace {

struct LoaderSlot {
    std::shared_ptr<LibraryLoader> loader;
    RasLoaderState state;

    ~LoaderSlot() { release(); }

    void release() {
        if (loader && state.RasLoaded && state.RasFromRnaph)
            loader->FreeLibrary(state.RasLibrary);
        state = RasLoaderState{};
    }
};

LoaderSlot& slot() {
    static LoaderSlot s;
    return s;
}

[[noreturn]] void fail(const std::string& text) {
    throw RasError(text);
}

} // namespace

const RasLoaderState& rasLoaderState() {
    return slot().state;
}

void setLibraryLoader(std::shared_ptr<LibraryLoader> loader) {
    auto& s = slot();
    s.release();
    s.loader = std::move(loader);
}

LibraryLoader& libraryLoader() {
    auto& s = slot();
    if (!s.loader)
        s.loader = createPlatformLibraryLoader();
    return *s.loader;
}

void* GetRasFunction(const std::string& name) {
    LibraryLoader& loader = libraryLoader();
    RasLoaderState& st = slot().state;
    const std::string suffixed = name + "A";

    if (!st.RasLoaded) {
        st.RasLibrary = loader.LoadLibraryA("rasapi32.dll");
        if (!st.RasLibrary)
            fail("Error opening rasapi32.dll");
        if (void* proc = loader.GetProcAddress(st.RasLibrary, suffixed.c_str())) {
            st.RasLoaded = true;
            return proc;
        }
        st.RasLibrary = loader.LoadLibraryA("rnaph.dll");
        if (!st.RasLibrary)
            fail("Error opening rnaph.dll");
        if (void* proc = loader.GetProcAddress(st.RasLibrary, name.c_str())) {
            st.RasLoaded = true;
            st.RasFromRnaph = true;
            return proc;
        }
        fail("Function " + name + " not found!");
    }

    const std::string& lookup = st.RasFromRnaph ? name : suffixed;
    if (void* proc = loader.GetProcAddress(st.RasLibrary, lookup.c_str()))
        return proc;
    fail("Function " + name + " not found!");
}

DWORD RasGetEntryProperties(const char* phonebook, const char* entryName, RASENTRYA* entry,
                            DWORD* entrySize, void* deviceInfo, DWORD* deviceInfoSize) {
    auto proc =
        reinterpret_cast<RasGetEntryPropertiesProc>(GetRasFunction("RasGetEntryProperties"));
    return proc(phonebook, entryName, entry, entrySize, deviceInfo, deviceInfoSize);
}

void finalizeRas() {
    slot().release();
}

} // namespace ras
