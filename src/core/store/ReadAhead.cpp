#include "store/ReadAhead.h"

#include "store/ItemTerms.h"
#include "store/PackedText.h"

#include <algorithm>
#include <thread>

namespace kelvor::store {
namespace {

// As many as there are processors, the writer's among them: while it
// writes, they share the rest, and while it commits they read ahead.
size_t readerCount() {
    return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
}

TreeFileContent readForIndex(const std::string& path, const std::string& home) {
    TreeFileContent content = readTreeFileContent(path, home);
    for (IndexedItem& item : content.items)
        item.packedBody = packText(item.body);
    splitForIndex(content);
    return content;
}

} // namespace

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        waiting_.clear();
    }
    wake_.notify_all();
    threads_.joinAll();
}

void ReadAhead::start(const std::string& path, int64_t mtime, int64_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (readings_.count(path))
        return;
    auto reading = std::make_shared<Reading>();
    reading->path = path;
    reading->mtime = mtime;
    reading->size = size;
    readings_[path] = {reading, reading->promise.get_future()};
    waiting_.push_back(reading);
    if (readers_ < readerCount() && threads_.spawn([this] { read(); }))
        ++readers_;
    wake_.notify_one();
}

void ReadAhead::read() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_)
            return;
        std::shared_ptr<Reading> reading = waiting_.front();
        waiting_.pop_front();
        lock.unlock();
        try {
            reading->promise.set_value(readForIndex(reading->path, home_));
        } catch (...) {
            reading->promise.set_exception(std::current_exception());
        }
        lock.lock();
    }
}

std::optional<TreeFileContent> ReadAhead::take(const std::string& path, int64_t mtime,
                                               int64_t size) {
    std::shared_ptr<Reading> reading;
    std::future<TreeFileContent> read;
    bool begun = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = readings_.find(path);
        if (it == readings_.end())
            return std::nullopt;
        reading = it->second.first;
        read = std::move(it->second.second);
        readings_.erase(it);
        // Not begun (all threads are on files started earlier, or none
        // could be had): read here rather than wait.
        auto waiting = std::find(waiting_.begin(), waiting_.end(), reading);
        if (waiting != waiting_.end()) {
            waiting_.erase(waiting);
            begun = false;
        }
    }
    if (reading->mtime != mtime || reading->size != size)
        return std::nullopt;
    TreeFileContent content;
    try {
        content = begun ? read.get() : readForIndex(path, home_);
    } catch (const std::exception&) {
        // A file that cannot be read adds nothing until it changes again.
    }
    return content;
}

} // namespace kelvor::store
