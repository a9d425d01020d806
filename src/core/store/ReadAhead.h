// Reading a tree file for the index (the XML parsed, the descriptions made
// plain text and deflated, the texts split for the full-text index) costs
// about as much as writing it: while one file is written, the next are read
// on other threads. A few threads take the files in the order they were
// started, so that those read first are those the writer wants first, and
// the files waiting let them go on while the writer commits.
#pragma once

#include "platform/OwnedThreads.h"
#include "store/TreeFileItems.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace kelvor::store {

class ReadAhead {
  public:
    explicit ReadAhead(std::string home) : home_(std::move(home)) {}
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts reading the file as it is at that modification time and size
    // (no second start for a file already started).
    void start(const std::string& path, int64_t mtime, int64_t size);
    // What was read of the file, when it was read at that time and size (a
    // file changed since must be read again); one no thread has begun yet
    // is read now. Empty content when it could not be read.
    std::optional<TreeFileContent> take(const std::string& path, int64_t mtime, int64_t size);

  private:
    struct Reading {
        std::string path;
        int64_t mtime, size;
        std::promise<TreeFileContent> promise;
    };
    void read(); // a thread's work: the files waiting, first started first

    std::string home_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::map<std::string, std::pair<std::shared_ptr<Reading>, std::future<TreeFileContent>>>
        readings_;
    std::deque<std::shared_ptr<Reading>> waiting_;
    size_t readers_ = 0;
    bool stopping_ = false;
    platform::OwnedThreads threads_;
};

} // namespace kelvor::store
