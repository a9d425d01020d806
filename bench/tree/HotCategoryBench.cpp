// Opening a hot category of 1,000 channels beside one of 10: what the
// window's thread pays in LoadTreeFile, every copy in rss/, half of them
// expired (their headline downloads go to a closed port on 127.0.0.1).
// Answers that come later are handled between the timed calls, as the
// window handles them between other events.
#include "TempPath.h"
#include "collection/CollectionService.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"
#include "platform/XmlDom.h"
#include "tree/ChannelSource.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <utime.h>

namespace {

constexpr long kTwoDays = 2 * 24 * 3600;

std::string channelFeed(int i) {
    return "http://127.0.0.1:9/feed/" + std::to_string(i) + ".xml";
}

// Even channels are fresh for a year, odd ones expired long ago.
void writeCopy(const std::string& home, int i) {
    std::string path = home + "/rss/频道 " + std::to_string(i) + ".xml";
    std::string expires = i % 2 == 0 ? "31536000" : "1";
    std::ofstream(path)
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Tree Type=\"rss\" BaseURL=\""
        << channelFeed(i) << "\" Expires=\"" << expires << "\"><TreeNode Title=\"第 " << i
        << " 条\" Href=\"http://127.0.0.1:9/\"/></Tree>\n";
    struct utimbuf old = {std::time(nullptr) - kTwoDays, std::time(nullptr) - kTwoDays};
    utime(path.c_str(), &old);
}

// A home of `count` channels and their copies; returns the hot file.
std::string hotHome(int count) {
    std::string home = kelvor::bench::tempPath("kelvor-bench-hot-" + std::to_string(count));
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home + "/rss");
    std::filesystem::create_directories(home + "/fav");
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Tree Type=\"hot\">\n";
    for (int i = 0; i < count; ++i) {
        writeCopy(home, i);
        body += " <TreeNode Title=\"频道 " + std::to_string(i) + "\" Rss=\"" + channelFeed(i) +
                "\"><Desc Title=\"旧标题\">d</Desc></TreeNode>\n";
    }
    std::ofstream(home + "/fav/hot.xml") << body << "</Tree>\n";
    return home;
}

// The longest the window's thread is busy with one event after the call:
// the answers of the copies as they come, the downloads' ends.
double longestEventMs(CLeftView& view) {
    double longest = 0;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 300) {
        QElapsedTimer one;
        one.start();
        QApplication::processEvents(QEventLoop::AllEvents);
        longest = std::max(longest, one.nsecsElapsed() / 1e6);
        if (view.collection()->pendingDownloads() == 0 && waited.elapsed() > 100)
            break;
    }
    return longest;
}

void BM_OpenHotCategory(benchmark::State& state) {
    int count = static_cast<int>(state.range(0));
    std::string home = hotHome(count);
    kelvor::platform::setProgramFolder(home);
    double longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto view = std::make_unique<CLeftView>();
        view->collection(); // its service exists before, as the window's does
        state.ResumeTiming();
        view->LoadTreeFile(home + "/fav/hot.xml", view->rootItem());
        state.PauseTiming();
        longest = std::max(longest, longestEventMs(*view));
        view.reset();
        state.ResumeTiming();
    }
    state.counters["longest_event_ms"] = longest;
}
BENCHMARK(BM_OpenHotCategory)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(20);

// What UpdateHeadline did on the window's thread for each channel as the
// file opened, before the copies' headers were read by a finder.
void BM_ResolveEveryChannel(benchmark::State& state) {
    int count = static_cast<int>(state.range(0));
    std::string home = hotHome(count);
    kelvor::platform::setProgramFolder(home);
    kelvor::xml::Document doc = kelvor::xml::Document::create();
    doc.load(home + "/fav/hot.xml");
    for (auto _ : state) {
        std::string source, cacheFile, feed;
        int expired = 0;
        for (kelvor::xml::Node node = doc.documentElement().firstChild(); node;
             node = node.nextSibling())
            if (node.nameIs("TreeNode"))
                expired += kelvor::tree::ResolveChannelSource(node, source, cacheFile, feed) ==
                           kelvor::tree::kCacheExpired;
        if (expired != count / 2)
            state.SkipWithError("wrong count of expired copies");
    }
}
BENCHMARK(BM_ResolveEveryChannel)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
