// Searching a collection of 200 cached channels of 500 entries (100,000
// entries, about 110 MB of cache files) for 20 different words, each found
// in a few hundred entries:
//   - the store's query, as the search box runs it: every match ranked and
//     counted, the first 200 read
//   - kelvor-tool search end to end: process start and the freshness check
//     of every file included
//   - grep -rlF for the same word over the cache folder (the peer)
// bench/run takes the median over the words. Aims: the query at most 0.2 x
// grep, kelvor-tool search below grep.
#include "Collection.h"
#include "TempPath.h"
#include "platform/HomeFolder.h"
#include "store/Indexer.h"
#include "store/Search.h"
#include "store/Store.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 500;

// 200 channels (100,000 entries) unless KELVOR_BENCH_SEARCH_CHANNELS says
// otherwise, as for the figure at 200,000 entries (400).
int channelCount() {
    const char* count = std::getenv("KELVOR_BENCH_SEARCH_CHANNELS");
    return count && std::atoi(count) > 0 ? std::atoi(count) : 200;
}
constexpr int kWords = 20;

struct Collection {
    std::string home;
    std::vector<std::string> queries;
    std::unique_ptr<kelvor::store::Store> store;

    Collection() {
        int channels = channelCount();
        home = kelvor::bench::tempPath("kelvor-bench-search" +
                                       (channels == 200 ? "" : "-" + std::to_string(channels)));
        kelvor::bench::writeCollection(home, channels, kEntries);
        std::vector<std::string> words = kelvor::bench::collectionWords();
        for (int i = 0; i < kWords; ++i)
            queries.push_back(words[static_cast<size_t>(i) * 97 % words.size()]);
        // Copies count while the tree reaches them from the program's home.
        kelvor::platform::setProgramFolder(home);
        store = std::make_unique<kelvor::store::Store>(home);
        kelvor::store::updateIndex(*store);
    }
};

Collection& collection() {
    static Collection instance;
    return instance;
}

void BM_StoreSearch(benchmark::State& state) {
    Collection& c = collection();
    const std::string& word = c.queries[static_cast<size_t>(state.range(0))];
    kelvor::store::SearchResult found;
    for (auto _ : state)
        found = kelvor::store::search(*c.store, word, 0, 200);
    state.counters["hits"] = static_cast<double>(found.hits.size());
    state.counters["total"] = static_cast<double>(found.total);
}

void runCommand(benchmark::State& state, const std::string& command) {
    for (auto _ : state) {
        if (std::system(command.c_str()) == -1)
            state.SkipWithError("cannot run the command");
    }
}

void BM_ToolSearch(benchmark::State& state) {
    Collection& c = collection();
    runCommand(state, std::string(KELVOR_TOOL_PATH) + " search '" +
                          c.queries[static_cast<size_t>(state.range(0))] + "' --limit 200 --home " +
                          c.home + " >/dev/null");
}

void BM_GrepCacheFolder(benchmark::State& state) {
    Collection& c = collection();
    runCommand(state, "grep -rlF '" + c.queries[static_cast<size_t>(state.range(0))] + "' " +
                          c.home + "/rss >/dev/null");
}

} // namespace

BENCHMARK(BM_StoreSearch)->DenseRange(0, kWords - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolSearch)->DenseRange(0, kWords - 1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GrepCacheFolder)
    ->DenseRange(0, kWords - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_MAIN();
