// Start-up read of the phonebook from NetworkManager (python-dbusmock on a
// private bus with the system bus's pending-reply limit).
#include "../tests/core/NmMockBus.h"

#include "platform/networkmanager/NetworkManagerRasService.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_ReadPhonebook(benchmark::State& state) {
    if (!NmMockBus::available()) {
        state.SkipWithError("/usr/bin/python3 -m dbusmock is not available");
        return;
    }
    NmMockBus mock;
    if (!mock.startBus(128) || !mock.startMock()) {
        state.SkipWithError("could not start the mock");
        return;
    }
    const int profiles = static_cast<int>(state.range(0));
    for (int i = 0; i < profiles; ++i)
        mock.addProfile(QStringLiteral("Profile %1").arg(i), "gsm",
                        QStringLiteral("555-%1").arg(i));
    const QString name = QStringLiteral("bench-client");
    {
        QDBusConnection bus = mock.connect(name);
        for (auto _ : state) {
            ras::NetworkManagerRasService service(bus);
            ras::DWORD size = 0, count = 0;
            service.RasEnumEntriesA(nullptr, nullptr, nullptr, &size, &count);
            std::vector<ras::RASENTRYNAMEA> buffer(size / ras::kEntryNameSize + 1);
            buffer[0].dwSize = ras::kEntryNameSize;
            service.RasEnumEntriesA(nullptr, nullptr, buffer.data(), &size, &count);
            if (count != ras::DWORD(profiles))
                state.SkipWithError("profiles missing");
            benchmark::DoNotOptimize(buffer.data());
        }
    }
    QDBusConnection::disconnectFromBus(name);
}
BENCHMARK(BM_ReadPhonebook)->Arg(10)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
