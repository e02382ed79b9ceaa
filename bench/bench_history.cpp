// The usage history at the size of a year of heavy use: eight hours a day on
// three entries, 175,200 lines with their byte columns, about 8 MB. How long --report takes for one
// month, and the history window from being asked for to its first paint.

#include "accounting/History.h"
#include "accounting/Report.h"
#include "accounting/unitUtils.h"
#include "ui/unitHistory.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace {

QTemporaryDir& home() {
    static QTemporaryDir dir;
    return dir;
}

// Written once: 2026, every day from 09:00 to 17:00.
void writeYear() {
    static bool written = false;
    if (written)
        return;
    written = true;
    qputenv("XDG_CONFIG_HOME", home().path().toLocal8Bit());
    QDir().mkpath(WindowsDirectory());
    std::ofstream out(HistoryFileName().toStdString(), std::ios::binary);
    out << history::kHeader;
    const char* entries[] = {"Office", "Home", "Mobile \"fast\", roaming"};
    history::Stamp day;
    history::parseStamp("2026-01-01T09:00+01:00", day);
    for (int d = 0; d < 365; ++d) {
        const history::Stamp start = history::addMinutes(day, d * 1440);
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

void BM_ReportMonth(benchmark::State& state) {
    writeYear();
    NullBuffer null;
    std::ostream out(&null);
    std::string a0 = "brantle-vantrel", a1 = "--report", a2 = "--month", a3 = "2026-12",
                a4 = "--json";
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data()};
    for (auto _ : state)
        benchmark::DoNotOptimize(report::run(state.range(0) ? 5 : 4, argv, out, out));
    state.SetLabel(state.range(0) ? "json" : "text");
}

void BM_ReadHistory(benchmark::State& state) {
    writeYear();
    for (auto _ : state) {
        history::Summary s;
        history::readFile(HistoryFileName().toStdString(), s);
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
        window->load();
        window->show();
        while (!watch.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        window->chart->removeEventFilter(&watch);
        delete window;
        QCoreApplication::processEvents();
    }
}

} // namespace

BENCHMARK(BM_ReportMonth)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadHistory)->Unit(benchmark::kMillisecond);
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
