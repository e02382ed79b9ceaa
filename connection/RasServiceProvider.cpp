#include "RasServiceProvider.h"

namespace ras {

namespace {
std::shared_ptr<RasService>& current() {
    static std::shared_ptr<RasService> service;
    return service;
}
} // namespace

std::shared_ptr<RasService> rasServicePtr() {
    auto& service = current();
    if (!service)
        service = createPlatformRasService();
    return service;
}

RasService& rasService() {
    return *rasServicePtr();
}

void setRasService(std::shared_ptr<RasService> service) {
    current() = std::move(service);
}

} // namespace ras
