// Channels: expansion by the state of the cached copy, headline updates of
// "hot" files, the refresh command, and what downloads bring.
//
// Downloads belong to the collection service; what the tree asked for comes
// back to it through channelDownloaded, on the window's thread.
#include "collection/CollectionService.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "tree/ChannelSource.h"
#include "tree/NodeWriting.h"
#include "tree/Strings.h"
#include "tree/TreeFormat.h"

using kelvor::feeds::DownloadRequest;
using kelvor::feeds::DownloadTask;
using kelvor::xml::Document;
using kelvor::xml::Node;
namespace feeds = kelvor::feeds;
namespace tree = kelvor::tree;
namespace str = kelvor::str;

namespace {

constexpr int kHeadlineSaveEvery = 10;

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

void CLeftView::QueueDownload(DownloadRequest request) {
    if (CollectionService* service = collection())
        service->download(std::move(request));
}

void CLeftView::QueueDownloadFirst(DownloadRequest request) {
    if (CollectionService* service = collection())
        service->downloadFirst(std::move(request));
}

// ---- expansion and headlines --------------------------------------------------

void CLeftView::ExpandChannel(QTreeWidgetItem* item, const Node& node) {
    ChannelAnswer channel = resolve(node);
    std::string title = GetNodeAttribute(node, "Title");
    std::string href = GetNodeAttribute(node, "Href");
    switch (channel.result) {
    case tree::kLocalFile:
        DeleteFirstChild(item);
        LoadTreeFile(channel.source, item);
        break;
    case tree::kCacheFresh:
        DeleteFirstChild(item);
        LoadTreeFile(channel.cacheFile, item);
        break;
    case tree::kCacheExpired:
        // The old entries show at once, under the placeholder that now
        // announces the update.
        LoadTreeFile(channel.cacheFile, item);
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
    if (channel.result <= tree::kCacheFresh && hotUpdateMode != HeadlineUpdates::kAll)
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
            hotUpdateMode = HeadlineUpdates::kNone;
    } catch (const kelvor::xml::DomError&) {
        hotUpdateMode = HeadlineUpdates::kNone;
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
    if (CollectionService* service = collection())
        service->forgetRequesters([selected](void* item) {
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
        LoadTreeFile(channel.source, selected, hot ? LoadMode::kAllHeadlines : LoadMode::kAsFileSays);
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
bool lastHeadlineOfFile(CollectionService& service, const DownloadTask& finished,
                        const Document& file) {
    bool last = true;
    service.forEachWaiting([&](const DownloadTask& task) {
        if (&task == &finished || !isHeadlineKind(task.kind))
            return;
        Node node = CLeftView::nodeOf(static_cast<QTreeWidgetItem*>(task.item));
        if (node && node.ownerDocument() == file)
            last = false;
    });
    return last;
}

} // namespace

void CLeftView::applyHeadline(QTreeWidgetItem* item, const DownloadTask& task) {
    Node node = nodeOf(item);
    if (!node)
        return;
    tree::CacheFirstItem first = tree::ReadCacheFirstItem(task.cacheFile);
    StoreHeadline(node, first.title, first.href, task.cacheFile, first.desc, first.date);
    // A copy that did not load has no headline; the label stays readable.
    if (!first.title.empty())
        item->setText(0, QString::fromStdString(first.title));
    CollectionService* service = collection();
    if (task.kind == feeds::kKindHeadlineSave || !service ||
        lastHeadlineOfFile(*service, task, node.ownerDocument()))
        tree::saveOwnerDocument(node);
}

void CLeftView::OnDownloadComplete(const DownloadTask& task, bool byUpdate) {
    auto* item = static_cast<QTreeWidgetItem*>(task.item);
    bool failed = !task.errorText.empty() || task.cacheFile.empty();
    if (byUpdate) {
        // A failed update keeps the entries that were there, and an
        // unchanged feed has nothing to show.
        if (failed || task.notModified)
            return;
        if (task.kind == feeds::kKindFirstLoad)
            reloadInBackground(item, task.cacheFile);
        else if (isHeadlineKind(task.kind))
            applyHeadline(item, task);
        return;
    }
    if (!task.errorText.empty()) {
        showLoadError(item, task.errorText);
        return;
    }
    if (task.cacheFile.empty())
        return;
    IndexFileLater(task.cacheFile);
    if (task.kind == feeds::kKindFirstLoad) {
        DeleteFirstChild(item);
        LoadTreeFile(task.cacheFile, item);
    } else if (isHeadlineKind(task.kind)) {
        applyHeadline(item, task);
    } else {
        QTreeWidgetItem* updating = item->childCount() > 0 ? item->child(0) : nullptr;
        if (!updating)
            return;
        LoadTreeFile(task.cacheFile, updating);
        if (updating->childCount() > 0)
            updating->setText(0, updating->child(0)->text(0));
    }
}
