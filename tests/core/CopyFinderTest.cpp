// Copies found on the finder's own thread: the same answers as looking on
// the caller's, in the order asked, each with the ticket its question got.
#include "tree/CopyFinder.h"
#include "support/FeedFiles.h"
#include "support/HomeGuard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using kelvor::test::TempDir;
namespace tree = kelvor::tree;

namespace {

struct Deliveries {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<tree::CopyFinder::Found> found;
    std::vector<std::thread::id> threads;

    tree::CopyFinder::Deliver deliver() {
        return [this](std::vector<tree::CopyFinder::Found> batch) {
            std::lock_guard<std::mutex> lock(mutex);
            threads.push_back(std::this_thread::get_id());
            for (auto& one : batch)
                found.push_back(std::move(one));
            arrived.notify_all();
        };
    }
    bool awaitCount(size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        // The finder runs at background priority: on a busy machine it may wait its turn.
        return arrived.wait_for(lock, std::chrono::seconds(100),
                                [&] { return found.size() >= count; });
    }
};

} // namespace

TEST(CopyFinder, AnswersAsLocatingWouldInTheOrderAsked) {
    TempDir home;
    home.write("rss/News.xml", "<Tree Type=\"rss\" BaseURL=\"http://a.example/feed\"/>");
    home.write("rss/News[1].xml", "<Tree Type=\"rss\" BaseURL=\"http://b.example/feed\"/>");
    const std::string first = home.file("rss/News.xml");
    const char* feeds[] = {"http://b.example/feed", "http://c.example/feed",
                           "http://a.example/feed"};
    int askers[250];

    Deliveries deliveries;
    tree::CopyFinder finder(deliveries.deliver());
    std::vector<std::uint64_t> tickets;
    for (int i = 0; i < 250; ++i) // more than one batch
        tickets.push_back(finder.find(&askers[i], {first, feeds[i % 3]}));
    std::uint64_t again = finder.find(&askers[0], {first, feeds[0]});
    EXPECT_GT(again, tickets.back()) << "a question asked again has a ticket of its own";
    ASSERT_TRUE(deliveries.awaitCount(251));

    const std::string expected[] = {home.file("rss/News[1].xml"), home.file("rss/News[2].xml"),
                                    first};
    for (int i = 0; i < 250; ++i) {
        const tree::CopyFinder::Found& found = deliveries.found[i];
        EXPECT_EQ(found.asker, &askers[i]);
        EXPECT_EQ(found.ticket, tickets[i]);
        EXPECT_EQ(found.path, expected[i % 3]) << i;
    }
    EXPECT_EQ(deliveries.found.back().ticket, again);
    EXPECT_GT(deliveries.threads.size(), 1u) << "delivered in batches";
    for (std::thread::id id : deliveries.threads)
        EXPECT_NE(id, std::this_thread::get_id());
}

// What the window makes of an answer: the same verdict as resolving on its
// own thread, fresh, expired or missing; a node renamed since it was asked
// for is judged by its new name, not by the answer of the old.
TEST(CopyFinder, AnswersJudgeTheCopyAsResolvingWould) {
    TempDir home;
    kelvor::test::HomeGuard guard(home.path());
    std::string feedFresh = "http://127.0.0.1:9/fresh", feedOld = "http://127.0.0.1:9/old";
    home.write("rss/Fresh.xml", "<Tree Type=\"rss\" BaseURL=\"" + feedFresh + "\"/>");
    kelvor::test::makeOlder(
        home.write("rss/Old.xml", "<Tree Type=\"rss\" BaseURL=\"" + feedOld + "\"/>"), 5 * 3600);
    std::string hot = home.write(
        "fav/hot.xml", "<Tree Type=\"hot\"><TreeNode Title=\"Fresh\" Rss=\"" + feedFresh +
                           "\"/><TreeNode Title=\"Old\" Rss=\"" + feedOld +
                           "\"/><TreeNode Title=\"None\" Rss=\"http://127.0.0.1:9/none\"/>"
                           "<TreeNode Title=\"Renamed\" Rss=\"" + feedOld + "\"/></Tree>");
    kelvor::xml::Document doc = kelvor::xml::Document::create();
    ASSERT_TRUE(doc.load(hot));
    std::vector<kelvor::xml::Node> nodes;
    for (auto node = doc.documentElement().firstChild(); node; node = node.nextSibling())
        nodes.push_back(node);

    Deliveries deliveries;
    tree::CopyFinder finder(deliveries.deliver());
    std::vector<tree::ChannelCopyQuestion> questions;
    for (const auto& node : nodes) {
        questions.push_back(tree::channelCopyQuestion(node));
        finder.find(nullptr, questions.back());
    }
    ASSERT_TRUE(deliveries.awaitCount(nodes.size()));
    nodes[3].setAttribute("Title", "Old"); // the old copy is its copy now

    const int expected[] = {tree::kCacheFresh, tree::kCacheExpired, tree::kMustDownload,
                            tree::kCacheExpired};
    for (size_t i = 0; i < nodes.size(); ++i) {
        std::string source, cacheFile, feed, wantedSource, wantedFile, wantedFeed;
        int result = tree::resolveWithCopy(nodes[i], questions[i], deliveries.found[i].copy(),
                                           source, cacheFile, feed);
        EXPECT_EQ(result, expected[i]) << i;
        EXPECT_EQ(result, tree::ResolveChannelSource(nodes[i], wantedSource, wantedFile, wantedFeed));
        EXPECT_EQ(cacheFile, wantedFile) << i;
        EXPECT_EQ(feed, wantedFeed) << i;
    }
}
