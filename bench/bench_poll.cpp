// One poll of the connection monitor against the scripted service.
#include "connection/RasServiceProvider.h"
#include "connection/ZorvRasConnect.h"
#include "platform/fake/FakeRasService.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

void BM_Poll(benchmark::State& state) {
    const int connections = static_cast<int>(state.range(0));
    const int entries = static_cast<int>(state.range(1));
    auto service = std::make_shared<ras::FakeRasService>();
    for (int i = 0; i < entries; ++i)
        service->entries.push_back({"Entry " + std::to_string(i), "555-" + std::to_string(i)});
    for (int i = 0; i < connections; ++i) {
        ras::FakeRasService::Connection c;
        c.handle = static_cast<ras::HRASCONN>(i + 1);
        c.entryName = "Entry " + std::to_string(i);
        c.deviceType = "modem";
        c.deviceName = "ttyACM" + std::to_string(i);
        c.state = ras::RASCS_Connected;
        service->connections.push_back(c);
    }
    ras::setRasService(service);
    ras::setLibraryLoader(
        std::make_shared<ras::FakeLibraryLoader>(ras::FakeLibraryLoader::withRasapi32()));
    TZorvRasConnect::setFormTest([](const QObject*) { return true; });
    QObject form;
    TZorvRasConnect monitor(&form);
    monitor.setLanguage(english);
    for (auto _ : state)
        monitor.TimerTick(nullptr);
    ras::setRasService(nullptr);
    ras::setLibraryLoader(nullptr);
}
BENCHMARK(BM_Poll)
    ->Args({0, 10})
    ->Args({1, 10})
    ->Args({20, 20})
    ->Args({20, 1000})
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
