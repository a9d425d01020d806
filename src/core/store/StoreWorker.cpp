#include "store/StoreWorker.h"

#include <algorithm>

#include "platform/ThreadPriority.h"
#include "store/Indexer.h"
#include "store/Reclaim.h"
#include "store/Repair.h"
#include "store/Store.h"

namespace kelvor::store {

StoreWorker::StoreWorker(std::string home) : home_(std::move(home)), thread_([this] { run(); }) {}

StoreWorker::~StoreWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        yield_ = true;
    }
    wake_.notify_one();
    idle_.notify_all();
    thread_.join();
    // The thread is gone: its connection and the queue are this thread's now.
    if (jobs_.empty())
        return;
    closing_ = true;
    if (store_)
        store_->setClosing(true);
    while (!jobs_.empty()) {
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        runJob(job);
    }
}

void StoreWorker::post(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
        if (busy_)
            yield_ = true;
    }
    wake_.notify_one();
}

void StoreWorker::postUrgent(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.insert(jobs_.begin() + urgent_, std::move(job));
        ++urgent_;
        if (busy_)
            yield_ = true;
    }
    wake_.notify_one();
}

void StoreWorker::indexLater(const std::string& path) {
    post([path](Store& store) { indexFile(store, path); });
}

void StoreWorker::setHeld(bool held) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = held;
    }
    wake_.notify_one();
}

void StoreWorker::waitUntilIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return (jobs_.empty() && !busy_) || stopping_; });
}

Store* StoreWorker::open() {
    // Marks written into a file another connection moved aside would be lost.
    if (store_ && store_->replaced())
        store_.reset();
    if (!store_) {
        try {
            store_ = std::make_unique<Store>(home_);
            store_->setClosing(closing_);
        } catch (const std::exception&) {
            return nullptr; // the next job tries again
        }
    }
    return store_.get();
}

void StoreWorker::runJob(Job& job) {
    Store* store = open();
    if (!store)
        return;
    try {
        repairing(*store, [&job](Store& db) { job(db); });
    } catch (const std::exception&) {
        // A full or failing disk: the job is given up, the store opened
        // again for the next one.
        store_.reset();
    }
}

void StoreWorker::run() {
    platform::lowerThisThreadForBackground();
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            busy_ = false;
            if (jobs_.empty())
                idle_.notify_all();
            wake_.wait(lock, [this] {
                return (!jobs_.empty() && (!held_ || urgent_ > 0)) || stopping_;
            });
            if (stopping_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            urgent_ = std::max(0, urgent_ - 1);
            busy_ = true;
            yield_ = !jobs_.empty();
        }
        runJob(job);
        bool drained;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            drained = jobs_.empty() && !stopping_;
        }
        if (drained && store_) {
            try {
                store_->db().exec("PRAGMA wal_checkpoint(PASSIVE)");
            } catch (const std::exception&) {
                // Left to the next time, or to SQLite's own checkpoint.
            }
            reclaimSpace(*store_);
        }
    }
}

} // namespace kelvor::store
