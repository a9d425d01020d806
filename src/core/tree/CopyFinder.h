// Finds channels' copies on a thread of its own. Which of a title's
// numbered files holds a channel's copy only the file's header tells, and
// a category of a thousand channels read a thousand headers on the
// window's thread before the window could come up. The thread runs at
// background priority (see ThreadPriority.h), as the store's worker that
// counts the entries does; it holds its lock only to take what was asked,
// so the window, asking, never waits on it.
#pragma once

#include "tree/ChannelSource.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kelvor::tree {

class CopyFinder {
  public:
    struct Found {
        void* asker = nullptr;    // as given to find()
        std::uint64_t ticket = 0; // as find() returned it
        std::string path;         // locateChannelCopy's answer
        bool found = false;       // and the rest of it, for whoever judges the
        int expires = -1;         // copy's freshness
        std::time_t modified = 0;
        ChannelCopy copy() const { return {path, found, expires, modified}; }
    };
    // Called on the finder's thread, a batch at a time, in the order asked.
    using Deliver = std::function<void(std::vector<Found>)>;

    explicit CopyFinder(Deliver deliver);
    // What is still asked is dropped and nothing more is delivered once it
    // returns; a header being read is read to its end.
    ~CopyFinder();
    CopyFinder(const CopyFinder&) = delete;
    CopyFinder& operator=(const CopyFinder&) = delete;

    // Queues the question; the ticket tells a later answer for the same
    // asker from an earlier one. The thread starts with the first question.
    std::uint64_t find(void* asker, ChannelCopyQuestion question);

  private:
    struct Asked {
        void* asker;
        std::uint64_t ticket;
        ChannelCopyQuestion question;
    };
    void run();
    void answer(const std::deque<Asked>& asked);

    Deliver deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Asked> asked_;
    std::uint64_t lastTicket_ = 0;
    bool waiting_ = false; // the thread waits for questions: the next one wakes it
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace kelvor::tree
