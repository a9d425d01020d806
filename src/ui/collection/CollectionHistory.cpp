// The channels' history on the store's thread: the limits the user set, the
// entries of a channel that left its feed, clearing it with the cache.
#include "collection/CollectionService.h"

#include "store/History.h"
#include "store/Store.h"

#include <QMetaObject>

namespace store = kelvor::store;

void CollectionService::setHistoryLimits(int keepDays, int keepPerChannel) {
    if (!store_)
        return;
    store_->worker().post([keepDays, keepPerChannel](store::Store& db) {
        store::setHistoryOptions(db, {keepDays, keepPerChannel});
    });
}

void CollectionService::requestHistory(const std::string& cacheFile, size_t limit,
                                       HistoryAnswer answer) {
    if (!store_)
        return;
    store_->worker().post([this, cacheFile, limit, answer](store::Store& db) {
        if (closing())
            return;
        std::vector<store::HistoryEntry> found = store::historyOf(db, cacheFile, limit);
        size_t total = found.size() < limit ? found.size() : store::historyCount(db, cacheFile);
        std::vector<HistoryItem> items;
        for (store::HistoryEntry& entry : found)
            items.push_back({std::move(entry.title), std::move(entry.link), std::move(entry.date),
                             std::move(entry.description), std::move(entry.entry), entry.read});
        QMetaObject::invokeMethod(
            this, [answer, items = std::move(items), total] { answer(items, total); },
            Qt::QueuedConnection);
    });
}

void CollectionService::clearHistory() {
    if (store_)
        store_->worker().post([](store::Store& db) { store::clearHistory(db); });
}
