// A hot category reads one headline per channel from its cache file. Reading
// the first item of a 20,000-item copy is timed beside libxml2 parsing the
// whole copy, which is what a DOM load of the file costs.
#include "FeedGenerator.h"
#include "FloorConverter.h"
#include "TempPath.h"
#include "feeds/DownloadTask.h"
#include "feeds/DownloadWorker.h"
#include "tree/ChannelSource.h"

#include <benchmark/benchmark.h>
#include <libxml/tree.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

const std::string& bigCacheFile() {
    static const std::string path = [] {
        std::string feed = kelvor::bench::tempPath("kelvor-bench-headline-feed.xml");
        std::ofstream(feed, std::ios::binary) << kelvor::bench::generateFeed(20000, 2);
        kelvor::feeds::DownloadTask task;
        task.title = "Big";
        task.feedUrl = feed;
        task.cacheFile = kelvor::bench::tempPath("kelvor-bench-headline-cache.xml");
        kelvor::feeds::RunDownloadTask(task);
        return task.cacheFile;
    }();
    return path;
}

void BM_LibxmlParseCacheFile(benchmark::State& state) {
    for (auto _ : state) {
        xmlDocPtr doc = kelvor::bench::readWithLibxml(bigCacheFile());
        if (!doc) {
            state.SkipWithError("libxml2 could not read the cache file");
            break;
        }
        xmlFreeDoc(doc);
    }
}

void BM_ReadCacheFirstItem(benchmark::State& state) {
    for (auto _ : state) {
        auto first = kelvor::tree::ReadCacheFirstItem(bigCacheFile());
        if (first.title.empty()) {
            state.SkipWithError("no first item read");
            break;
        }
        benchmark::DoNotOptimize(first);
    }
}

} // namespace

BENCHMARK(BM_LibxmlParseCacheFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_ReadCacheFirstItem)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
