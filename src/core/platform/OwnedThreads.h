// Threads with an owner that joins them: each is joined once its work is
// done (at the next start) or by joinAll(), which the owner calls after it
// has asked the work to stop. No thread of the program is left detached to
// outlive what it uses.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace kelvor::platform {

class OwnedThreads {
  public:
    OwnedThreads() = default;
    ~OwnedThreads() { joinAll(); }
    OwnedThreads(const OwnedThreads&) = delete;
    OwnedThreads& operator=(const OwnedThreads&) = delete;

    // Runs `work` on a new thread; false when no thread could be made.
    bool spawn(std::function<void()> work);
    // Waits for every thread: call it once their work was told to stop.
    void joinAll();

  private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void joinFinished(); // with mutex_ held

    std::mutex mutex_;
    std::list<Worker> threads_;
};

} // namespace kelvor::platform
