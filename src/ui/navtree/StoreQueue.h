// The tree's work on kelvor.db, on a thread of its own: indexing a file the
// tree just wrote, writing read marks and counting unread entries. Jobs run
// one after another in the order given, so a count taken after a mark
// already sees it. The window never waits for the database.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kelvor::store {
class Store;
}

class StoreQueue {
  public:
    using Job = std::function<void(kelvor::store::Store&)>;

    explicit StoreQueue(std::string home);
    // Runs what is still queued (read marks must not be lost at close).
    ~StoreQueue();
    StoreQueue(const StoreQueue&) = delete;
    StoreQueue& operator=(const StoreQueue&) = delete;

    const std::string& home() const { return home_; }
    void post(Job job);

  private:
    void run();
    kelvor::store::Store* open();

    std::string home_;
    std::unique_ptr<kelvor::store::Store> store_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};
