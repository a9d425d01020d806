// The download queue: at most maxDownloads tasks started from the queue run
// at once, each on its own worker thread; a task queued "first" starts at
// once. Completions are handed back, one at a time, on the owner's thread.
#pragma once

#include "feeds/DownloadTask.h"

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace kelvor::feeds {

class DownloadQueue {
public:
    // Applies a finished task on the owner's thread (the tree's completion
    // handler). The queue frees the task afterwards.
    using Completion = std::function<void(DownloadTask&)>;
    // Runs a function on the owner's thread and waits for it (the blocking
    // hand-back). Called from worker threads. Returns false when the owner is
    // gone and the function did not run.
    using Dispatcher = std::function<bool(const std::function<void()>&)>;
    // Told when a task starts (status bar text), on the owner's thread.
    using StartNotice = std::function<void(const DownloadTask&)>;

    DownloadQueue(Completion complete, Dispatcher dispatch, int maxDownloads = 5);
    // Cancels running transfers and waits a bounded time for the workers;
    // no completion runs after the destructor has begun.
    ~DownloadQueue();
    DownloadQueue(const DownloadQueue&) = delete;
    DownloadQueue& operator=(const DownloadQueue&) = delete;

    void setStartNotice(StartNotice notice);

    // Appends a task; starts it while fewer than maxDownloads run. Returns 1.
    int QueueDownload(void* item, const std::string& title, const std::string& href, const std::string& sourceUrl,
                      const std::string& cacheFile, const std::string& feedUrl, int kind);
    // Puts a task at the head and starts it at once. Returns 1.
    int QueueDownloadFirst(void* item, const std::string& title, const std::string& href,
                           const std::string& sourceUrl, const std::string& cacheFile, const std::string& feedUrl,
                           int kind);

    // Detaches (item = null) every task whose item matches; their results
    // will not be applied.
    void detachIf(const std::function<bool(void* item)>& matches);
    // Detaches the first task (from the head) whose item is `item`.
    void detachFirst(void* item);

    int runningDownloads() const;
    int maxDownloads() const { return maxDownloads_; }
    size_t size() const; // queued + running tasks

    // Blocks the calling (owner's) thread until the queue is empty, running
    // completions as they arrive. For kelvor-tool and tests. Needs a
    // Dispatcher that runs functions handed to it by pumpCompletions.
    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
    int maxDownloads_;
};

// Runs one task's download and conversion (the worker's body), on the
// calling thread: loads feedUrl (else sourceUrl), converts a feed (OPML
// first, then RSS) or stamps a tree file, and saves the cache file
// atomically. Errors go to task.errorText. Returns 1 when it went through.
int RunDownloadTask(DownloadTask& task);

} // namespace kelvor::feeds
