// Refreshing 200 feeds (50 items each, about 100 KB, 18.5 MB in all) served
// on 127.0.0.1:
//   - kelvor-tool refresh --all (the reader's queue: five downloads at once)
//   - newsboat -x reload with reload-threads 5, from an empty cache
//   - libxml2 alone parsing, converting and saving the files on 5 threads
//     (the floor: no network at all)
// and again with a server that answers every request after 50 ms, beside
// curl fetching the same feeds five at a time (floor 200 / 5 x 50 ms = 2 s);
// and, on nginx, a first refresh beside a second one that nginx answers with
// "304 Not Modified" for every feed.
// Aims: kelvor-tool at most 0.2 x newsboat on loopback, at most 1.2 x curl
// with the slow server, the second refresh at most 0.3 x the first.
#include "FeedGenerator.h"
#include "FloorConverter.h"
#include "StaticServer.h"
#include "PairedRuns.h"
#include "TempPath.h"
#include "support/HttpServer.h"

#include <benchmark/benchmark.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using kelvor::bench::reportMedian;

constexpr int kFeeds = 200;
constexpr int kItemsPerFeed = 50;
constexpr int kSlowServerMs = 50;
constexpr int kParallel = 5;

struct Setup {
    kelvor::test::HttpServer server;
    std::string folder;
    std::string treeFile;
    std::vector<std::string> feedFiles;
    double megabytes = 0;

    Setup() {
        folder = kelvor::bench::tempPath("kelvor-bench-refresh");
        fs::remove_all(folder);
        fs::create_directories(folder + "/feeds");
        fs::create_directories(folder + "/floor");
        std::string tree = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tree Type=\"fav\">";
        std::ofstream urls(folder + "/urls");
        // curl's own --parallel mode waits up to a second between batches on
        // this machine; five curl processes with 40 addresses each are the
        // fair "five at a time".
        std::vector<std::ofstream> curlConfigs;
        for (int c = 0; c < kParallel; ++c)
            curlConfigs.emplace_back(folder + "/curl" + std::to_string(c) + ".cfg");
        for (int i = 0; i < kFeeds; ++i) {
            std::string path = "/feed" + std::to_string(i) + ".xml";
            std::string body = kelvor::bench::generateFeed(kItemsPerFeed, i);
            megabytes += static_cast<double>(body.size()) / 1e6;
            server.serve(path, body);
            feedFiles.push_back(folder + "/feeds" + path);
            std::ofstream(feedFiles.back(), std::ios::binary) << body;
            tree += "<TreeNode Title=\"Feed " + std::to_string(i) + "\" Rss=\"" + server.url(path) +
                    "\"/>";
            urls << server.url(path) << "\n";
            curlConfigs[i % kParallel] << "url = \"" << server.url(path)
                                       << "\"\noutput = \"/dev/null\"\n";
        }
        treeFile = folder + "/channels.xml";
        std::ofstream(treeFile) << tree << "</Tree>";
        std::ofstream(folder + "/newsboat.conf") << "reload-threads " << kParallel << "\n";
    }
};

Setup& setup() {
    static auto instance = std::make_unique<Setup>();
    return *instance;
}

bool run(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void kelvorRefresh(benchmark::State& state) {
    Setup& s = setup();
    s.server.setDefaultDelay(static_cast<int>(state.range(0)));
    std::string command = std::string(KELVOR_TOOL_PATH) + " refresh --all --home '" + s.folder +
                          "' '" + s.treeFile + "' > /dev/null";
    for (auto _ : state) {
        if (!run(command))
            state.SkipWithError("kelvor-tool refresh failed");
    }
    state.counters["MB"] = s.megabytes;
}

// The same 200 feeds on nginx, which keeps connections open and answers
// conditional requests from the files' validators, in a home of their own:
// a first refresh from nothing, then refreshes of copies that are current.
struct NginxSetup {
    std::string home;
    std::string treeFile;
    std::unique_ptr<kelvor::bench::StaticServer> server;

    NginxSetup() {
        Setup& feeds = setup();
        home = feeds.folder + "/nginx-home";
        fs::remove_all(home);
        fs::create_directories(home);
        server = std::make_unique<kelvor::bench::StaticServer>(feeds.folder + "/feeds",
                                                               feeds.folder + "/nginx");
        std::string tree = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tree Type=\"fav\">";
        for (int i = 0; i < kFeeds; ++i)
            tree += "<TreeNode Title=\"Feed " + std::to_string(i) + "\" Rss=\"" +
                    server->url("/feed" + std::to_string(i) + ".xml") + "\"/>";
        treeFile = home + "/channels.xml";
        std::ofstream(treeFile) << tree << "</Tree>";
    }

    std::string refreshCommand() const {
        return std::string(KELVOR_TOOL_PATH) + " refresh --all --home '" + home + "' '" + treeFile +
               "' > /dev/null";
    }
};

NginxSetup& nginxSetup() {
    static auto instance = std::make_unique<NginxSetup>();
    return *instance;
}

double secondsOf(const std::string& command) {
    auto start = std::chrono::steady_clock::now();
    if (!run(command))
        throw std::runtime_error("kelvor-tool refresh failed");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A first refresh from nothing, then a second one of the same, unchanged
// feeds, again and again: each pair sees the same machine, and each row is
// the median of its side.
struct NginxPairs {
    std::vector<double> first, second;

    NginxPairs() {
        NginxSetup& s = nginxSetup();
        for (int i = 0; i < kPairs; ++i) {
            fs::remove_all(s.home + "/rss"); // nothing to ask about: every feed comes in full
            first.push_back(secondsOf(s.refreshCommand()));
            second.push_back(secondsOf(s.refreshCommand()));
        }
    }
    static constexpr int kPairs = 9;
};

NginxPairs& nginxPairs() {
    static NginxPairs pairs;
    return pairs;
}

void kelvorRefreshNginx(benchmark::State& state) { reportMedian(state, nginxPairs().first); }
void kelvorRefreshNotModified(benchmark::State& state) { reportMedian(state, nginxPairs().second); }

void newsboatReload(benchmark::State& state) {
    Setup& s = setup();
    s.server.setDefaultDelay(0);
    std::string command = "cd '" + s.folder + "' && HOME='" + s.folder +
                          "' newsboat -x reload -u urls -c cache.db "
                          "-C newsboat.conf > /dev/null 2>&1";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(s.folder + "/cache.db");
        fs::remove(s.folder + "/cache.db.lock");
        state.ResumeTiming();
        if (!run(command))
            state.SkipWithError("newsboat failed");
    }
}

void libxmlFloor(benchmark::State& state) {
    Setup& s = setup();
    for (auto _ : state)
        kelvor::bench::convertFilesWithLibxml(s.feedFiles, s.folder + "/floor", kParallel);
}

void curlFetch(benchmark::State& state) {
    Setup& s = setup();
    s.server.setDefaultDelay(static_cast<int>(state.range(0)));
    std::string command = "cd '" + s.folder + "' && for c in $(seq 0 " +
                          std::to_string(kParallel - 1) +
                          "); do curl -s -K curl$c.cfg & done; wait";
    for (auto _ : state) {
        if (!run(command))
            state.SkipWithError("curl failed");
    }
}

} // namespace

BENCHMARK(kelvorRefresh)
    ->Name("Refresh/kelvor-tool/loopback")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(newsboatReload)
    ->Name("Refresh/newsboat/loopback")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(libxmlFloor)
    ->Name("Refresh/libxml2-floor/disk")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(kelvorRefresh)
    ->Name("Refresh/kelvor-tool/50ms")
    ->Arg(kSlowServerMs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(curlFetch)
    ->Name("Refresh/curl/50ms")
    ->Arg(kSlowServerMs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(kelvorRefreshNginx)
    ->Name("Refresh/kelvor-tool/nginx")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(kelvorRefreshNotModified)
    ->Name("Refresh/kelvor-tool-304/nginx")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
