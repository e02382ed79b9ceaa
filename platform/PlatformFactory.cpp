// Picks the Remote Access service and the library loader of the platform the
// program was built for.

#include "connection/RasServiceProvider.h"

#if defined(_WIN32)
#error "The Windows service is not built yet"
#else
#include "platform/builtin/BuiltinLibraryLoader.h"
#include "platform/builtin/EmptyRasService.h"
#endif

namespace ras {

std::shared_ptr<RasService> createPlatformRasService() {
    return std::make_shared<EmptyRasService>();
}

std::shared_ptr<LibraryLoader> createPlatformLibraryLoader() {
    return std::make_shared<BuiltinLibraryLoader>();
}

} // namespace ras
