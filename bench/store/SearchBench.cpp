// Searching a collection of 200 cached channels of 500 entries (100,000
// entries, about 110 MB of cache files) for 20 different words, each found
// in a few hundred entries:
//   - the store's query, as the search box runs it (200 hits at most)
//   - kelvor-tool search end to end: process start and the freshness check
//     of every file included
//   - grep -rlF for the same word over the cache folder (the peer)
// bench/run takes the median over the words. Aims: the query at most 0.2 x
// grep, kelvor-tool search below grep.
#include "TempPath.h"
#include "store/Indexer.h"
#include "store/Search.h"
#include "store/Store.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kChannels = 200;
constexpr int kEntries = 500;
constexpr int kWords = 20;
constexpr int kVocabulary = 4000;

// Made-up words (Latin syllables, and pairs of common Chinese characters)
// so that a word is as selective as a real one, not in every entry.
std::vector<std::string> vocabulary() {
    static const char* const consonants = "bdfgklmnprstvz";
    static const char* const vowels = "aeiou";
    static const char* const han[] = {"云", "雨", "山", "海", "城", "桥", "书", "灯", "风", "河",
                                      "林", "石", "星", "月", "花", "鸟", "田", "港", "路", "塔"};
    std::vector<std::string> words;
    std::mt19937 random(7);
    for (int i = 0; i < kVocabulary; ++i) {
        std::string word;
        if (i % 4 == 3) {
            word = std::string(han[random() % 20]) + han[random() % 20];
        } else {
            for (int s = 0; s < 3; ++s) {
                word += consonants[random() % 14];
                word += vowels[random() % 5];
            }
        }
        words.push_back(word);
    }
    return words;
}

std::string sentence(std::mt19937& random, const std::vector<std::string>& words, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += words[random() % words.size()] + (i % 7 == 6 ? "。" : " ");
    return text;
}

void writeChannel(const std::string& path, int channel, const std::vector<std::string>& words) {
    std::mt19937 random(static_cast<unsigned>(channel) + 1);
    std::string tree = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tree Type=\"rss\" Title=\"频道 " +
                       std::to_string(channel) + "\" Href=\"http://127.0.0.1:9/" + std::to_string(channel) + "/\">";
    for (int i = 0; i < kEntries; ++i) {
        std::string link = "http://127.0.0.1:9/" + std::to_string(channel) + "/" + std::to_string(i);
        tree += "<TreeNode Title=\"" + sentence(random, words, 6) + "\" Href=\"" + link +
                "\" Date=\"Mon, 02 Jun 2025 10:00:00 +0800\"><Desc>&lt;p&gt;" + sentence(random, words, 90) +
                "&lt;/p&gt;</Desc></TreeNode>";
    }
    std::ofstream(path, std::ios::binary) << tree << "</Tree>";
}

struct Collection {
    std::string home;
    std::vector<std::string> queries;
    std::unique_ptr<kelvor::store::Store> store;

    Collection() {
        home = kelvor::bench::tempPath("kelvor-bench-search");
        std::vector<std::string> words = vocabulary();
        // The files of an earlier run are the same: their index is reused.
        std::string marker = home + "/rss/channel" + std::to_string(kChannels - 1) + ".xml";
        if (!fs::exists(marker)) {
            fs::remove_all(home);
            fs::create_directories(home + "/rss");
            fs::create_directories(home + "/fav");
            std::ofstream(home + "/index.xml")
                << "<Tree><TreeNode Title=\"我的收藏\" NodeSrc=\"/fav/fav.xml\"/></Tree>";
            std::ofstream(home + "/fav/fav.xml") << "<Tree Type=\"fav\"/>";
            for (int c = 0; c < kChannels; ++c)
                writeChannel(home + "/rss/channel" + std::to_string(c) + ".xml", c, words);
        }
        for (int i = 0; i < kWords; ++i)
            queries.push_back(words[static_cast<size_t>(i) * 97 % words.size()]);
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
    size_t hits = 0;
    for (auto _ : state)
        hits = kelvor::store::search(*c.store, word, 200).size();
    state.counters["hits"] = static_cast<double>(hits);
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
                          c.queries[static_cast<size_t>(state.range(0))] + "' --limit 200 --home " + c.home +
                          " >/dev/null");
}

void BM_GrepCacheFolder(benchmark::State& state) {
    Collection& c = collection();
    runCommand(state, "grep -rlF '" + c.queries[static_cast<size_t>(state.range(0))] + "' " + c.home +
                          "/rss >/dev/null");
}

} // namespace

BENCHMARK(BM_StoreSearch)->DenseRange(0, kWords - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolSearch)->DenseRange(0, kWords - 1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GrepCacheFolder)->DenseRange(0, kWords - 1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
