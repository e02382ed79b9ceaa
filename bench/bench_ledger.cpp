// One counted minute on ledgers of growing size, on disk and with every
// write flushed (fsync of the file and its folder), as in the program.

#include "accounting/DataPlans.h"
#include "accounting/Statistics.h"
#include "accounting/unitUtils.h"
#include "connection/ByteCounting.h"
#include "platform/networkmanager/NmCounters.h"

#include <benchmark/benchmark.h>

#include <cstdio>
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
    std::string path = std::string(dir) + "/Vantrel Data.ini";
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

// A connection on the loopback interface, its counters read from sysfs as
// the NetworkManager service reads them.
class LoopbackService : public ras::RasService {
public:
    ras::DWORD RasEnumEntriesA(const char*, const char*, ras::RASENTRYNAMEA*, ras::DWORD*,
                               ras::DWORD* count) override {
        *count = 0;
        return ras::SUCCESS;
    }
    ras::DWORD RasEnumConnectionsA(ras::RASCONNA* buffer, ras::DWORD*, ras::DWORD* count) override {
        buffer[0].dwSize = ras::kConnSize;
        buffer[0].hrasconn = 1;
        std::snprintf(buffer[0].szEntryName, sizeof buffer[0].szEntryName, "%s", entry.c_str());
        *count = 1;
        return ras::SUCCESS;
    }
    ras::DWORD RasGetConnectStatusA(ras::HRASCONN, ras::RASCONNSTATUSA*) override {
        return ras::SUCCESS;
    }
    ras::DWORD RasGetEntryPropertiesA(const char*, const char*, ras::RASENTRYA*, ras::DWORD*, void*,
                                      ras::DWORD*) override {
        return ras::ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    }
    ras::DWORD GetConnectionBytes(ras::HRASCONN, ras::ConnectionBytes* bytes) override {
        return ras::nm::readInterfaceBytes(ras::nm::kSysClassNet, "lo", *bytes)
                   ? ras::SUCCESS
                   : ras::ERROR_NOT_SUPPORTED;
    }
    std::string entry;
};

// The same tick with the minute's byte sample, as the main window takes it.
void BM_MinuteTickWithBytes(benchmark::State& state) {
    const int sections = static_cast<int>(state.range(0));
    const std::string path = makeLedger(sections);
    IniFile ini(path);
    TickView view(QString("Dial-up entry %1").arg(sections - 1));
    LoopbackService service;
    service.entry = view.connectedEntry().toStdString();
    ras::ByteSampler sampler;
    sampler.baseline(service, service.entry);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        AddMinute(ini, view.connectedEntry());
        const ras::ByteDelta d =
            sampler.sample(service, view.connectedEntry().toLocal8Bit().toStdString());
        if (!d.known)
            state.SkipWithError("no counters for lo");
        bytes += d.received;
        RefreshStatistics(view, ini);
        CheckOverTime(view, ini);
    }
    benchmark::DoNotOptimize(bytes);
    ::unlink(path.c_str());
    ::rmdir(path.substr(0, path.rfind('/')).c_str());
}

// The sample alone: the enumeration and three small sysfs reads.
void BM_ByteSample(benchmark::State& state) {
    LoopbackService service;
    service.entry = "Office";
    ras::ByteSampler sampler;
    for (auto _ : state)
        benchmark::DoNotOptimize(sampler.sample(service, service.entry));
}

// The data plan's part of the tick: the plans file read, the minute's bytes
// added to the period's sum, the notice weighed. With a plan (range 1) and
// without (0); the history is read once, before the loop.
void BM_PlanCheck(benchmark::State& state) {
    const std::string ledger = makeLedger(1);
    const std::string dir = ledger.substr(0, ledger.rfind('/'));
    const std::string historyPath = dir + "/Vantrel History.csv";
    const std::string plansPath = dir + "/Vantrel Plans.ini";
    std::ofstream(historyPath) << history::kHeader;
    std::ofstream plansFile(plansPath);
    for (int i = 0; i < 5; ++i)
        plansFile << "[Entry " << i << "]\nDataAllowanceMB=" << (state.range(0) ? 10000 : 0)
                  << "\nBillingDay=17\nWarnPercent=80\n";
    plansFile.close();
    IniFile ini(plansPath);
    plans::UsageTracker usage(historyPath);
    const QDate today = QDate::currentDate();
    for (auto _ : state)
        benchmark::DoNotOptimize(plans::checkMinute(ini, usage, "Entry 4", today, 1000).notice);
    state.counters["history_reads"] = static_cast<double>(usage.reads());
    for (const std::string& f : {ledger, historyPath, plansPath})
        ::unlink(f.c_str());
    ::rmdir(dir.c_str());
}

} // namespace

BENCHMARK(BM_PlanCheck)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_ByteSample)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_MinuteTickWithBytes)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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
