// The reader on the home the refresh and index rows made (1,000 channels,
// 200,000 entries, kelvor.db built), beside the same home cut to its first
// 10 channels (their copies, a kelvor.db of their own):
//   - coming up with the category of all the channels open, as a session
//     that closed so brings it back (the first category opens by itself
//     anyway), until KELVOR_QUIT_WHEN_UP says it is up (aim: at most 1.1 x)
//   - its memory (PSS of the kelvor process, /proc/PID/smaps_rollup) once up
//     with every channel of that category open as well, all their entries
//     built in the tree (aim: at most 1.5 x), as the counter pss_MB; the
//     row's time is how long that start took
// The two homes take turns; each row is a median (7 rounds for the start,
// KELVOR_BENCH_ROUNDS or 3 for the memory).
#include "PairedRuns.h"
#include "ReaderLaunch.h"
#include "ThousandRuns.h"
#include "ThousandSet.h"
#include "platform/HomeFolder.h"
#include "store/Indexer.h"
#include "store/Store.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace kelvor::bench {
namespace {

constexpr int kStartRounds = 7;

struct Homes {
    std::string big, small, state;

    Homes() {
        ThousandSet& set = thousandSet();
        indexRun(); // the copies and their kelvor.db
        big = set.home;
        small = set.smallHome(kSmallChannels);
        platform::setProgramFolder(small);
        {
            store::Store store(small);
            store::updateIndex(store);
        }
        platform::setProgramFolder(big);
        state = set.folder + "/reader-state";
        fs::create_directories(state);
    }
};

Homes& homes() {
    static Homes instance;
    return instance;
}

struct Side {
    std::vector<double> upSeconds, pssMb;
    bool failed = false;

    void launch(const std::string& home, int openChannels, bool memory) {
        Homes& h = homes();
        writeSession(h.state, home, kThousandCategory, openChannels);
        ReaderUp up = launchReader(home, h.state, memory);
        failed = failed || up.upMs < 0 || (memory && up.pssMb < 0);
        upSeconds.push_back(up.upMs / 1000);
        pssMb.push_back(up.pssMb);
    }
};

struct Pair {
    Side big, small;
};

Pair measure(bool memory, int rounds) {
    Pair pair;
    Homes& h = homes();
    for (int round = 0; round < rounds; ++round) {
        pair.big.launch(h.big, memory ? thousandSet().channels : 0, memory);
        pair.small.launch(h.small, memory ? kSmallChannels : 0, memory);
    }
    return pair;
}

Pair& startPair() {
    static Pair pair = measure(false, kStartRounds);
    return pair;
}

Pair& memoryPair() {
    static Pair pair = measure(true, benchRounds(3));
    return pair;
}

void report(benchmark::State& state, const Side& side, bool memory) {
    if (side.failed)
        return state.SkipWithError("kelvor did not come up");
    reportMedian(state, side.upSeconds);
    if (memory)
        state.counters["pss_MB"] = median(side.pssMb);
}

void startBig(benchmark::State& state) { report(state, startPair().big, false); }
void startSmall(benchmark::State& state) { report(state, startPair().small, false); }
void memoryBig(benchmark::State& state) { report(state, memoryPair().big, true); }
void memorySmall(benchmark::State& state) { report(state, memoryPair().small, true); }

} // namespace
} // namespace kelvor::bench

#define THOUSAND_WINDOW_ROW(row, name)                                                           \
    BENCHMARK(kelvor::bench::row)                                                              \
        ->Name(name)                                                                           \
        ->Unit(benchmark::kMillisecond)                                                        \
        ->UseManualTime()                                                                      \
        ->Iterations(1)
THOUSAND_WINDOW_ROW(startBig, "Thousand/window/category-open");
THOUSAND_WINDOW_ROW(startSmall, "Thousand/window/10-channels");
THOUSAND_WINDOW_ROW(memoryBig, "Thousand/memory/all-open");
THOUSAND_WINDOW_ROW(memorySmall, "Thousand/memory/10-channels-open");
