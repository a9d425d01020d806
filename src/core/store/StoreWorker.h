// The work of a program on kelvor.db that must not hold up anything else:
// indexing a file just written (a download, a saved edit), writing read
// marks, counting unread entries. One thread with its own connection runs
// the jobs one after another in the order given, so a count taken after a
// mark already sees it. The thread runs at background priority (see
// ThreadPriority.h): downloads, conversions and the window come first.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kelvor::store {

class Store;

class StoreWorker {
  public:
    using Job = std::function<void(Store&)>;

    explicit StoreWorker(std::string home);
    // Lets the job under way finish, then runs what is still queued (read
    // marks must not be lost at close) on the calling thread, whose priority
    // is its own: an idle thread could be kept waiting by any busy program
    // and hold up the close. Indexing done then keeps only what the marks
    // need (see Store::setClosing); the next full update reads the rest.
    ~StoreWorker();
    StoreWorker(const StoreWorker&) = delete;
    StoreWorker& operator=(const StoreWorker&) = delete;

    const std::string& home() const { return home_; }
    void post(Job job);
    // A job someone waits for (a search): it goes before the others and
    // runs even while they are held.
    void postUrgent(Job job);
    // True while another job waits, or the worker closes: a long job (a
    // whole index update) ends early when it turns true and posts its rest.
    const std::atomic<bool>& yieldRequested() const { return yield_; }
    // Indexes the file (or forgets it when it is gone) after what is queued.
    void indexLater(const std::string& path);
    // While held (the owner's downloads are running) the jobs wait, in
    // order, and run as soon as the hold ends: a refresh has the machine to
    // itself, and what it wrote is indexed after it. A close runs them anyway.
    void setHeld(bool held);
    // Returns once every job posted before has run (never while held).
    void waitUntilIdle();

  private:
    void run();
    Store* open();
    void runJob(Job& job);

    std::string home_;
    std::unique_ptr<Store> store_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    int urgent_ = 0; // at the head of jobs_
    std::atomic<bool> yield_{false};
    bool busy_ = false;
    bool held_ = false;
    bool stopping_ = false;
    bool closing_ = false; // the destructor's, once the thread is gone
    std::thread thread_;
};

} // namespace kelvor::store
