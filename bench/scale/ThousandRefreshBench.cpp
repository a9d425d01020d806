// Refreshing 1,000 feeds of 200 items (about 350 MB) that nginx serves on
// 127.0.0.1 with kelvor-tool refresh --all, from no copies at all, beside
// libxml2 alone parsing, converting and saving the same files on five
// threads (the floor, FloorConverter.h: no network, no queue). Rounds take
// turns between the two (KELVOR_BENCH_ROUNDS, 3); each row is a median, and
// the refresh row carries kelvor-tool's peak resident memory (max_rss_MB).
// Aim: at most 1.3 x the floor.
#include "ChildProcess.h"
#include "FloorConverter.h"
#include "PairedRuns.h"
#include "ThousandRuns.h"
#include "ThousandSet.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;

namespace kelvor::bench {
namespace {

constexpr int kFloorThreads = 5;

double floorSeconds(const ThousandSet& set) {
    std::string output = set.folder + "/floor";
    fs::remove_all(output);
    fs::create_directories(output);
    auto start = std::chrono::steady_clock::now();
    convertFilesWithLibxml(set.feedFiles, output, kFloorThreads);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

RefreshRounds measureRounds() {
    ThousandSet& set = thousandSet();
    RefreshRounds rounds;
    int count = benchRounds(3);
    for (int round = 0; round < count; ++round) {
        rounds.floor.push_back(floorSeconds(set));
        fs::remove_all(set.home + "/rss"); // every feed comes in full
        ChildRun run = runChild({KELVOR_TOOL_PATH, "refresh", "--all", "--home", set.home,
                                 set.categoryFile()});
        rounds.failed = rounds.failed || !run.succeeded;
        rounds.refresh.push_back(run.seconds);
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
    state.counters["channels"] = thousandChannels();
}

void floorRow(benchmark::State& state) { reportMedian(state, refreshRounds().floor); }

} // namespace

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
