// Reading a tree file for the index (the XML parsed, the descriptions made
// plain text and deflated, the texts split for the full-text index) costs
// about as much as writing it: while one file is written, the next are read
// on other threads.
#pragma once

#include "store/TreeFileItems.h"

#include <cstdint>
#include <future>
#include <map>
#include <optional>
#include <string>

namespace kelvor::store {

class ReadAhead {
  public:
    explicit ReadAhead(std::string home) : home_(std::move(home)) {}
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts reading the file as it is at that modification time and size
    // (no second start for a file already started).
    void start(const std::string& path, int64_t mtime, int64_t size);
    // What was read of the file, when it was read at that time and size: a
    // file changed since must be read again. Empty content when it could
    // not be read.
    std::optional<TreeFileContent> take(const std::string& path, int64_t mtime, int64_t size);

  private:
    struct Reading {
        int64_t mtime, size;
        std::future<TreeFileContent> content;
    };
    std::string home_;
    std::map<std::string, Reading> readings_;
};

} // namespace kelvor::store
