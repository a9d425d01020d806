// Channels: expansion by the state of the cached copy, headline updates of
// "hot" files, the refresh command, and the completion of downloads.
//
// Downloads run on worker threads owned by feeds::DownloadQueue. A finished
// task comes back to this view through a queued call into its event loop;
// the queue applies it here and starts the next one.
#include "frame/FrameInterface.h"
#include "frame/FavoritesSetting.h"
#include "feeds/DownloadQueue.h"
#include "feeds/FavoritesImport.h"
#include "navtree/CLeftView.h"
#include "platform/Log.h"
#include "navtree/StoreQueue.h"
#include "tree/ChannelSource.h"
#include "tree/NodeWriting.h"
#include "tree/Strings.h"
#include "tree/TreeFormat.h"

#include <QDir>
#include <QMetaObject>
#include <QTimer>

#include <mutex>

using kelvor::feeds::DownloadQueue;
using kelvor::feeds::DownloadRequest;
using kelvor::feeds::DownloadTask;
using kelvor::xml::Document;
using kelvor::xml::Node;
namespace feeds = kelvor::feeds;
namespace tree = kelvor::tree;
namespace str = kelvor::str;

namespace {

constexpr int kStatusIntervalMs = 500;
constexpr int kHeadlineSaveEvery = 10;
const char* const kStatusTimerName = "downloadStatusTimer";

struct ChannelAnswer {
    int result = tree::kNotChannel;
    std::string source, cacheFile, feed;
};

ChannelAnswer resolve(const Node& node) {
    ChannelAnswer answer;
    answer.result = tree::ResolveChannelSource(node, answer.source, answer.cacheFile, answer.feed);
    return answer;
}

bool isHeadlineKind(int kind) {
    return kind == feeds::kKindHeadline || kind == feeds::kKindHeadlineSave;
}

} // namespace

// ---- the queue's life ---------------------------------------------------------

void CLeftView::initDownloads() {
    auto complete = [this](DownloadTask& task) {
        OnDownloadComplete(&task);
        releaseStoreWhenQuiet();
    };
    // Not a blocking call: the worker waits on the queue instead, so a view
    // that is shutting down can release it rather than deadlock.
    auto post = [this](std::function<void()> apply) {
        QMetaObject::invokeMethod(this, std::move(apply), Qt::QueuedConnection);
    };
    downloads_ = std::make_unique<DownloadQueue>(complete, post);

    auto* timer = new QTimer(this);
    timer->setObjectName(QLatin1String(kStatusTimerName));
    timer->setInterval(kStatusIntervalMs);
    connect(timer, &QTimer::timeout, this, [this, timer] {
        int running = downloads_ ? downloads_->runningDownloads() : 0;
        if (BackgroundUpdateRunning()) {
            showStatus(backgroundProgressText());
        } else if (running > 0) {
            showStatus(str::kDownloadingStatus + std::to_string(running));
        } else {
            showStatus(str::kIdleStatus);
            timer->stop();
        }
    });
    downloads_->setStartNotice([this, timer](const DownloadTask& task) {
        if (StoreQueue* store = storeQueue())
            store->setHeld(true);
        showStatus(BackgroundUpdateRunning() ? backgroundProgressText() : task.feedUrl);
        if (!timer->isActive())
            timer->start();
    });
    downloads_->setStartFailureNotice([this](const DownloadTask&) {
        releaseStoreWhenQuiet();
        kelvor::app::messageBox(str::kCannotStartThread, str::kAppTitle,
                                kelvor::app::MessageIcon::Warning);
    });
    kelvor::app::applyFavoritesFolderSetting();
}

// While downloads run, the store's jobs (indexing what they write above
// all) wait, so that a refresh is never slowed by them; this lets them go
// once the queue has nothing left, checked after the queue is done with the
// task that just finished.
void CLeftView::releaseStoreWhenQuiet() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            StoreQueue* store = storeQueue();
            if (store && (!downloads_ || downloads_->size() == 0))
                store->setHeld(false);
        },
        Qt::QueuedConnection);
}

void CLeftView::showStatus(const std::string& text) {
    if (auto* frame = kelvor::app::mainFrame())
        frame->SetStatusText(text);
}

void CLeftView::stopDownloadStatus() {
    if (auto* timer = findChild<QTimer*>(QLatin1String(kStatusTimerName)))
        timer->stop();
}

void CLeftView::shutdownDownloads() {
    stopDownloadStatus();
    if (downloads_)
        downloads_->shutdown();
}

void CLeftView::forgetItemInDownloads(QTreeWidgetItem* item) {
    if (downloads_)
        downloads_->detachIf([item](void* taskItem) { return taskItem == item; });
}

void CLeftView::QueueDownload(DownloadRequest request) {
    politeness_.asked(request.cacheFile);
    downloads_->QueueDownload(std::move(request));
}

void CLeftView::QueueDownloadFirst(DownloadRequest request) {
    politeness_.asked(request.cacheFile);
    downloads_->QueueDownloadFirst(std::move(request));
}

// ---- expansion and headlines --------------------------------------------------

void CLeftView::ExpandChannel(QTreeWidgetItem* item, const Node& node) {
    ChannelAnswer channel = resolve(node);
    std::string title = GetNodeAttribute(node, "Title");
    std::string href = GetNodeAttribute(node, "Href");
    switch (channel.result) {
    case tree::kLocalFile:
        DeleteFirstChild(item);
        LoadTreeFile(channel.source, item, 0);
        break;
    case tree::kCacheFresh:
        DeleteFirstChild(item);
        LoadTreeFile(channel.cacheFile, item, 0);
        break;
    case tree::kCacheExpired:
        // The old entries show at once, under the placeholder that now
        // announces the update.
        LoadTreeFile(channel.cacheFile, item, 0);
        QueueDownloadFirst({item, title, href, channel.source, channel.cacheFile, channel.feed,
                            feeds::kKindUpdate});
        if (item->childCount() > 0)
            item->child(0)->setText(0, QString::fromUtf8(str::kUpdating));
        break;
    case tree::kMustDownload:
        QueueDownloadFirst({item, title, href, channel.source, channel.cacheFile, channel.feed,
                            feeds::kKindFirstLoad});
        break;
    default:
        break;
    }
}

void CLeftView::UpdateHeadline(QTreeWidgetItem* item, const Node& node) {
    ChannelAnswer channel = resolve(node);
    if (channel.result <= tree::kCacheFresh && hotUpdateMode <= 1)
        return;
    std::string href = GetNodeAttribute(node, "Href");
    // Saving the hot file after every headline would rewrite it once per
    // channel; every tenth update and the last one save, the others wait.
    feeds::DownloadKind kind = feeds::kKindHeadlineSave;
    try {
        if (node.nextSibling())
            kind = hotUpdateCounter % kHeadlineSaveEvery != 0 ? feeds::kKindHeadline
                                                              : feeds::kKindHeadlineSave;
        else
            hotUpdateMode = 0;
    } catch (const kelvor::xml::DomError&) {
        hotUpdateMode = 0;
    }
    ++hotUpdateCounter;
    QueueDownload({item, GetNodeAttribute(node, "Title"), href, channel.source, channel.cacheFile,
                   channel.feed, kind});
}

bool CLeftView::StoreHeadline(const Node& node, const std::string& title, const std::string& href,
                              const std::string& nodeSrc, const std::string& descText,
                              const std::string& date) {
    if (!node)
        return false;
    try {
        tree::storeHeadline(node, title, href, nodeSrc, descText, date);
        return true;
    } catch (const kelvor::xml::DomError&) {
        return false;
    }
}

// ---- refresh --------------------------------------------------------------------

void CLeftView::OnRefresh() {
    QTreeWidgetItem* selected = currentItem();
    Node node = nodeOf(selected);
    // A placeholder or an error line has nothing to refresh.
    if (!node)
        return;
    downloads_->detachIf([selected](void* item) {
        return static_cast<QTreeWidgetItem*>(item)->parent() == selected;
    });
    DeleteChildItems(selected);
    QTreeWidgetItem* placeholder = addPlaceholder(selected, tree::kIconFolderOpen);
    // The children come from this refresh now; a later first expansion
    // must not load them a second time.
    if (auto* treeItem = dynamic_cast<CTreeItem*>(selected))
        treeItem->expandedOnce = true;

    ChannelAnswer channel = resolve(node);
    switch (channel.result) {
    case tree::kLocalFile: {
        DeleteFirstChild(selected);
        bool hot = tree::ownerTreeInfo(node).type == "hot";
        LoadTreeFile(channel.source, selected, hot ? 2 : 0);
        break;
    }
    case tree::kCacheFresh:
    case tree::kCacheExpired:
    case tree::kMustDownload:
        QueueDownloadFirst({selected, GetNodeAttribute(node, "Title"),
                            GetNodeAttribute(node, "Href"), channel.source, channel.cacheFile,
                            channel.feed, feeds::kKindFirstLoad});
        break;
    default:
        // Inline children are rebuilt from the file; an item without any
        // goes back to having none rather than "loading" for ever.
        delete placeholder;
        if (Node first = node.firstChild())
            PopulateItems(first, selected);
        break;
    }
}

// ---- completion -------------------------------------------------------------------

namespace {

// True when no other headline update for the same file is still queued or
// running: the last one to finish saves, so no headline is left unsaved.
bool lastHeadlineOfFile(DownloadQueue& queue, const DownloadTask& finished, const Document& file) {
    for (const auto& task : queue.tasks()) {
        if (task.get() == &finished || !task->item || !isHeadlineKind(task->kind))
            continue;
        Node node = CLeftView::nodeOf(static_cast<QTreeWidgetItem*>(task->item));
        if (node && node.ownerDocument() == file)
            return false;
    }
    return true;
}

void applyHeadline(CLeftView& view, QTreeWidgetItem* item, const DownloadTask& task) {
    Node node = CLeftView::nodeOf(item);
    if (!node)
        return;
    tree::CacheFirstItem first = tree::ReadCacheFirstItem(task.cacheFile);
    view.StoreHeadline(node, first.title, first.href, task.cacheFile, first.desc, first.date);
    // A copy that did not load has no headline; the label stays readable.
    if (!first.title.empty())
        item->setText(0, QString::fromStdString(first.title));
    if (task.kind == feeds::kKindHeadlineSave ||
        lastHeadlineOfFile(*view.downloads(), task, node.ownerDocument()))
        tree::saveOwnerDocument(node);
}

} // namespace

void CLeftView::OnDownloadComplete(DownloadTask* task) {
    if (!task)
        return;
    politeness_.toldToWait(task->cacheFile, task->retryAfterSeconds);
    if (!task->item)
        return;
    auto* item = static_cast<QTreeWidgetItem*>(task->item);
    try {
        bool newCopy = task->errorText.empty() && !task->cacheFile.empty() && !task->notModified;
        if (newCopy)
            showCopyElsewhere(item, task->cacheFile);
        if (FinishBackgroundDownload(item, *task))
            return;
        if (!task->errorText.empty()) {
            showLoadError(item, task->errorText);
            return;
        }
        if (task->cacheFile.empty())
            return;
        IndexFileLater(task->cacheFile);
        if (task->kind == feeds::kKindFirstLoad) {
            DeleteFirstChild(item);
            LoadTreeFile(task->cacheFile, item, 0);
        } else if (isHeadlineKind(task->kind)) {
            applyHeadline(*this, item, *task);
        } else {
            QTreeWidgetItem* updating = item->childCount() > 0 ? item->child(0) : nullptr;
            if (!updating)
                return;
            LoadTreeFile(task->cacheFile, updating, 0);
            if (updating->childCount() > 0)
                updating->setText(0, updating->child(0)->text(0));
        }
    } catch (...) {
        // The queue's bookkeeping runs whatever happened here.
        kelvor::platform::logCurrentFailure("applying a download");
    }
}
