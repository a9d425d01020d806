// Copies found on the finder's own thread: the same answers as looking on
// the caller's, in the order asked, each with the ticket its question got.
#include "tree/CopyFinder.h"
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
        // The finder runs at idle priority: on a busy machine it may wait its turn.
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
