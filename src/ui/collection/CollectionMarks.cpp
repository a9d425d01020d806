// The collection's side of kelvor.db: files written are indexed again at
// once, and the read marks are kept. All database work runs on the store's
// worker thread, in the order asked; answers come back through queued calls.
//
// A channel's state (unread count, read entries) always comes from the
// store, computed after every mark queued before it, so the tree, the pages
// and the index agree.
#include "collection/CollectionService.h"

#include "store/ChannelMarks.h"
#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Store.h"
#include "store/TreeFileItems.h"

#include <QMetaObject>

#include <algorithm>

namespace store = kelvor::store;

template <class Job> void CollectionService::post(Job job) {
    if (store_)
        store_->worker().post(std::move(job));
}

std::string CollectionService::entryKeyOf(const std::string& title, const std::string& href,
                                          const std::string& date) {
    return store::entryKeyOf(title, href, date);
}

void CollectionService::indexFile(const std::string& path) {
    if (!store_ || path.empty())
        return;
    post([this, path](store::Store& db) {
        if (!closing()) // the next start's update reads it
            store::indexFile(db, path);
    });
    if (kelvor::tree::isCachePath(path, home_))
        requestChannelState(path);
}

void CollectionService::indexArrivals(const std::string& path,
                                      std::function<void(ChannelNews)> arrived) {
    constexpr size_t kTitlesTold = 3;
    if (!store_) {
        arrived({});
        return;
    }
    // The answer goes back when the job is done with, whether it ran, failed
    // or could not open the database: an update always ends.
    auto news = std::shared_ptr<ChannelNews>(new ChannelNews{path, {}, 0, {}},
                                             [this, arrived](ChannelNews* found) {
        ChannelNews told = std::move(*found);
        delete found;
        QMetaObject::invokeMethod(
            this, [arrived, told = std::move(told)] { arrived(told); }, Qt::QueuedConnection);
    });
    post([this, path, news](store::Store& db) {
        if (closing())
            return;
        std::vector<std::string> before = store::entriesOfFile(db, path);
        store::indexFile(db, path);
        for (const store::EntryTitle& entry : store::entryTitlesOfFile(db, path)) {
            if (std::binary_search(before.begin(), before.end(), entry.entry))
                continue;
            ++news->count;
            if (news->titles.size() < kTitlesTold)
                news->titles.push_back(entry.title);
        }
    });
    requestChannelState(path);
}

void CollectionService::requestChannelState(const std::string& cacheFile) {
    post([this, cacheFile](store::Store& db) { answerChannelState(db, cacheFile); });
}

// On the store's thread.
void CollectionService::answerChannelState(store::Store& db, const std::string& cacheFile) {
    if (closing())
        return; // no window to tell
    std::string channel = store::channelOfCacheFile(db, cacheFile);
    int unread = channel.empty() ? 0 : store::unreadCount(db, channel);
    std::vector<std::string> read = store::readEntries(db, channel);
    QMetaObject::invokeMethod(
        this,
        [this, cacheFile, unread, read] {
            emit channelStateChanged(cacheFile, unread, read);
            kelvor::app::readMarksChanged(cacheFile);
        },
        Qt::QueuedConnection);
}

void CollectionService::setEntryRead(const std::string& cacheFile, const std::string& key, bool read) {
    post([cacheFile, key, read](store::Store& db) {
        std::string channel = store::channelOfCacheFile(db, cacheFile);
        if (!channel.empty())
            store::setRead(db, channel, key, read);
    });
    requestChannelState(cacheFile);
}

void CollectionService::markAllRead(std::vector<std::string> shown, std::string file,
                                    std::string position) {
    // The file is read again on the store's thread, not walked by the tree.
    post([this, shown, file, position](store::Store& db) {
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

void CollectionService::markIndexedEntryRead(const std::string& channel, const std::string& entry,
                                             const std::set<std::string>& names) {
    if (!store_ || channel.empty() || entry.empty())
        return;
    post([channel, entry](store::Store& db) { store::setRead(db, channel, entry, true); });
    for (const std::string& name : names)
        requestChannelState(name);
}

void CollectionService::RequestPageMarks(const std::string& path, PageMarksAnswer answer) {
    if (path.empty())
        return;
    post([this, path, answer](store::Store& db) {
        if (closing())
            return;
        store::PageMarks marks = store::pageMarksOf(db, path);
        QMetaObject::invokeMethod(this, [answer, marks] { answer(marks); }, Qt::QueuedConnection);
    });
}

void CollectionService::MarkLinkRead(const std::string& cacheFile, const std::string& link) {
    if (cacheFile.empty() || link.empty())
        return;
    setEntryRead(cacheFile, store::entryKeyOf("", link, ""), true);
}
