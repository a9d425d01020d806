// Downloads run on worker threads owned by feeds::DownloadQueue. A finished
// task comes back through a queued call into this object's event loop; the
// automatic update takes what is its own, the rest goes to whoever asked.
#include "collection/CollectionService.h"

#include "feeds/DownloadQueue.h"
#include "frame/FavoritesSetting.h"
#include "platform/Log.h"
#include "tree/Strings.h"

#include <QMetaObject>
#include <QTimer>

using kelvor::feeds::DownloadRequest;
using kelvor::feeds::DownloadTask;
namespace str = kelvor::str;

namespace {
constexpr int kStatusIntervalMs = 500;
}

CollectionService::CollectionService(std::string home, QObject* parent)
    : QObject(parent), home_(std::move(home)) {
    if (!home_.empty())
        store_ = std::make_unique<CollectionStore>(home_);
    startDownloads();
}

CollectionService::~CollectionService() {
    closing_ = true;
    // No completion may arrive while the rest goes: the workers first.
    statusTimer_->stop();
    syncStop_ = true; // a sync under way ends at its next call, its files left as they were
    syncThreads_.joinAll(); // a sync writes into the copies and kelvor.db
    downloads_->shutdown();
    downloads_.reset();
    store_.reset(); // writes the marks still queued
}

void CollectionService::startDownloads() {
    auto complete = [this](DownloadTask& task) {
        this->complete(task);
        releaseStoreWhenQuiet();
    };
    // Not a blocking call: the worker waits on the queue instead, so a
    // service that is going can release it rather than deadlock.
    auto post = [this](std::function<void()> apply) {
        QMetaObject::invokeMethod(this, std::move(apply), Qt::QueuedConnection);
    };
    downloads_ = std::make_unique<kelvor::feeds::DownloadQueue>(complete, post);

    statusTimer_ = new QTimer(this);
    statusTimer_->setInterval(kStatusIntervalMs);
    connect(statusTimer_, &QTimer::timeout, this, &CollectionService::showDownloadStatus);
    downloads_->setStartNotice([this](const DownloadTask& task) {
        // The store's jobs (indexing what downloads write above all) wait
        // while downloads run, so that a refresh is never slowed by them.
        if (store_)
            store_->worker().setHeld(true);
        showStatus(updateRunning() ? updateProgressText() : task.feedUrl);
        if (!statusTimer_->isActive())
            statusTimer_->start();
    });
    downloads_->setStartFailureNotice([this](const DownloadTask&) {
        releaseStoreWhenQuiet();
        kelvor::app::messageBox(str::kCannotStartThread, str::kAppTitle,
                                kelvor::app::MessageIcon::Warning);
    });
    kelvor::app::applyFavoritesFolderSetting();
}

void CollectionService::showDownloadStatus() {
    int running = downloads_->runningDownloads();
    if (updateRunning()) {
        showStatus(updateProgressText());
    } else if (running > 0) {
        showStatus(str::kDownloadingStatus + std::to_string(running));
    } else {
        showStatus(str::kIdleStatus);
        statusTimer_->stop();
    }
}

void CollectionService::showStatus(const std::string& text) {
    emit statusChanged(QString::fromStdString(text));
}

// Checked after the queue is done with the task that just finished.
void CollectionService::releaseStoreWhenQuiet() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (store_ && downloads_ && downloads_->size() == 0)
                store_->worker().setHeld(false);
        },
        Qt::QueuedConnection);
}

void CollectionService::complete(DownloadTask& task) {
    politeness_.toldToWait(task.cacheFile, task.retryAfterSeconds);
    if (!task.item)
        return;
    try {
        if (task.errorText.empty() && !task.cacheFile.empty() && !task.notModified)
            emit copyRenewed(task.cacheFile, task.item);
        bool byUpdate = false;
        if (finishUpdateDownload(task, byUpdate))
            return;
        emit channelDownloaded(task, byUpdate);
    } catch (...) {
        // The queue's bookkeeping runs whatever happened here.
        kelvor::platform::logCurrentFailure("applying a download");
    }
}

void CollectionService::download(DownloadRequest request) {
    politeness_.asked(request.cacheFile);
    downloads_->QueueDownload(std::move(request));
}

void CollectionService::downloadFirst(DownloadRequest request) {
    politeness_.asked(request.cacheFile);
    downloads_->QueueDownloadFirst(std::move(request));
}

void CollectionService::forgetRequester(void* requester) {
    forgetRequesters([requester](void* item) { return item == requester; });
}

void CollectionService::forgetRequesters(const std::function<bool(void*)>& matches) {
    downloads_->detachIf(matches);
    // Their downloads never complete now: the update must not wait for them.
    std::vector<void*> gone;
    for (void* requester : updateRequesters_)
        if (matches(requester))
            gone.push_back(requester);
    for (void* requester : gone)
        forgetUpdateRequester(requester);
}

void CollectionService::forgetFirstDownloadOf(void* requester) {
    downloads_->detachFirst(requester);
    forgetUpdateRequester(requester);
}

void CollectionService::forEachWaiting(const std::function<void(const DownloadTask&)>& visit) const {
    for (const auto& task : downloads_->tasks())
        if (task->item)
            visit(*task);
}

int CollectionService::runningDownloads() const { return downloads_->runningDownloads(); }

size_t CollectionService::pendingDownloads() const { return downloads_->size(); }
