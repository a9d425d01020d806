// The download queue's scheduling, hand-back and shutdown, with worker
// bodies that wait for the test to let them finish.
#include "feeds/DownloadQueue.h"
#include "support/HttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace feeds = kelvor::feeds;
using namespace std::chrono_literals;

namespace {

// Lets worker bodies through one at a time (or all at once).
class Gate {
  public:
    int pass(feeds::DownloadTask& task, const kelvor::xml::LoadOptions&) {
        std::unique_lock<std::mutex> lock(mutex_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return open_ || released_.count(task.title) != 0; });
        --waiting_;
        task.errorText = "done " + task.title;
        return 1;
    }
    void release(const std::string& title) {
        std::lock_guard<std::mutex> lock(mutex_);
        released_.insert(title);
        changed_.notify_all();
    }
    void openAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitForWaiting(int count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 60s, [&] { return waiting_ == count; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::string> released_;
    bool open_ = false;
    int waiting_ = 0;
};

class DownloadQueueTest : public ::testing::Test {
  protected:
    DownloadQueueTest()
        : queue([this](feeds::DownloadTask& task) { completed.push_back(task.errorText); }) {
        queue.setWorkBody(
            [this](feeds::DownloadTask& task, const kelvor::xml::LoadOptions& options) {
                return gate.pass(task, options);
            });
    }
    ~DownloadQueueTest() override { gate.openAll(); }

    void queueTask(const std::string& title, bool first = false) {
        void* item = reinterpret_cast<void*>(static_cast<uintptr_t>(items.size() + 1));
        items.push_back(title);
        if (first)
            queue.QueueDownloadFirst({item, title, "", "", "", "http://x/" + title, feeds::kKindFirstLoad});
        else
            queue.QueueDownload({item, title, "", "", "", "http://x/" + title, feeds::kKindFirstLoad});
    }
    // Pumps until `count` completions have run in total.
    void completeUpTo(size_t count) {
        auto until = std::chrono::steady_clock::now() + 60s;
        while (completed.size() < count && std::chrono::steady_clock::now() < until)
            queue.pumpCompletions(50ms);
    }
    std::vector<bool> startedFlags() const {
        std::vector<bool> flags;
        for (const auto& task : queue.tasks())
            flags.push_back(task->started);
        return flags;
    }

    Gate gate;
    std::vector<std::string> items;
    std::vector<std::string> completed;
    feeds::DownloadQueue queue;
};

} // namespace

TEST_F(DownloadQueueTest, FiveRunFromTheQueueTheSixthWaits) {
    for (const char* title : {"a", "b", "c", "d", "e", "f"})
        queueTask(title);
    ASSERT_TRUE(gate.waitForWaiting(5));
    EXPECT_EQ(queue.runningDownloads(), 5);
    EXPECT_EQ(startedFlags(), (std::vector<bool>{true, true, true, true, true, false}));

    gate.release("a");
    completeUpTo(1);
    EXPECT_EQ(completed, std::vector<std::string>{"done a"});
    EXPECT_EQ(queue.runningDownloads(), 5) << "one finished, the waiting one started";
    EXPECT_EQ(startedFlags(), (std::vector<bool>{true, true, true, true, true}));
    EXPECT_TRUE(gate.waitForWaiting(5));
}

TEST_F(DownloadQueueTest, QueueFirstStartsAtOnceBeyondTheLimit) {
    for (const char* title : {"a", "b", "c", "d", "e", "f"})
        queueTask(title);
    queueTask("urgent", true);
    ASSERT_TRUE(gate.waitForWaiting(6));
    EXPECT_EQ(queue.runningDownloads(), 6);
    EXPECT_EQ(queue.tasks().front()->title, "urgent");

    // Back at five the queued task still waits: the count must drop below it.
    gate.release("urgent");
    completeUpTo(1);
    EXPECT_EQ(queue.runningDownloads(), 5);
    EXPECT_FALSE(queue.tasks().back()->started);
    gate.release("a");
    completeUpTo(2);
    EXPECT_TRUE(queue.tasks().back()->started);
    EXPECT_EQ(queue.runningDownloads(), 5);
}

TEST_F(DownloadQueueTest, DetachedTaskIsNotAppliedButFreedAndTheNextStarts) {
    for (const char* title : {"a", "b", "c", "d", "e", "f"})
        queueTask(title);
    ASSERT_TRUE(gate.waitForWaiting(5));
    queue.detachFirst(reinterpret_cast<void*>(uintptr_t{1})); // "a"
    gate.release("a");
    auto until = std::chrono::steady_clock::now() + 60s;
    while (queue.size() != 5 && std::chrono::steady_clock::now() < until)
        queue.pumpCompletions(50ms);
    EXPECT_TRUE(completed.empty());
    EXPECT_EQ(queue.size(), 5u);
    EXPECT_TRUE(gate.waitForWaiting(5)) << "f has started in a's place";

    queue.detachIf([](void* item) { return item != nullptr; });
    gate.openAll();
    queue.runUntilEmpty();
    EXPECT_TRUE(completed.empty());
    EXPECT_EQ(queue.runningDownloads(), 0);
}

TEST_F(DownloadQueueTest, ATaskWhoseThreadCannotStartIsDroppedAndReported) {
    std::vector<std::string> refused;
    queue.setStartFailureNotice(
        [&](const feeds::DownloadTask& task) { refused.push_back(task.title); });
    queue.setSpawner([](std::function<void()>) { return false; });
    queueTask("a");
    queueTask("b", true);
    EXPECT_EQ(refused, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_EQ(queue.runningDownloads(), 0);
}

TEST(DownloadQueueFailure, ABodyThatFailsWithoutSayingWhyIsStillAFailure) {
    std::string error;
    feeds::DownloadQueue queue([&](feeds::DownloadTask& task) { error = task.errorText; });
    queue.setWorkBody([](feeds::DownloadTask&, const kelvor::xml::LoadOptions&) { return 0; });
    queue.QueueDownload({&error, "t", "", "http://127.0.0.1:9/t", "", "", feeds::kKindFirstLoad});
    queue.runUntilEmpty();
    EXPECT_EQ(error, "加载错误:http://127.0.0.1:9/t");
}

TEST(DownloadQueueShutdown, StalledTransfersAreCancelledAndNothingIsHandedBack) {
    kelvor::test::HttpServer server;
    kelvor::test::HttpResponse stall;
    stall.stall = true;
    server.serve("/stall", stall);
    int completions = 0;
    auto queue =
        std::make_unique<feeds::DownloadQueue>([&](feeds::DownloadTask&) { ++completions; });
    for (int i = 0; i < 7; ++i)
        queue->QueueDownload({&completions, "t", "", "", "", server.url("/stall"), feeds::kKindFirstLoad});
    auto until = std::chrono::steady_clock::now() + 60s;
    while (server.requestCount() < 5 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);

    // Uncancelled, the stalled transfers would hold shutdown for the whole
    // grace; cancelled, they end within about a second.
    auto begin = std::chrono::steady_clock::now();
    queue->shutdown(60s);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 30s) << "cancelled, not waited out";
    queue.reset();
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(server.requestCount(), 5) << "queued tasks never start";
}

TEST(DownloadQueueShutdown, WorkersAreCancelledAndJoinedAndNothingIsHandedBack) {
    // Each worker runs a transfer until it is cancelled. When shutdown
    // returns, every worker that started has ended (its thread joined, no
    // thread of the queue left running) and none of them was applied.
    std::atomic<int> started{0}, ended{0};
    int completions = 0;
    {
        feeds::DownloadQueue queue([&](feeds::DownloadTask&) { ++completions; });
        queue.setWorkBody([&](feeds::DownloadTask& task, const kelvor::xml::LoadOptions& options) {
            ++started;
            while (!options.cancel->load())
                std::this_thread::sleep_for(1ms);
            task.errorText = "late";
            ++ended;
            return 1;
        });
        for (int i = 0; i < 200; ++i)
            queue.QueueDownload({&completions, "t", "", "", "", "http://127.0.0.1:9/", feeds::kKindFirstLoad});
        auto until = std::chrono::steady_clock::now() + 60s;
        while (started < 5 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
        queue.shutdown(50ms);
        EXPECT_EQ(started.load(), 5) << "queued tasks never start";
        EXPECT_EQ(ended.load(), 5) << "every started worker has ended";
        EXPECT_EQ(queue.pumpCompletions(0ms), 0);
    }
    EXPECT_EQ(completions, 0);
}
