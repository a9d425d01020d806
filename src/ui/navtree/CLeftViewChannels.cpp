// Channels: expansion by the state of the cached copy, headline updates of
// "hot" files, the refresh command, and what downloads bring.
//
// Downloads belong to the collection service; what the tree asked for comes
// back to it through channelDownloaded, on the window's thread.
#include "collection/CollectionService.h"
#include "frame/CommandGuard.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "navtree/HotHeadlines.h"
#include "tree/ChannelSource.h"
#include "tree/CopyFinder.h"
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

// True when a headline update for the file, other than `finished`, is
// still queued or running: the last one to finish saves, so no headline
// is left unsaved.
bool headlineOfFileWaits(CollectionService& service, const DownloadTask* finished,
                         const Document& file) {
    bool waits = false;
    service.forEachWaiting([&](const DownloadTask& task) {
        if (&task == finished || !isHeadlineKind(task.kind))
            return;
        Node node = CLeftView::nodeOf(static_cast<QTreeWidgetItem*>(task.item));
        if (node && node.ownerDocument() == file)
            waits = true;
    });
    return waits;
}

HotHeadlines::Load* openLoadOf(HotHeadlines* hot, const Document& file) {
    if (hot)
        for (const std::shared_ptr<HotHeadlines::Load>& load : hot->loads)
            if (load->file == file)
                return load.get();
    return nullptr;
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

void CLeftView::UpdateHeadlines(const QList<QTreeWidgetItem*>& channels) {
    if (!hotHeadlines_) {
        hotHeadlines_ = std::make_unique<HotHeadlines>();
        // Answers come back on the window's thread, a batch at a time.
        hotHeadlines_->finder =
            std::make_unique<tree::CopyFinder>([this](std::vector<tree::CopyFinder::Found> found) {
                QMetaObject::invokeMethod(
                    this,
                    [this, found = std::move(found)] {
                        for (const tree::CopyFinder::Found& one : found)
                            tree::runGuarded([&] {
                                headlineCopyFound(static_cast<QTreeWidgetItem*>(one.asker),
                                                  one.ticket, one.copy());
                            });
                    },
                    Qt::QueuedConnection);
            });
    }
    auto load = std::make_shared<HotHeadlines::Load>();
    load->all = hotUpdateMode == HeadlineUpdates::kAll;
    load->file = nodeOf(channels.front()).ownerDocument();
    for (QTreeWidgetItem* item : channels) {
        // A channel without a copy of its own asks an empty question: it
        // is answered in its turn all the same, so the downloads keep the
        // channels' order.
        tree::ChannelCopyQuestion question = tree::channelCopyQuestion(nodeOf(item));
        std::uint64_t ticket = hotHeadlines_->finder->find(item, question);
        hotHeadlines_->asked[item] = {ticket, std::move(question), load};
        load->lastTicket = ticket;
    }
    hotHeadlines_->loads.push_back(std::move(load));
    // The file's headlines are asked for; what is populated later is not
    // a hot file's first level.
    hotUpdateMode = HeadlineUpdates::kNone;
}

bool CLeftView::awaitingHeadlines() const {
    return hotHeadlines_ && !hotHeadlines_->loads.empty();
}

void CLeftView::headlineCopyFound(QTreeWidgetItem* item, std::uint64_t ticket,
                                  const tree::ChannelCopy& copy) {
    std::deque<std::shared_ptr<HotHeadlines::Load>>& loads = hotHeadlines_->loads;
    if (loads.empty())
        return;
    std::shared_ptr<HotHeadlines::Load> load = loads.front();
    // Answers come in the order asked: this one ends its load, even for an item gone.
    bool lastOfLoad = load->lastTicket == ticket;
    if (lastOfLoad)
        loads.pop_front();
    auto asked = hotHeadlines_->asked.find(item);
    if (asked == hotHeadlines_->asked.end() || asked->second.ticket != ticket)
        return; // the item is gone, or was asked for again since
    tree::ChannelCopyQuestion question = std::move(asked->second.question);
    hotHeadlines_->asked.erase(asked);
    Node node = nodeOf(item);
    ChannelAnswer channel;
    channel.result = tree::resolveWithCopy(node, question, copy, channel.source, channel.cacheFile,
                                           channel.feed);
    if (channel.result <= tree::kCacheFresh && !load->all) {
        if (lastOfLoad)
            saveHeadlinesKeptBack(*load, node);
        return;
    }
    // Saving the hot file after every headline would rewrite it once per
    // channel; every tenth update and the last one save, the others wait.
    feeds::DownloadKind kind = lastOfLoad || load->queued % kHeadlineSaveEvery == 0
                                   ? feeds::kKindHeadlineSave
                                   : feeds::kKindHeadline;
    ++load->queued;
    QueueDownload({item, GetNodeAttribute(node, "Title"), GetNodeAttribute(node, "Href"),
                   channel.source, channel.cacheFile, channel.feed, kind});
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

void CLeftView::applyHeadline(QTreeWidgetItem* item, const DownloadTask& task) {
    Node node = nodeOf(item);
    if (!node)
        return;
    tree::CacheFirstItem first = tree::ReadCacheFirstItem(task.cacheFile);
    StoreHeadline(node, first.title, first.href, task.cacheFile, first.desc, first.date);
    // A copy that did not load has no headline; the label stays readable.
    if (!first.title.empty())
        item->setText(0, QString::fromStdString(first.title));
    Document file = node.ownerDocument();
    HotHeadlines::Load* open = openLoadOf(hotHeadlines_.get(), file);
    CollectionService* service = collection();
    bool save = task.kind == feeds::kKindHeadlineSave || !service;
    if (!save && !headlineOfFileWaits(*service, &task, file)) {
        // Copies still looked for may queue more updates of the file; the
        // last of them saves, or the load as it ends.
        if (open)
            open->unsaved = true;
        else
            save = true;
    }
    if (!save)
        return;
    if (open)
        open->unsaved = false;
    tree::saveOwnerDocument(node);
}

void CLeftView::saveHeadlinesKeptBack(HotHeadlines::Load& load, const Node& node) {
    CollectionService* service = collection();
    if (load.unsaved && !(service && headlineOfFileWaits(*service, nullptr, load.file)))
        tree::saveOwnerDocument(node);
    load.unsaved = false;
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
