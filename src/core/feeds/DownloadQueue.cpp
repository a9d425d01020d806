#include "feeds/DownloadQueue.h"

#include "feeds/DownloadWorker.h"
#include "feeds/FavoritesImport.h"
#include "platform/HomeFolder.h"
#include "platform/Log.h"
#include "platform/OwnedThreads.h"
#include "tree/Strings.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <list>
#include <system_error>
#include <thread>

namespace kelvor::feeds {
namespace {

// The meeting point of the workers and the owner. Workers keep it alive, so
// a worker that outlives its queue (shutdown did not wait for it) still has
// somewhere to find out that nobody takes its task any more.
struct HandBack : std::enable_shared_from_this<HandBack> {
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
    int liveWorkers = 0;
    std::deque<std::function<void()>> mailbox; // used when there is no poster
    DownloadQueue::Poster post;

    // Worker side: has `apply` run on the owner's thread and waits until it
    // ran, or until the owner has gone.
    void deliver(std::function<void()> apply) {
        auto done = std::make_shared<bool>(false);
        auto self = shared_from_this();
        std::function<void()> onOwner = [self, apply = std::move(apply), done] {
            {
                std::lock_guard<std::mutex> lock(self->mutex);
                if (self->closed)
                    return;
            }
            apply();
            {
                std::lock_guard<std::mutex> lock(self->mutex);
                *done = true;
            }
            self->changed.notify_all();
        };
        std::unique_lock<std::mutex> lock(mutex);
        if (closed)
            return;
        // Posting under the lock: once the owner has closed, nothing may
        // reach into it any more.
        if (post)
            post(std::move(onOwner));
        else
            mailbox.push_back(std::move(onOwner));
        changed.notify_all();
        changed.wait(lock, [&] { return *done || closed; });
    }

    void workerExited() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            --liveWorkers;
        }
        changed.notify_all();
    }
};

} // namespace

struct DownloadQueue::Impl : std::enable_shared_from_this<DownloadQueue::Impl> {
    Completion complete;
    TaskNotice startNotice;
    TaskNotice startFailureNotice;
    WorkBody body = [](DownloadTask& task, const xml::LoadOptions& options) {
        return RunDownloadTask(task, options);
    };
    std::shared_ptr<platform::OwnedThreads> threads = std::make_shared<platform::OwnedThreads>();
    Spawner spawn = [threads = threads](std::function<void()> run) {
        return threads->spawn(std::move(run));
    };
    xml::LoadOptions loadOptions;
    ContextSource context = [] {
        return WorkerContext{platform::programFolder(), favoritesFolder()};
    };
    int maxDownloads = 5;

    std::list<std::shared_ptr<DownloadTask>> queue;
    int running = 0;
    std::shared_ptr<HandBack> handBack = std::make_shared<HandBack>();

    std::shared_ptr<DownloadTask> makeTask(DownloadRequest request) {
        auto task = std::make_shared<DownloadTask>();
        task->item = request.item;
        task->title = std::move(request.title);
        task->href = std::move(request.href);
        task->sourceUrl = std::move(request.sourceUrl);
        task->cacheFile = std::move(request.cacheFile);
        task->feedUrl = std::move(request.feedUrl);
        task->kind = request.kind;
        WorkerContext given = context();
        task->home = std::move(given.home);
        task->favoritesFolder = std::move(given.favoritesFolder);
        return task;
    }

    static void work(std::shared_ptr<HandBack> handBack, std::weak_ptr<Impl> owner,
                     std::shared_ptr<DownloadTask> task, WorkBody body, xml::LoadOptions options) {
        options.cancel = task->cancel.get();
        try {
            // A body that says it failed has said why; one that did not
            // must not pass for a download that went through.
            if (body(*task, options) == 0 && task->errorText.empty() && !task->cancelled())
                task->errorText = std::string(str::kLoadErrorPrefix) + task->sourceUrl;
        } catch (...) {
            // The body reports its failures in errorText; anything else
            // (out of memory) must not take the program down, nor pass for
            // a download that went through.
            task->errorText = exceptionText(*task);
        }
        handBack->deliver([owner, task] {
            if (auto impl = owner.lock())
                impl->finish(task);
        });
        handBack->workerExited();
    }

    bool StartDownload(const std::shared_ptr<DownloadTask>& task) {
        if (!task)
            return false;
        if (startNotice)
            startNotice(*task);
        task->started = true;
        {
            std::lock_guard<std::mutex> guard(handBack->mutex);
            ++handBack->liveWorkers;
        }
        std::weak_ptr<Impl> owner = shared_from_this();
        if (spawn([hb = handBack, owner, task, b = body, o = loadOptions] {
                work(hb, owner, task, b, o);
            })) {
            ++running;
            return true;
        }
        handBack->workerExited();
        task->started = false;
        if (startFailureNotice)
            startFailureNotice(*task);
        queue.remove(task);
        return false;
    }

    void startNextQueued() {
        if (running >= maxDownloads)
            return;
        auto next = std::find_if(queue.begin(), queue.end(),
                                 [](const auto& task) { return !task->started; });
        if (next != queue.end())
            StartDownload(*next);
    }

    // On the owner's thread, once the worker has handed the task back.
    void finish(const std::shared_ptr<DownloadTask>& task) {
        try {
            if (task->item && complete)
                complete(*task);
        } catch (...) {
            // A result that cannot be applied must not stop the queue.
            platform::logCurrentFailure("download completion");
        }
        running = std::max(0, running - 1);
        queue.remove(task);
        startNextQueued();
    }
};

DownloadQueue::DownloadQueue(Completion complete, Poster post, int maxDownloads)
    : impl_(std::make_shared<Impl>()) {
    impl_->complete = std::move(complete);
    impl_->maxDownloads = maxDownloads;
    impl_->handBack->post = std::move(post);
}

DownloadQueue::~DownloadQueue() {
    shutdown();
}

void DownloadQueue::setStartNotice(TaskNotice notice) {
    impl_->startNotice = std::move(notice);
}
void DownloadQueue::setStartFailureNotice(TaskNotice notice) {
    impl_->startFailureNotice = std::move(notice);
}
void DownloadQueue::setLoadOptions(const xml::LoadOptions& options) {
    impl_->loadOptions = options;
}
void DownloadQueue::setWorkBody(WorkBody body) {
    impl_->body = std::move(body);
}
void DownloadQueue::setSpawner(Spawner spawner) {
    impl_->spawn = std::move(spawner);
}
void DownloadQueue::setWorkerContext(ContextSource source) {
    impl_->context = std::move(source);
}

void DownloadQueue::QueueDownload(DownloadRequest request) {
    auto task = impl_->makeTask(std::move(request));
    impl_->queue.push_back(task);
    if (impl_->running < impl_->maxDownloads)
        impl_->StartDownload(task);
}

void DownloadQueue::QueueDownloadFirst(DownloadRequest request) {
    auto task = impl_->makeTask(std::move(request));
    impl_->queue.push_front(task);
    impl_->StartDownload(task);
}

void DownloadQueue::detachIf(const std::function<bool(void* item)>& matches) {
    for (auto& task : impl_->queue) {
        if (task->item && matches(task->item))
            task->item = nullptr;
    }
}

void DownloadQueue::detachFirst(void* item) {
    for (auto& task : impl_->queue) {
        if (task->item == item) {
            task->item = nullptr;
            return;
        }
    }
}

int DownloadQueue::maxDownloads() const {
    return impl_->maxDownloads;
}

int DownloadQueue::runningDownloads() const {
    return impl_->running;
}

size_t DownloadQueue::size() const {
    return impl_->queue.size();
}

std::vector<std::shared_ptr<const DownloadTask>> DownloadQueue::tasks() const {
    return {impl_->queue.begin(), impl_->queue.end()};
}

int DownloadQueue::pumpCompletions(std::chrono::milliseconds wait) {
    HandBack& handBack = *impl_->handBack;
    std::deque<std::function<void()>> arrived;
    {
        std::unique_lock<std::mutex> lock(handBack.mutex);
        handBack.changed.wait_for(lock, wait,
                                  [&] { return !handBack.mailbox.empty() || handBack.closed; });
        arrived.swap(handBack.mailbox);
    }
    for (auto& apply : arrived)
        apply();
    return static_cast<int>(arrived.size());
}

void DownloadQueue::runUntilEmpty() {
    if (impl_->handBack->post)
        return; // completions arrive through the owner's event loop
    while (size() > 0)
        pumpCompletions(std::chrono::milliseconds(200));
}

void DownloadQueue::shutdown(std::chrono::milliseconds grace) {
    HandBack& handBack = *impl_->handBack;
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(handBack.mutex);
        if (handBack.closed)
            return;
        handBack.closed = true;
        dropped.swap(handBack.mailbox);
    }
    handBack.changed.notify_all();
    {
        for (auto& task : impl_->queue)
            task->cancel->store(true);
        impl_->queue.clear();
        impl_->running = 0;
    }
    {
        std::unique_lock<std::mutex> lock(handBack.mutex);
        handBack.changed.wait_for(lock, grace, [&] { return handBack.liveWorkers == 0; });
    }
    // Cancelled transfers end within a progress call, and a cancelled worker
    // saves nothing, so the join is short even past the grace.
    impl_->threads->joinAll();
}

} // namespace kelvor::feeds
