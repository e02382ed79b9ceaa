#pragma once
// The process-wide Remote Access service. The platform factory installs the
// real one at start; tests install a fake.

#include "RasApi.h"

#include <memory>

namespace ras {

class LibraryLoader;

// Never null: before anything is installed, the platform's service is created
// on first use (see platform/PlatformFactory.cpp).
RasService& rasService();
std::shared_ptr<RasService> rasServicePtr();

// nullptr goes back to the platform's service.
void setRasService(std::shared_ptr<RasService> service);

// Platform factory, one implementation per platform (chosen by CMake).
std::shared_ptr<RasService> createPlatformRasService();
std::shared_ptr<LibraryLoader> createPlatformLibraryLoader();

} // namespace ras
