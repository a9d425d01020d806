// The download queue: at most maxDownloads tasks started from the queue run
// at once, each on a worker thread the queue owns and joins; a task queued
// "first" starts at once. Finished tasks are handed back one at a time on the owner's thread,
// where the completion is applied and the next queued task is started.
//
// All members are called on the owner's thread. Workers touch only their own
// task; the owner reads a task's results only once it has been handed back.
#pragma once

#include "feeds/DownloadTask.h"
#include "platform/XmlDom.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kelvor::feeds {

class DownloadQueue {
  public:
    // Applies a finished task on the owner's thread (the tree's completion
    // handler). The queue frees the task afterwards.
    using Completion = std::function<void(DownloadTask&)>;
    // Arranges for a function to run on the owner's thread soon, without
    // waiting for it (a queued call into the owner's event loop). Called from
    // worker threads, never after shutdown has begun. Without a poster the
    // functions wait in a mailbox that pumpCompletions() empties.
    using Poster = std::function<void(std::function<void()>)>;
    // Told on the owner's thread when a task starts, or cannot be started.
    using TaskNotice = std::function<void(const DownloadTask&)>;
    // The worker's body (RunDownloadTask unless a test replaces it).
    using WorkBody = std::function<int(DownloadTask&, const xml::LoadOptions&)>;
    // Runs a function on a new thread; false when no thread could be made.
    using Spawner = std::function<bool(std::function<void()>)>;
    // What a worker is given of the program, read on the owner's thread as
    // each task is queued (by default the home folder and the Favorites
    // setting of the moment).
    struct WorkerContext {
        std::string home, favoritesFolder;
    };
    using ContextSource = std::function<WorkerContext()>;

    explicit DownloadQueue(Completion complete, Poster post = nullptr, int maxDownloads = 5);
    // shutdown() with the default grace.
    ~DownloadQueue();
    DownloadQueue(const DownloadQueue&) = delete;
    DownloadQueue& operator=(const DownloadQueue&) = delete;

    void setStartNotice(TaskNotice notice);
    void setStartFailureNotice(TaskNotice notice);
    // Time-outs and size cap of every load (the cancel flag is the task's).
    void setLoadOptions(const xml::LoadOptions& options);
    void setWorkBody(WorkBody body);
    void setSpawner(Spawner spawner);
    void setWorkerContext(ContextSource source);

    // Appends a task; starts it while fewer than maxDownloads run.
    void QueueDownload(DownloadRequest request);
    // Puts a task at the head and starts it at once.
    void QueueDownloadFirst(DownloadRequest request);

    // Detaches (item = null) every task whose item matches; their results
    // will not be applied.
    void detachIf(const std::function<bool(void* item)>& matches);
    // Detaches the first task (from the head) whose item is `item`.
    void detachFirst(void* item);

    int runningDownloads() const;
    int maxDownloads() const;
    size_t size() const; // queued + running tasks
    // The tasks in queue order (for tests and the command line's progress).
    std::vector<std::shared_ptr<const DownloadTask>> tasks() const;


    // Without a poster: runs the hand-backs that have arrived, waiting up to
    // `wait` for the first. Returns how many ran.
    int pumpCompletions(std::chrono::milliseconds wait);
    // Without a poster: pumps until no task is queued or running.
    void runUntilEmpty();

    // Cancels running transfers, drops queued tasks, waits up to `grace` for
    // the workers to hand back and then joins their threads (a cancelled
    // worker ends within moments and saves nothing). No completion runs
    // afterwards.
    void shutdown(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

    struct Impl;

  private:
    std::shared_ptr<Impl> impl_;
};

} // namespace kelvor::feeds
