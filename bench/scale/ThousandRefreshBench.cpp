// Refreshing 1,000 feeds of 200 items (about 330 MB) that nginx serves on
// 127.0.0.1 with kelvor-tool refresh --all, from no copies at all, beside
// libxml2 alone parsing, converting and saving the same files on five
// threads (the floor, FloorConverter.h: no network, no queue). Rounds take
// turns between the two (KELVOR_BENCH_ROUNDS, 3); each row is a median, and
// the refresh row carries kelvor-tool's peak resident memory (max_rss_MB)
// and, as the floor's, its processor time (cpu_s: beside the wall time, how
// much of the two cores it kept busy).
// Aim: at most 1.3 x the floor.
#include "ChildProcess.h"
#include "FloorConverter.h"
#include "PairedRuns.h"
#include "ThousandRuns.h"
#include "ThousandSet.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <utility>

namespace fs = std::filesystem;

namespace kelvor::bench {
namespace {

constexpr int kFloorThreads = 5;

// Wall and processor seconds of the floor (this process does nothing else meanwhile).
std::pair<double, double> floorSeconds(const ThousandSet& set) {
    std::string output = set.folder + "/floor";
    fs::remove_all(output);
    fs::create_directories(output);
    double processor = processorSeconds();
    auto start = std::chrono::steady_clock::now();
    convertFilesWithLibxml(set.feedFiles, output, kFloorThreads);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {wall, processorSeconds() - processor};
}

RefreshRounds measureRounds() {
    ThousandSet& set = thousandSet();
    RefreshRounds rounds;
    int count = benchRounds(3);
    for (int round = 0; round < count; ++round) {
        auto [wall, processor] = floorSeconds(set);
        rounds.floor.push_back(wall);
        rounds.floorCpu.push_back(processor);
        fs::remove_all(set.home + "/rss"); // every feed comes in full
        ChildRun run = runChild({KELVOR_TOOL_PATH, "refresh", "--all", "--home", set.home,
                                 set.categoryFile()});
        rounds.failed = rounds.failed || !run.succeeded;
        rounds.refresh.push_back(run.seconds);
        rounds.refreshCpu.push_back(run.cpuSeconds);
        rounds.maxRssMb = std::max(rounds.maxRssMb, run.maxRssMb);
    }
    return rounds;
}

void refreshRow(benchmark::State& state) {
    RefreshRounds& rounds = refreshRounds();
    if (rounds.failed)
        return state.SkipWithError("kelvor-tool refresh failed");
    reportMedian(state, rounds.refresh);
    state.counters["max_rss_MB"] = rounds.maxRssMb;
    state.counters["cpu_s"] = median(rounds.refreshCpu);
    state.counters["channels"] = thousandChannels();
}

void floorRow(benchmark::State& state) {
    reportMedian(state, refreshRounds().floor);
    state.counters["cpu_s"] = median(refreshRounds().floorCpu);
}

} // namespace

double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double seconds = 0;
    for (const timeval& time : {usage.ru_utime, usage.ru_stime})
        seconds += static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    return seconds;
}

RefreshRounds& refreshRounds() {
    static RefreshRounds rounds = measureRounds();
    return rounds;
}

} // namespace kelvor::bench

BENCHMARK(kelvor::bench::refreshRow)
    ->Name("Thousand/refresh/kelvor-tool")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(kelvor::bench::floorRow)
    ->Name("Thousand/refresh/libxml2-floor")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
