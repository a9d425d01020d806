// The tree's side of the sync with a Tiny Tiny RSS server. Entries of a
// synced channel carry the server's article id (SyncId) in its copy and may
// be starred; a star set here shows at once and reaches the server at the
// next sync. The copy says what the server had at the last sync, the store
// what was starred since, so the copy's star is shown first and the
// store's answer after it.
#include "collection/CollectionService.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"

#include <QPointer>

using kelvor::xml::Node;

bool CLeftView::IsSyncedEntry(QTreeWidgetItem* item) {
    Node node = nodeOf(item);
    return IsEntry(item) && node && !GetNodeAttribute(node, "SyncId").empty();
}

bool CLeftView::IsEntryStarred(QTreeWidgetItem* item) {
    return item && item->data(0, kStarredRole).toBool();
}

namespace {

// Calls `visit` on every entry item of the copy with the key, wherever the
// channel is shown (under its "updating" line too).
template <class Visit>
void forEachEntryOf(const std::multimap<std::string, QTreeWidgetItem*>& channels,
                    const std::string& cacheFile, Visit visit) {
    auto range = channels.equal_range(cacheFile);
    for (auto it = range.first; it != range.second; ++it) {
        QTreeWidgetItem* channel = it->second;
        for (int i = 0; i < channel->childCount(); ++i) {
            QTreeWidgetItem* child = channel->child(i);
            if (CLeftView::IsSyncedEntry(child))
                visit(child);
            for (int j = 0; !CLeftView::nodeOf(child) && j < child->childCount(); ++j)
                if (CLeftView::IsSyncedEntry(child->child(j)))
                    visit(child->child(j));
        }
    }
}

std::string keyOf(QTreeWidgetItem* item) {
    return item->data(0, CLeftView::kEntryKeyRole).toString().toStdString();
}

} // namespace

void CLeftView::SetEntryStarred(QTreeWidgetItem* item, bool starred) {
    if (!IsSyncedEntry(item))
        return;
    std::string cacheFile = item->data(0, kCacheFileRole).toString().toStdString();
    std::string key = keyOf(item);
    ++starsSetByHand_[cacheFile + "\n" + key];
    item->setData(0, kStarredRole, starred);
    forEachEntryOf(channelItems_, cacheFile, [&](QTreeWidgetItem* entry) {
        if (keyOf(entry) == key)
            entry->setData(0, kStarredRole, starred);
    });
    if (CollectionService* service = collection()) {
        service->setEntryStarred(cacheFile, key, starred);
    }
}

void CLeftView::requestStars(const std::string& cacheFile, const std::vector<std::string>& keys) {
    CollectionService* service = collection();
    if (!service)
        return;
    QPointer<CLeftView> self(this);
    std::map<std::string, unsigned> asked;
    for (const std::string& key : keys) {
        auto byHand = starsSetByHand_.find(cacheFile + "\n" + key);
        asked[key] = byHand == starsSetByHand_.end() ? 0 : byHand->second;
    }
    service->requestStars(cacheFile, keys,
                          [self, cacheFile, asked](const std::set<std::string>& starred) {
                              if (self)
                                  self->applyStars(cacheFile, asked, starred);
                          });
}

void CLeftView::applyStars(const std::string& cacheFile,
                           const std::map<std::string, unsigned>& asked,
                           const std::set<std::string>& starred) {
    forEachEntryOf(channelItems_, cacheFile, [&](QTreeWidgetItem* entry) {
        std::string key = keyOf(entry);
        auto it = asked.find(key);
        auto byHand = starsSetByHand_.find(cacheFile + "\n" + key);
        unsigned now = byHand == starsSetByHand_.end() ? 0 : byHand->second;
        if (it != asked.end() && it->second == now) // else starred by hand since it was asked
            entry->setData(0, kStarredRole, starred.count(key) > 0);
    });
}

void CLeftView::ShowFilesChangedOutside(const std::vector<std::string>& files) {
    for (const std::string& file : files)
        showFileAgain(kelvor::platform::normalPath(file), true);
}
