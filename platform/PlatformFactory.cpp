// Picks the Remote Access service and the library loader of the platform the
// program was built for.

#include "connection/RasServiceProvider.h"

#if defined(_WIN32)
#error "The Windows service is not built yet"
#else
#include "platform/builtin/BuiltinLibraryLoader.h"
#include "platform/builtin/EmptyRasService.h"
#include "platform/networkmanager/NetworkManagerRasService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#endif

namespace ras {

std::shared_ptr<RasService> createPlatformRasService() {
    // The D-Bus service needs the application's event loop. Without a running
    // daemon it is still the one: it finds NetworkManager when that starts.
    if (!QCoreApplication::instance())
        return std::make_shared<EmptyRasService>();
    return std::make_shared<NetworkManagerRasService>(QDBusConnection::systemBus());
}

std::shared_ptr<LibraryLoader> createPlatformLibraryLoader() {
    return std::make_shared<BuiltinLibraryLoader>();
}

} // namespace ras
