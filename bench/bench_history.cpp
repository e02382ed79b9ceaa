// The usage history at the size of a year of heavy use: eight hours a day on
// three entries, 175,200 lines with their byte columns, about 8 MB. How long --report takes for one
// month, and the history window from being asked for to its first paint.
//
// Then hostile files, made here: 120,000 lines each of a new name in a month
// of its own; a 50 MB month of two entries alternating (2.1 million
// sessions), for the window's memory and the loop's answers while it reads;
// and a ledger of 20,000 sections.

#include "accounting/History.h"
#include "accounting/Report.h"
#include "accounting/unitUtils.h"
#include "ui/unitHistory.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <QTimer>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

namespace {

QTemporaryDir& home() {
    static QTemporaryDir dir;
    return dir;
}

// Each file in a home of its own; the one named is in use.
bool useHome(const char* name) {
    const QString path = home().path() + "/" + name;
    qputenv("XDG_CONFIG_HOME", path.toLocal8Bit());
    if (QDir(path).exists())
        return false;
    QDir().mkpath(WindowsDirectory());
    return true;
}

// Written once: 2026, every day from 09:00 to 17:00.
void writeYear(const char* name = "year") {
    if (!useHome(name))
        return;
    std::ofstream out(HistoryFileName().toStdString(), std::ios::binary);
    out << history::kHeader;
    const char* entries[] = {"Office", "Home", "Mobile \"fast\", roaming"};
    history::Stamp day;
    history::parseStamp("2026-01-01T09:00+01:00", day);
    for (int d = 0; d < 365; ++d) {
        const history::Stamp start = history::addMinutes(day, std::int64_t{d} * 1440);
        for (int m = 0; m < 480; ++m) {
            history::Traffic data;
            data.add(1'000'000 + static_cast<std::uint64_t>(d * 7919 + m * 104729) % 40'000'000,
                     static_cast<std::uint64_t>(d * 31 + m * 977) % 2'000'000);
            out << history::formatRecord(history::addMinutes(start, m), entries[(d + m / 160) % 3],
                                         &data);
        }
    }
}

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Each line a new name in a month of its own, from 0001 on.
void writeDistinctNames() {
    if (!useHome("names"))
        return;
    std::ofstream out(HistoryFileName().toStdString(), std::ios::binary);
    out << history::kHeader;
    for (int i = 0; i < 120000; ++i) {
        const int key = 12 + i % (9999 * 12);
        history::Stamp s;
        s.year = key / 12;
        s.month = key % 12 + 1;
        out << history::formatRecord(s, "entry " + std::to_string(i));
    }
}

// 50 MB in this month: two entries taking turns, 48 lines a minute.
void writeBigMonth() {
    if (!useHome("month"))
        return;
    history::Stamp start = history::localNow();
    start.day = 1;
    start.hour = start.minute = 0;
    std::ofstream out(HistoryFileName().toStdString(), std::ios::binary);
    out << history::kHeader;
    const int minutes = history::daysInMonth(start.monthKey()) * 1440;
    for (int i = 0; i < 2100000; ++i)
        out << history::formatRecord(history::addMinutes(start, i / 48 % minutes),
                                     i % 2 ? "B" : "A");
}

void writeLedger() {
    if (!useHome("ledger"))
        return;
    std::ofstream out(DataFileName().toStdString(), std::ios::binary);
    for (int i = 0; i < 20000; ++i)
        out << "[Entry " << i << "]\nMinutes=" << i % 60 << "\nHours=" << i
            << "\nWarnHourCount=0\nWarnOverTime=0\n";
}

void runReport(benchmark::State& state, bool month, bool json) {
    NullBuffer null;
    std::ostream out(&null);
    std::string a0 = "brantle-vantrel", a1 = "--report", a2 = "--month", a3 = "2026-12",
                a4 = "--json";
    std::vector<char*> argv = {a0.data(), a1.data()};
    if (month) {
        argv.push_back(a2.data());
        argv.push_back(a3.data());
    }
    if (json)
        argv.push_back(a4.data());
    for (auto _ : state)
        benchmark::DoNotOptimize(report::run(static_cast<int>(argv.size()), argv.data(), out, out));
}

void BM_ReportMonth(benchmark::State& state) {
    writeYear();
    runReport(state, true, state.range(0) != 0);
    state.SetLabel(state.range(0) ? "json" : "text");
}

// The same year with five plans, three on its entries.
void BM_ReportWithPlans(benchmark::State& state) {
    writeYear("plans");
    std::ofstream(PlansFileName().toStdString(), std::ios::binary)
        << "[Office]\nDataAllowanceMB=10000\nBillingDay=17\n[Home]\nDataAllowanceMB=50000\n"
           "BillingDay=31\n[Mobile \"fast\", roaming]\nDataAllowanceMB=5000\nBillingDay=1\n"
           "[Spare]\nDataAllowanceMB=1000\n[Travel]\nDataAllowanceMB=2000\nBillingDay=29\n";
    runReport(state, true, true);
}

void BM_Report120kDistinctNames(benchmark::State& state) {
    writeDistinctNames();
    runReport(state, false, true);
}

void BM_ReportLedger20kSections(benchmark::State& state) {
    writeLedger();
    runReport(state, false, false);
}

void BM_ReadHistory(benchmark::State& state) {
    writeYear();
    for (auto _ : state) {
        history::Summary s;
        history::readFile(HistoryFileName().toStdString(), s, {2026 * 12 + 11, 2026 * 12 + 10});
        benchmark::DoNotOptimize(s.records);
    }
}

// Paints of the chart, seen from outside.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void BM_HistoryWindowFirstPaint(benchmark::State& state) {
    writeYear();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto* window = new TfrmHistory();
        PaintWatch watch;
        window->chart->installEventFilter(&watch);
        // The first paint after the month was read.
        bool read = false;
        QObject::connect(window, &TfrmHistory::loaded, [&] {
            read = true;
            watch.painted = false;
        });
        window->load();
        window->show();
        while (!read || !watch.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        window->chart->removeEventFilter(&watch);
        delete window;
        QCoreApplication::processEvents();
    }
}

long statusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return -1;
}

// The window on the 50 MB month, from "History..." to its tables filled,
// while a 10 ms timer stands in for the tray: how late it ever ran once the
// window was up, what opening the window took before that, and the process's
// memory.
void BM_HistoryWindowBigMonth(benchmark::State& state) {
    writeBigMonth();
    long peak = 0, rss = 0;
    double late = 0, open = 0;
    for (auto _ : state) {
        std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts anew
        const auto start = std::chrono::steady_clock::now();
        auto* window = new TfrmHistory();
        window->load();
        window->show();
        auto last = std::chrono::steady_clock::now();
        open = std::max(open, std::chrono::duration<double>(last - start).count());
        double worst = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const auto now = std::chrono::steady_clock::now();
            worst = std::max(worst, std::chrono::duration<double>(now - last).count() - 0.01);
            last = now;
        });
        tick.start(10);
        while (window->reading())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // The tables filled and painted, and a tick after that.
        const auto filled = std::chrono::steady_clock::now();
        while (last < filled)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        peak = std::max(peak, statusKiB("VmHWM:"));
        rss = statusKiB("VmRSS:");
        late = std::max(late, worst);
        delete window;
        QCoreApplication::processEvents();
    }
    state.counters["peak_rss_MiB"] = static_cast<double>(peak) / 1024;
    state.counters["rss_open_MiB"] = static_cast<double>(rss) / 1024;
    state.counters["open_ms"] = open * 1000;
    state.counters["loop_late_ms"] = late * 1000;
}

} // namespace

BENCHMARK(BM_ReportMonth)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportWithPlans)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Report120kDistinctNames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportLedger20kSections)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryWindowBigMonth)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryWindowFirstPaint)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
