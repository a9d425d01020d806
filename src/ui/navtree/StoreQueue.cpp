#include "navtree/StoreQueue.h"

#include "store/Store.h"

StoreQueue::StoreQueue(std::string home) : home_(std::move(home)), thread_([this] { run(); }) {}

StoreQueue::~StoreQueue() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void StoreQueue::post(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

kelvor::store::Store* StoreQueue::open() {
    if (!store_) {
        try {
            store_ = std::make_unique<kelvor::store::Store>(home_);
        } catch (const std::exception&) {
            return nullptr; // the next job tries again
        }
    }
    return store_.get();
}

void StoreQueue::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
            if (jobs_.empty())
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        kelvor::store::Store* store = open();
        if (!store)
            continue;
        try {
            job(*store);
        } catch (const std::exception&) {
            // A damaged database is opened again, and rebuilt, for the next job.
            store_.reset();
        }
    }
}
