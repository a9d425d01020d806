// What indexing costs the reader. 200 feeds of 50 items (about 100 KB each)
// served on 127.0.0.1, refreshed through the core's download queue as
// kelvor-tool refresh does (five at a time):
//   - without indexing
//   - with every cache file handed to the store's worker as soon as it is
//     written, as the window does: the worker holds its jobs while downloads
//     run and indexes at idle priority after; timed until the last channel
//     is written (aim: at most 1.15 x without), and
//   - the same run timed until the index has caught up (no aim)
// and indexing the 200 cache files the refresh wrote (10,200 entries) into
// an empty kelvor.db, the work the reader does at the first start.
// Every indexed run starts from an empty database: the most the indexer can
// have to do. The refreshes with and without indexing take turns, nine each,
// and each row is a median.
#include "FeedGenerator.h"
#include "PairedRuns.h"
#include "TempPath.h"
#include "feeds/DownloadQueue.h"
#include "platform/HomeFolder.h"
#include "platform/XmlDom.h"
#include "store/Indexer.h"
#include "store/Store.h"
#include "store/StoreWorker.h"
#include "support/HttpServer.h"
#include "tree/ChannelSource.h"
#include "tree/TreeFormat.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

using kelvor::bench::reportMedian;

constexpr int kFeeds = 200;
constexpr int kItemsPerFeed = 50;

struct Channel {
    std::string title, source, cacheFile, feed;
};

struct Setup {
    kelvor::test::HttpServer server;
    std::string home;
    std::vector<Channel> channels;

    Setup() {
        home = kelvor::bench::tempPath("kelvor-bench-refresh-indexing");
        fs::remove_all(home);
        fs::create_directories(home + "/fav");
        fs::create_directories(home + "/rss");
        kelvor::platform::setProgramFolder(home);
        std::string tree = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tree Type=\"fav\">";
        for (int i = 0; i < kFeeds; ++i) {
            std::string path = "/feed" + std::to_string(i) + ".xml";
            server.serve(path, kelvor::bench::generateFeed(kItemsPerFeed, i));
            tree += "<TreeNode Title=\"Feed " + std::to_string(i) + "\" Rss=\"" + server.url(path) +
                    "\"/>";
        }
        std::ofstream(home + "/fav/channels.xml") << tree << "</Tree>";
        std::ofstream(home + "/index.xml")
            << "<Tree><TreeNode Title=\"频道\" NodeSrc=\"/fav/channels.xml\"/></Tree>";
        // Where each channel's copy goes, as kelvor-tool refresh plans it.
        kelvor::xml::Document doc = kelvor::xml::Document::create();
        doc.load(home + "/fav/channels.xml");
        for (const kelvor::xml::Node& node : doc.getElementsByTagName("TreeNode")) {
            Channel channel;
            kelvor::tree::ResolveChannelSource(node, channel.source, channel.cacheFile,
                                               channel.feed);
            channel.title = kelvor::tree::GetNodeAttribute(node, "Title");
            channels.push_back(channel);
        }
    }

    void removeDatabase() const {
        for (const char* suffix : {"", "-wal", "-shm"})
            fs::remove(kelvor::store::Store::pathFor(home) + suffix);
    }

    // Downloads every channel; each written cache file is handed to onWritten.
    void refresh(const std::function<void(const std::string&)>& onWritten) {
        kelvor::feeds::DownloadQueue queue([&](kelvor::feeds::DownloadTask& task) {
            if (task.errorText.empty() && onWritten)
                onWritten(task.cacheFile);
        });
        for (Channel& channel : channels)
            queue.QueueDownload({&channel, channel.title, "", channel.source, channel.cacheFile,
                                 channel.feed, kelvor::feeds::kKindFirstLoad});
        queue.runUntilEmpty();
    }
};

Setup& setup() {
    static auto instance = std::make_unique<Setup>();
    return *instance;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double refreshSeconds() {
    Clock::time_point start = Clock::now();
    setup().refresh(nullptr);
    return secondsSince(start);
}

struct IndexedRefresh {
    double written;  // until the last channel is written
    double caughtUp; // until the index has caught up
};

IndexedRefresh indexedRefreshSeconds() {
    Setup& s = setup();
    s.removeDatabase();
    kelvor::store::StoreWorker worker(s.home);
    worker.post([](kelvor::store::Store&) {}); // the database exists before the clock starts
    worker.waitUntilIdle();
    Clock::time_point start = Clock::now();
    worker.setHeld(true); // as the window does while its downloads run
    s.refresh([&worker](const std::string& path) { worker.indexLater(path); });
    double written = secondsSince(start);
    worker.setHeld(false);
    worker.waitUntilIdle();
    return {written, secondsSince(start)};
}

// The two refreshes take turns, so that whatever else a shared machine does
// meanwhile falls on both alike; each row reports its median.
struct PairedRuns {
    std::vector<double> without, with, caughtUp;

    PairedRuns() {
        for (int i = 0; i < kPairs; ++i) {
            without.push_back(refreshSeconds());
            IndexedRefresh indexed = indexedRefreshSeconds();
            with.push_back(indexed.written);
            caughtUp.push_back(indexed.caughtUp);
        }
    }
    static constexpr int kPairs = 9;
};

PairedRuns& pairedRuns() {
    static PairedRuns runs;
    return runs;
}

void refreshWithoutIndexing(benchmark::State& state) { reportMedian(state, pairedRuns().without); }
void refreshWithIndexing(benchmark::State& state) { reportMedian(state, pairedRuns().with); }
void indexCaughtUp(benchmark::State& state) { reportMedian(state, pairedRuns().caughtUp); }

void indexFromScratch(benchmark::State& state) {
    Setup& s = setup();
    s.refresh(nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        s.removeDatabase();
        state.ResumeTiming();
        kelvor::store::Store store(s.home);
        benchmark::DoNotOptimize(kelvor::store::updateIndex(store).indexed);
    }
}

} // namespace

BENCHMARK(refreshWithoutIndexing)
    ->Name("RefreshIndexing/without-indexing")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(refreshWithIndexing)
    ->Name("RefreshIndexing/with-indexing")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(indexCaughtUp)
    ->Name("RefreshIndexing/index-caught-up")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(indexFromScratch)
    ->Name("IndexFromScratch/200x50")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
