// Converting one 20,000-item feed (about 35 MB) the way the download worker
// does (load, convert, save the cache file), beside libxml2 parsing and
// saving the same file alone. Aim: at most 1.5 x the libxml2 time for RSS,
// 1.3 x for the same entries as Atom.
#include "FeedGenerator.h"
#include "FloorConverter.h"
#include "TempPath.h"
#include "feeds/CacheFile.h"
#include "feeds/DownloadTask.h"
#include "feeds/DownloadWorker.h"
#include "platform/XmlDom.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using kelvor::bench::tempPath;

constexpr int kBigFeedItems = 20000;

const std::string& bigFeedPath() {
    static const std::string path = [] {
        std::string file = tempPath("kelvor-bench-big-feed.xml");
        std::ofstream(file, std::ios::binary) << kelvor::bench::generateFeed(kBigFeedItems, 1);
        return file;
    }();
    return path;
}

const std::string& bigAtomFeedPath() {
    static const std::string path = [] {
        std::string file = tempPath("kelvor-bench-big-atom.xml");
        std::ofstream(file, std::ios::binary) << kelvor::bench::generateAtomFeed(kBigFeedItems, 1);
        return file;
    }();
    return path;
}

void libxmlParseAndSave(benchmark::State& state, const std::string& input) {
    std::string output = tempPath("kelvor-bench-libxml-out.xml");
    for (auto _ : state) {
        xmlDocPtr doc = kelvor::bench::readWithLibxml(input);
        if (!doc) {
            state.SkipWithError("libxml2 could not read the feed");
            break;
        }
        xmlSaveFormatFileEnc(output.c_str(), doc, "utf-8", 1);
        xmlFreeDoc(doc);
    }
    state.counters["MB"] = static_cast<double>(std::ifstream(input, std::ios::ate).tellg()) / 1e6;
}

void convertToCacheFile(benchmark::State& state, const std::string& input) {
    std::string output = tempPath("kelvor-bench-converted.xml");
    for (auto _ : state) {
        kelvor::feeds::DownloadTask task;
        task.title = "Big";
        task.feedUrl = input;
        task.cacheFile = output;
        kelvor::feeds::RunDownloadTask(task);
        if (!task.errorText.empty())
            state.SkipWithError(task.errorText.c_str());
    }
}

void BM_LibxmlParseAndSave(benchmark::State& state) {
    libxmlParseAndSave(state, bigFeedPath());
}
void BM_ConvertRssToCacheFile(benchmark::State& state) {
    convertToCacheFile(state, bigFeedPath());
}
void BM_LibxmlParseAndSaveAtom(benchmark::State& state) {
    libxmlParseAndSave(state, bigAtomFeedPath());
}
void BM_ConvertAtomToCacheFile(benchmark::State& state) {
    convertToCacheFile(state, bigAtomFeedPath());
}

} // namespace

BENCHMARK(BM_LibxmlParseAndSave)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ConvertRssToCacheFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LibxmlParseAndSaveAtom)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ConvertAtomToCacheFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
