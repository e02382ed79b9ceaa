// One counted minute on ledgers of growing size, on disk and with every
// write flushed (fsync of the file and its folder), as in the program.

#include "accounting/Statistics.h"
#include "accounting/unitUtils.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

std::string makeLedger(int sections) {
    char dirTemplate[] = "/tmp/bench_ledger-XXXXXX";
    const char* dir = ::mkdtemp(dirTemplate);
    if (!dir)
        std::abort();
    const std::string path = std::string(dir) + "/Vantrel Data.ini";
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < sections; ++i)
        out << "[Dial-up entry " << i << "]\nMinutes=" << i % 60
            << "\nHours=3\nWarnHourCount=10\nWarnOverTime=1\n";
    return path;
}

void BM_AddMinute(benchmark::State& state) {
    const int sections = static_cast<int>(state.range(0));
    const std::string path = makeLedger(sections);
    IniFile ini(path);
    // The last section: every read scans the whole file.
    const QString entry = QString("Dial-up entry %1").arg(sections - 1);
    for (auto _ : state)
        AddMinute(ini, entry);
    state.counters["file_bytes"] =
        static_cast<double>(std::ifstream(path).seekg(0, std::ios::end).tellg());
    ::unlink(path.c_str());
    ::rmdir(path.substr(0, path.rfind('/')).c_str());
}

// The window as the minute tick sees it; nothing is drawn.
class TickView : public StatisticsView {
public:
    explicit TickView(QString entry) : m_entry(std::move(entry)) {}
    bool selectedEntry(QString& name) const override {
        name = m_entry;
        return true;
    }
    void setTotalTimeText(const QString& text) override { m_total = text; }
    void setWarnLimitPosition(std::int16_t) override {}
    void setWarnOverTimeChecked(bool) override {}
    bool isConnected() const override { return true; }
    QString connectedEntry() const override { return m_entry; }
    void showOverTimeWarning(const QString&, const QString&) override { ++warnings; }
    void showFirstOfMonthNotification(const QString&) override {}
    int warnings = 0;

private:
    QString m_entry;
    QString m_total;
};

// One whole minute tick: count, refresh the statistics, apply the overtime rule.
void BM_MinuteTick(benchmark::State& state) {
    const int sections = static_cast<int>(state.range(0));
    const std::string path = makeLedger(sections);
    IniFile ini(path);
    TickView view(QString("Dial-up entry %1").arg(sections - 1));
    for (auto _ : state) {
        AddMinute(ini, view.connectedEntry());
        RefreshStatistics(view, ini);
        CheckOverTime(view, ini);
    }
    ::unlink(path.c_str());
    ::rmdir(path.substr(0, path.rfind('/')).c_str());
}

} // namespace

BENCHMARK(BM_MinuteTick)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(BM_AddMinute)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
