// The store at 1,000 channels of 200 entries (200,000 entries), on the
// copies the refresh rows wrote:
//   - indexing them into an empty kelvor.db (store::updateIndex, in this
//     process), beside that refresh (aim: at most 3 x)
//   - the size of kelvor.db (with its -wal and -shm) beside the copies'
//     rss/ (aim: at most 1.2 x), as counters of Thousand/sizes
//   - one search as the search box runs it (every match ranked and counted,
//     the first 200 read), for 20 words, beside grep -rlF of the same word
//     over rss/; bench/run takes the medians (aims: at most 20 ms and at
//     most 0.1 x grep)
#include "Collection.h"
#include "ThousandRuns.h"
#include "ThousandSet.h"
#include "platform/Allocator.h"
#include "platform/HomeFolder.h"
#include "store/Indexer.h"
#include "store/Search.h"
#include "store/Store.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace kelvor::bench {
namespace {

constexpr int kWords = 20;

IndexRun measureIndex() {
    ThousandSet& set = thousandSet();
    IndexRun run;
    run.failed = refreshRounds().failed;
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(store::Store::pathFor(set.home) + suffix);
    // Copies count while the tree reaches them from the program's home.
    platform::setProgramFolder(set.home);
    double processor = processorSeconds();
    auto start = std::chrono::steady_clock::now();
    {
        store::Store store(set.home);
        store::updateIndex(store);
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.processorSeconds = processorSeconds() - processor;
    run.databaseBytes = databaseBytes(set.home);
    run.copiesBytes = folderBytes(set.home + "/rss");
    return run;
}

void indexRow(benchmark::State& state) {
    IndexRun& run = indexRun();
    if (run.failed)
        return state.SkipWithError("the refresh failed: nothing to index");
    for (auto _ : state)
        state.SetIterationTime(run.seconds);
    state.counters["cpu_s"] = run.processorSeconds;
}

void sizesRow(benchmark::State& state) {
    IndexRun& run = indexRun();
    for (auto _ : state)
        state.SetIterationTime(0);
    state.counters["db_MB"] = run.databaseBytes / 1e6;
    state.counters["copies_MB"] = run.copiesBytes / 1e6;
}

struct Searched {
    std::vector<std::string> words;
    std::unique_ptr<store::Store> store;

    Searched() {
        indexRun();
        // The search box runs in the reader, which keeps its allocator's
        // pages for reuse from its start.
        platform::keepAllocatorPagesForReuse();
        std::vector<std::string> all = collectionWords();
        for (int i = 0; i < kWords; ++i)
            words.push_back(all[static_cast<size_t>(i) * 97 % all.size()]);
        store = std::make_unique<store::Store>(thousandSet().home);
    }
};

Searched& searched() {
    static Searched instance;
    return instance;
}

void searchRow(benchmark::State& state) {
    Searched& s = searched();
    const std::string& word = s.words[static_cast<size_t>(state.range(0))];
    store::SearchResult found;
    for (auto _ : state)
        found = store::search(*s.store, word, 0, 200);
    state.counters["total"] = static_cast<double>(found.total);
}

void grepRow(benchmark::State& state) {
    Searched& s = searched();
    std::string command = "grep -rlF '" + s.words[static_cast<size_t>(state.range(0))] + "' '" +
                          thousandSet().home + "/rss' >/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) == -1)
            state.SkipWithError("cannot run grep");
    }
}

} // namespace

IndexRun& indexRun() {
    static IndexRun run = measureIndex();
    return run;
}

} // namespace kelvor::bench

BENCHMARK(kelvor::bench::indexRow)
    ->Name("Thousand/index-from-nothing")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(kelvor::bench::sizesRow)
    ->Name("Thousand/sizes")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(kelvor::bench::searchRow)
    ->Name("Thousand/search")
    ->DenseRange(0, kelvor::bench::kWords - 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(kelvor::bench::grepRow)
    ->Name("Thousand/grep")
    ->DenseRange(0, kelvor::bench::kWords - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
