// The tree's side of kelvor.db: files the tree writes are indexed again at
// once, entries of channels are bold until read, and channels show how many
// of their entries are unread. All database work runs on the StoreQueue's
// thread; answers come back through queued calls.
//
// A count shown in the tree always comes from the store, computed after
// every mark queued before it, so the tree and the index agree. Pages of
// channels and hot categories ask the same queue and are told whenever a
// channel's state came back.
#include "navtree/CLeftView.h"
#include "collection/CollectionStore.h"
#include "navtree/StoreQueue.h"
#include "platform/HomeFolder.h"
#include "store/ChannelMarks.h"
#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Store.h"
#include "store/TreeFileItems.h"
#include "tree/ChannelSource.h"
#include "tree/TreeFileChannels.h"

#include <QMetaObject>

#include <algorithm>

using kelvor::xml::Node;
namespace store = kelvor::store;
namespace tree = kelvor::tree;

namespace {

std::string cacheFileOf(QTreeWidgetItem* item) {
    return item ? item->data(0, CLeftView::kCacheFileRole).toString().toStdString() : std::string();
}

// The local file a node was loaded from ("" for one fetched from the web).
std::string fileOfNode(const Node& node) {
    try {
        std::string url = node.ownerDocument().url();
        if (url.rfind("file://", 0) == 0)
            return kelvor::platform::pathOfFileAddress(url);
    } catch (const kelvor::xml::DomError&) {
    }
    return {};
}

void setUnreadLook(QTreeWidgetItem* item, bool unread) {
    item->setData(0, CLeftView::kEntryUnreadRole, unread);
    QFont font = item->font(0);
    font.setBold(unread);
    item->setFont(0, font);
}

} // namespace

CollectionStore* CLeftView::collectionStore() {
    const std::string& home = kelvor::platform::programFolder();
    if (home.empty() || collectionGone_)
        return nullptr;
    if (collection_ && collection_->home() == home)
        return collection_;
    if (!ownStore_ || ownStore_->home() != home)
        ownStore_ = std::make_unique<CollectionStore>(home);
    return ownStore_.get();
}

StoreQueue* CLeftView::storeQueue() {
    CollectionStore* collection = collectionStore();
    return collection ? &collection->worker() : nullptr;
}

// ---- indexing what the tree writes ---------------------------------------------

void CLeftView::IndexFileLater(const std::string& path) {
    StoreQueue* queue = storeQueue();
    if (!queue || path.empty())
        return;
    queue->post([path](store::Store& db) { store::indexFile(db, path); });
    if (store::isCachePath(path, queue->home()))
        requestChannelState(path);
}

void CLeftView::IndexArrivalsLater(const std::string& path, std::function<void(int)> arrived) {
    StoreQueue* queue = storeQueue();
    if (!queue) {
        arrived(0);
        return;
    }
    // The answer goes back when the job is done with, whether it ran, failed
    // or could not open the database: a background update always ends.
    auto count = std::shared_ptr<int>(new int(0), [this, arrived](int* found) {
        int n = *found;
        delete found;
        QMetaObject::invokeMethod(this, [arrived, n] { arrived(n); }, Qt::QueuedConnection);
    });
    queue->post([path, count](store::Store& db) {
        std::vector<std::string> before = store::entriesOfFile(db, path);
        store::indexFile(db, path);
        for (const std::string& entry : store::entriesOfFile(db, path))
            *count += !std::binary_search(before.begin(), before.end(), entry);
    });
    requestChannelState(path);
}

void CLeftView::IndexDocumentLater(const Node& node) {
    std::string file = node ? fileOfNode(node) : std::string();
    if (!file.empty())
        IndexFileLater(file);
}

// ---- which items are channels and entries ------------------------------------------

void CLeftView::TrackEntries(QTreeWidgetItem* parent, const std::string& cacheFile, int firstNew) {
    if (!parent || cacheFile.empty())
        return;
    for (int i = firstNew; i < parent->childCount(); ++i) {
        QTreeWidgetItem* entry = parent->child(i);
        Node node = nodeOf(entry);
        if (!node)
            continue;
        entry->setData(0, kCacheFileRole, QString::fromStdString(cacheFile));
        entry->setData(0, kEntryKeyRole,
                       QString::fromStdString(store::entryKeyOf(GetNodeAttribute(node, "Title"),
                                                                GetNodeAttribute(node, "Href"),
                                                                GetNodeAttribute(node, "Date"))));
    }
    // An update loads its entries under the "updating" line, which has no node.
    QTreeWidgetItem* channel = nodeOf(parent) ? parent : parent->parent();
    if (channel && cacheFileOf(channel) != cacheFile) {
        forgetItemInMarks(channel);
        channel->setData(0, kCacheFileRole, QString::fromStdString(cacheFile));
        channelItems_.emplace(cacheFile, channel);
    }
    requestChannelState(cacheFile);
}

void CLeftView::TrackChannel(QTreeWidgetItem* item) {
    Node node = nodeOf(item);
    if (!node || IsEntry(item) || !cacheFileOf(item).empty())
        return;
    std::string source, cacheFile, feed;
    int result = tree::ResolveChannelSource(node, source, cacheFile, feed);
    if (result == tree::kNotChannel || result == tree::kLocalFile || cacheFile.empty())
        return;
    item->setData(0, kCacheFileRole, QString::fromStdString(cacheFile));
    channelItems_.emplace(cacheFile, item);
    requestChannelState(cacheFile);
}

void CLeftView::forgetItemInMarks(QTreeWidgetItem* item) {
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
    StoreQueue* queue = storeQueue();
    if (!queue)
        return;
    queue->post([this, cacheFile](store::Store& db) { answerChannelState(db, cacheFile); });
}

void CLeftView::answerChannelState(store::Store& db, const std::string& cacheFile) {
    std::string channel = store::channelOfCacheFile(db, cacheFile);
    int unread = channel.empty() ? 0 : store::unreadCount(db, channel);
    std::vector<std::string> read = store::readEntries(db, channel);
    QMetaObject::invokeMethod(
        this, [this, cacheFile, unread, read] { ApplyChannelState(cacheFile, unread, read); },
        Qt::QueuedConnection);
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
        // Entries are the channel's children, or those of its "updating" line.
        for (int i = 0; i < channel->childCount(); ++i) {
            QTreeWidgetItem* child = channel->child(i);
            if (IsEntry(child) && cacheFileOf(child) == cacheFile)
                setUnreadLook(child, !isRead(child));
            for (int j = 0; !nodeOf(child) && j < child->childCount(); ++j)
                if (IsEntry(child->child(j)) && cacheFileOf(child->child(j)) == cacheFile)
                    setUnreadLook(child->child(j), !isRead(child->child(j)));
        }
    }
    kelvor::app::readMarksChanged(cacheFile);
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
            it->second->setData(0, kUnreadCountRole,
                                std::max(0, UnreadCountOf(it->second) + (read ? -1 : 1)));
    }
    StoreQueue* queue = storeQueue();
    if (!queue)
        return;
    queue->post([cacheFile, key, read](store::Store& db) {
        std::string channel = store::channelOfCacheFile(db, cacheFile);
        if (!channel.empty())
            store::setRead(db, channel, key, read);
    });
    requestChannelState(cacheFile);
}

void CLeftView::MarkOpened(QTreeWidgetItem* item) {
    if (IsEntryUnread(item))
        SetEntryRead(item, true);
}

void CLeftView::MarkAllRead(QTreeWidgetItem* item) {
    StoreQueue* queue = storeQueue();
    if (!item || !queue)
        return;
    // The channels the tree shows, and those of the item's file from its
    // place down, through local categories never opened: the file is read
    // again on the store's thread, not walked here.
    std::vector<std::string> shown;
    for (const auto& [cacheFile, channel] : channelItems_)
        if (CLeftView::IsWithin(item, channel) && (shown.empty() || shown.back() != cacheFile))
            shown.push_back(cacheFile);
    Node node = nodeOf(item);
    std::string file = node ? fileOfNode(node) : std::string();
    std::string position = file.empty() ? std::string() : tree::positionOf(node);
    queue->post([this, shown, file, position](store::Store& db) {
        std::vector<std::string> marked =
            file.empty() ? std::vector<std::string>() : store::markAllReadUnder(db, file, position);
        for (const std::string& cacheFile : shown)
            if (std::find(marked.begin(), marked.end(), cacheFile) == marked.end()) {
                std::string channel = store::channelOfCacheFile(db, cacheFile);
                if (!channel.empty())
                    store::markChannelRead(db, channel);
                marked.push_back(cacheFile);
            }
        for (const std::string& cacheFile : marked)
            answerChannelState(db, cacheFile);
    });
}

// ---- pages ------------------------------------------------------------------------

void CLeftView::RequestPageMarks(const std::string& path, PageMarksAnswer answer) {
    StoreQueue* queue = storeQueue();
    if (!queue || path.empty())
        return;
    queue->post([this, path, answer](store::Store& db) {
        store::PageMarks marks = store::pageMarksOf(db, path);
        QMetaObject::invokeMethod(this, [answer, marks] { answer(marks); }, Qt::QueuedConnection);
    });
}

void CLeftView::MarkLinkRead(const std::string& cacheFile, const std::string& link) {
    StoreQueue* queue = storeQueue();
    if (!queue || cacheFile.empty() || link.empty())
        return;
    std::string key = store::entryKeyOf("", link, "");
    queue->post([cacheFile, key](store::Store& db) {
        std::string channel = store::channelOfCacheFile(db, cacheFile);
        if (!channel.empty())
            store::setRead(db, channel, key, true);
    });
    requestChannelState(cacheFile);
}
