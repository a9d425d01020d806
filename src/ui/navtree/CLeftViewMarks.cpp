// The tree's side of the collection: files the tree writes are indexed
// again at once, entries of channels are bold until read, and channels show
// how many of their entries are unread. The collection service does the
// database work off the window's thread and tells the state of a channel
// back through channelStateChanged; a count shown in the tree always comes
// from there, so the tree and the index agree.
#include "collection/CollectionService.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"
#include "platform/Log.h"
#include "tree/ChannelSource.h"
#include "tree/CopyFinder.h"
#include "tree/TreeFileChannels.h"

#include <QTimer>

#include <algorithm>

using kelvor::xml::Node;
namespace tree = kelvor::tree;

namespace {

std::string cacheFileOf(QTreeWidgetItem* item) {
    return item ? item->data(0, CLeftView::kCacheFileRole).toString().toStdString() : std::string();
}

void setUnreadLook(QTreeWidgetItem* item, bool unread) {
    item->setData(0, CLeftView::kEntryUnreadRole, unread);
    QFont font = item->font(0);
    font.setBold(unread);
    item->setFont(0, font);
}

} // namespace

void CLeftView::setCollection(CollectionService* collection) {
    collection_ = collection;
    listenTo(collection);
}

void CLeftView::releaseCollection() {
    collection_ = nullptr;
    ownCollection_.reset();
    collectionGone_ = true;
}

CollectionService* CLeftView::collection() {
    if (collection_ || collectionGone_)
        return collection_;
    if (!ownCollection_) {
        ownCollection_ = std::make_unique<CollectionService>(kelvor::platform::programFolder());
        listenTo(ownCollection_.get());
        // Nobody else listens to a view's own service: its words go to the
        // frame's status bar, when there is a frame.
        connect(ownCollection_.get(), &CollectionService::statusChanged, this,
                [](const QString& text) { ShowStatus(text.toStdString()); });
    }
    return ownCollection_.get();
}

void CLeftView::listenTo(CollectionService* collection) {
    if (!collection)
        return;
    connect(collection, &CollectionService::copyRenewed, this,
            [this](const std::string& cacheFile, void* requester) {
                showCopyElsewhere(static_cast<QTreeWidgetItem*>(requester), cacheFile);
            });
    connect(collection, &CollectionService::channelDownloaded, this,
            &CLeftView::OnDownloadComplete);
    connect(collection, &CollectionService::channelStateChanged, this,
            &CLeftView::ApplyChannelState);
    connect(collection, &CollectionService::syncFinished, this,
            [this](bool, const QString&, const QStringList&,
                   const std::vector<std::string>& files) { ShowFilesChangedOutside(files); });
    collection->setShownFiles([this] {
        std::set<std::string> files;
        for (const CategoryEntry& category : categories)
            files.insert(category.path);
        return files;
    });
}

std::string CLeftView::LocalFileOf(const Node& node) {
    try {
        std::string url = node.ownerDocument().url();
        if (url.rfind("file://", 0) == 0)
            return kelvor::platform::pathOfFileAddress(url);
    } catch (const kelvor::xml::DomError&) {
    }
    return {};
}

// ---- indexing what the tree writes ---------------------------------------------

void CLeftView::IndexFileLater(const std::string& path) {
    if (CollectionService* service = collection())
        service->indexFile(path);
}

void CLeftView::IndexDocumentLater(const Node& node) {
    std::string file = node ? LocalFileOf(node) : std::string();
    if (!file.empty())
        IndexFileLater(file);
}

// ---- which items are channels and entries ------------------------------------------

void CLeftView::TrackEntries(QTreeWidgetItem* parent, const std::string& cacheFile, int firstNew) {
    if (!parent || cacheFile.empty())
        return;
    std::vector<std::string> syncedKeys;
    // One string shared by every entry: a thousand channels open hold
    // 200,000 entries.
    const QString sharedCacheFile = QString::fromStdString(cacheFile);
    for (int i = firstNew; i < parent->childCount(); ++i) {
        QTreeWidgetItem* entry = parent->child(i);
        Node node = nodeOf(entry);
        if (!node)
            continue;
        std::string key = CollectionService::entryKeyOf(GetNodeAttribute(node, "Title"),
                                                        GetNodeAttribute(node, "Href"),
                                                        GetNodeAttribute(node, "Date"));
        entry->setData(0, kCacheFileRole, sharedCacheFile);
        entry->setData(0, kEntryKeyRole, QString::fromStdString(key));
        if (IsSyncedEntry(entry)) {
            // The copy's star at once; the store's, with stars not sent yet, follows.
            entry->setData(0, kStarredRole, GetNodeAttribute(node, "Starred") == "1");
            syncedKeys.push_back(std::move(key));
        }
    }
    if (!syncedKeys.empty())
        requestStars(cacheFile, syncedKeys);
    // An update loads its entries under the "updating" line, which has no node.
    QTreeWidgetItem* channel = nodeOf(parent) ? parent : parent->parent();
    if (channel && cacheFileOf(channel) != cacheFile) {
        forgetItemInMarks(channel);
        channel->setData(0, kCacheFileRole, QString::fromStdString(cacheFile));
        channelItems_.emplace(cacheFile, channel);
    }
    requestChannelState(cacheFile);
    showHistoryLine(cacheFile);
}

void CLeftView::TrackChannel(QTreeWidgetItem* item) {
    Node node = nodeOf(item);
    if (!node || IsEntry(item) || !cacheFileOf(item).empty())
        return;
    tree::ChannelCopyQuestion question = tree::channelCopyQuestion(node);
    if (question.first.empty())
        return;
    // Which file is the copy only its header tells: it is read off the
    // window's thread, and the count follows the answer.
    locatingCopies_[item] = copyFinder().find(item, std::move(question));
}

tree::CopyFinder& CLeftView::copyFinder() {
    if (copyFinder_)
        return *copyFinder_;
    // Answers come back on the window's thread; the finder goes before the
    // view, so none reaches a view being destroyed.
    auto deliver = [this](std::vector<tree::CopyFinder::Found> found) {
        QMetaObject::invokeMethod(
            this,
            [this, found = std::move(found)] {
                for (const tree::CopyFinder::Found& copy : found)
                    copyFound(static_cast<QTreeWidgetItem*>(copy.asker), copy.ticket, copy.path);
            },
            Qt::QueuedConnection);
    };
    copyFinder_ = std::make_unique<tree::CopyFinder>(deliver);
    return *copyFinder_;
}

void CLeftView::copyFound(QTreeWidgetItem* item, std::uint64_t ticket,
                          const std::string& cacheFile) {
    auto asked = locatingCopies_.find(item);
    if (asked == locatingCopies_.end() || asked->second != ticket)
        return; // the item is gone, or was asked for again since
    locatingCopies_.erase(asked);
    adoptCopy(item, cacheFile);
}

void CLeftView::adoptCopy(QTreeWidgetItem* item, const std::string& cacheFile) {
    if (!cacheFileOf(item).empty())
        return; // its entries, loaded meanwhile, named the copy
    item->setData(0, kCacheFileRole, QString::fromStdString(cacheFile));
    channelItems_.emplace(cacheFile, item);
    requestChannelState(cacheFile);
}

void CLeftView::settleCopiesBeingLocated() {
    // The answers still to come are ignored: their tickets are gone.
    auto locating = std::move(locatingCopies_);
    locatingCopies_.clear();
    for (const auto& [channel, ticket] : locating) {
        std::string source, cacheFile, feed;
        try {
            if (tree::hasFeedToAsk(
                    tree::ResolveChannelSource(nodeOf(channel), source, cacheFile, feed)))
                adoptCopy(channel, cacheFile);
        } catch (...) {
            kelvor::platform::logCurrentFailure("looking for the copy of a channel");
        }
    }
}

void CLeftView::forgetItemInMarks(QTreeWidgetItem* item) {
    locatingCopies_.erase(item);
    foldersToSum_.erase(item);
    std::string cacheFile = cacheFileOf(item);
    if (cacheFile.empty())
        return;
    auto range = channelItems_.equal_range(cacheFile);
    for (auto it = range.first; it != range.second; ++it)
        if (it->second == item) {
            channelItems_.erase(it);
            return;
        }
}

bool CLeftView::IsEntry(QTreeWidgetItem* item) {
    return item && item->data(0, kEntryKeyRole).isValid();
}

bool CLeftView::IsEntryUnread(QTreeWidgetItem* item) {
    return IsEntry(item) && item->data(0, kEntryUnreadRole).toBool();
}

int CLeftView::UnreadCountOf(QTreeWidgetItem* item) {
    QVariant count = item ? item->data(0, kUnreadCountRole) : QVariant();
    return count.isValid() ? count.toInt() : -1;
}

// ---- asking the store and showing its answer ----------------------------------------

void CLeftView::requestChannelState(const std::string& cacheFile) {
    if (CollectionService* service = collection())
        service->requestChannelState(cacheFile);
}

void CLeftView::ApplyChannelState(const std::string& cacheFile, int unread,
                                  const std::vector<std::string>& readEntries) {
    auto isRead = [&readEntries](QTreeWidgetItem* entry) {
        std::string key = entry->data(0, kEntryKeyRole).toString().toStdString();
        return std::binary_search(readEntries.begin(), readEntries.end(), key);
    };
    auto range = channelItems_.equal_range(cacheFile);
    for (auto it = range.first; it != range.second; ++it) {
        QTreeWidgetItem* channel = it->second;
        channel->setData(0, kUnreadCountRole, unread);
        sumFolderSoon(channel->parent());
        // Entries are the channel's children, or those of its "updating" line.
        for (int i = 0; i < channel->childCount(); ++i) {
            QTreeWidgetItem* child = channel->child(i);
            if (IsEntry(child) && cacheFileOf(child) == cacheFile)
                setUnreadLook(child, !isRead(child));
            for (int j = 0; !nodeOf(child) && j < child->childCount(); ++j)
                if (IsEntry(child->child(j)) && cacheFileOf(child->child(j)) == cacheFile)
                    setUnreadLook(child->child(j), !isRead(child->child(j)));
        }
        showEntriesAsChosen(channel);
    }
    continueUnreadWalk(cacheFile);
}

void CLeftView::setUnreadCount(QTreeWidgetItem* channel, int count) {
    channel->setData(0, kUnreadCountRole, count);
    sumFolders(channel->parent());
}

// The store answers for a thousand channels of a folder in a burst: summing
// the folder's thousand children after each answer kept the window busy.
void CLeftView::sumFolderSoon(QTreeWidgetItem* folder) {
    constexpr int kSumEveryMs = 50;
    if (!folder)
        return;
    if (foldersToSum_.empty())
        QTimer::singleShot(kSumEveryMs, this, [this] {
            std::set<QTreeWidgetItem*> folders;
            folders.swap(foldersToSum_);
            for (QTreeWidgetItem* folder : folders)
                sumFolders(folder);
        });
    foldersToSum_.insert(folder);
}

// A folder shows the sum of the counts of the channels and folders in it,
// and so do the folders around it.
void CLeftView::sumFolders(QTreeWidgetItem* innermost) {
    for (QTreeWidgetItem* folder = innermost; folder && !IsEntry(folder);
         folder = folder->parent()) {
        if (!cacheFileOf(folder).empty())
            break; // a channel's own children are its entries
        int sum = 0;
        for (int i = 0; i < folder->childCount(); ++i)
            if (!IsEntry(folder->child(i)))
                sum += std::max(0, UnreadCountOf(folder->child(i)));
        folder->setData(0, kUnreadCountRole, sum > 0 ? QVariant(sum) : QVariant());
    }
}

// ---- marking ----------------------------------------------------------------------

void CLeftView::SetEntryRead(QTreeWidgetItem* item, bool read) {
    if (!IsEntry(item))
        return;
    std::string cacheFile = cacheFileOf(item);
    std::string key = item->data(0, kEntryKeyRole).toString().toStdString();
    if (IsEntryUnread(item) == read) {
        // The count answers at once; the store's answer follows.
        setUnreadLook(item, !read);
        auto range = channelItems_.equal_range(cacheFile);
        for (auto it = range.first; it != range.second; ++it)
            setUnreadCount(it->second, std::max(0, UnreadCountOf(it->second) + (read ? -1 : 1)));
    }
    if (CollectionService* service = collection())
        service->setEntryRead(cacheFile, key, read);
}

void CLeftView::MarkOpened(QTreeWidgetItem* item) {
    if (IsEntryUnread(item))
        SetEntryRead(item, true);
}

void CLeftView::MarkAllRead(QTreeWidgetItem* item) {
    CollectionService* service = collection();
    if (!item || !service)
        return;
    // The channels the tree shows, and those of the item's file from its
    // place down, through local categories never opened.
    settleCopiesBeingLocated();
    std::vector<std::string> shown;
    for (const auto& [cacheFile, channel] : channelItems_)
        if (CLeftView::IsWithin(item, channel) && (shown.empty() || shown.back() != cacheFile))
            shown.push_back(cacheFile);
    Node node = nodeOf(item);
    std::string file = node ? LocalFileOf(node) : std::string();
    std::string position = file.empty() ? std::string() : tree::positionOf(node);
    service->markAllRead(std::move(shown), file, position);
}
