#include "platform/OwnedThreads.h"
#include "platform/Log.h"

#include <system_error>

namespace kelvor::platform {

bool OwnedThreads::spawn(std::function<void()> work) {
    std::lock_guard<std::mutex> lock(mutex_);
    joinFinished();
    try {
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([work = std::move(work), done] {
            try {
                work();
            } catch (...) {
                // The work reports its own failures; an escape would end the
                // whole program from a thread nobody looks at.
                logCurrentFailure("background thread");
            }
            done->store(true);
        });
        threads_.push_back({std::move(thread), done});
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void OwnedThreads::joinAll() {
    std::list<Worker> all;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        all.swap(threads_);
    }
    for (Worker& worker : all)
        if (worker.thread.joinable())
            worker.thread.join();
}

void OwnedThreads::joinFinished() {
    for (auto it = threads_.begin(); it != threads_.end();) {
        if (!it->done->load()) {
            ++it;
            continue;
        }
        it->thread.join();
        it = threads_.erase(it);
    }
}

} // namespace kelvor::platform
