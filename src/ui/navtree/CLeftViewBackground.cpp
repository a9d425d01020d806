// What the automatic update asks and shows. On each tick (and on 立即更新)
// the collection service asks every channel the user can see (expanded
// ones) and those of hot categories; this side names the channels the tree
// shows and puts their new copies in place. Nothing the user is looking at
// moves: the selected entry stays selected, the scroll position stays, the
// focus is not touched.
#include "collection/CollectionService.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "tree/ChannelSource.h"
#include "tree/NodeWriting.h"
#include "tree/TreeFormat.h"

#include <QScrollBar>

#include <set>

using kelvor::feeds::DownloadTask;
using kelvor::xml::Node;
namespace feeds = kelvor::feeds;
namespace tree = kelvor::tree;

namespace {

bool isHot(const Node& node) {
    try {
        return tree::ownerTreeInfo(node).type == "hot";
    } catch (const kelvor::xml::DomError&) {
        return false;
    }
}

} // namespace

bool CLeftView::StartBackgroundUpdate() {
    CollectionService* service = collection();
    if (!service || service->updateRunning())
        return false;
    std::vector<QTreeWidgetItem*> tracked;
    for (const auto& [copy, item] : channelItems_)
        tracked.push_back(item);
    // Those whose copy is still being looked for are asked as well.
    for (const auto& [item, ticket] : locatingCopies_)
        tracked.push_back(item);
    std::vector<feeds::DownloadRequest> channels;
    for (QTreeWidgetItem* item : tracked) {
        Node node = nodeOf(item);
        if (!node)
            continue;
        bool shown = item->isExpanded();
        if (!shown && !isHot(node))
            continue;
        std::string source, cacheFile, feed;
        if (!tree::hasFeedToAsk(tree::ResolveChannelSource(node, source, cacheFile, feed)))
            continue;
        channels.push_back({item, GetNodeAttribute(node, "Title"), GetNodeAttribute(node, "Href"),
                            source, cacheFile, feed,
                            shown ? feeds::kKindFirstLoad : feeds::kKindHeadlineSave});
    }
    return service->startUpdate(std::move(channels));
}

bool CLeftView::BackgroundUpdateRunning() {
    CollectionService* service = collection();
    return service && service->updateRunning();
}

void CLeftView::showCopyElsewhere(QTreeWidgetItem* item, const std::string& cacheFile) {
    std::set<void*> waiting; // their own download brings the copy in
    if (CollectionService* service = collection())
        service->forEachWaiting([&waiting](const DownloadTask& task) { waiting.insert(task.item); });
    std::vector<QTreeWidgetItem*> others;
    auto range = channelItems_.equal_range(cacheFile);
    for (auto it = range.first; it != range.second; ++it)
        if (it->second != item && !waiting.count(it->second))
            others.push_back(it->second);
    for (QTreeWidgetItem* other : others) {
        Node node = nodeOf(other);
        if (!node)
            continue;
        auto* loaded = dynamic_cast<CTreeItem*>(other);
        if (loaded && loaded->expandedOnce)
            reloadInBackground(other, cacheFile);
        if (isHot(node))
            showHeadlineFromCopy(other, node, cacheFile);
    }
}

void CLeftView::showHeadlineFromCopy(QTreeWidgetItem* item, const Node& node,
                                     const std::string& cacheFile) {
    tree::CacheFirstItem first = tree::ReadCacheFirstItem(cacheFile);
    if (first.title.empty())
        return;
    StoreHeadline(node, first.title, first.href, cacheFile, first.desc, first.date);
    item->setText(0, QString::fromStdString(first.title));
    tree::saveOwnerDocument(node);
}

void CLeftView::showHeadlineOfNewChannel(QTreeWidgetItem* item, const Node& node) {
    if (!node || !isHot(node) || tree::itemKindOf(node) != tree::ItemKind::Channel)
        return;
    std::string source, cacheFile, feed;
    int state = tree::ResolveChannelSource(node, source, cacheFile, feed);
    if (state == tree::kCacheFresh || state == tree::kCacheExpired)
        showHeadlineFromCopy(item, node, cacheFile);
    if (state == tree::kCacheExpired || state == tree::kMustDownload)
        QueueDownload({item, GetNodeAttribute(node, "Title"), GetNodeAttribute(node, "Href"), source,
                       cacheFile, feed, feeds::kKindHeadlineSave});
}

void CLeftView::showLoadError(QTreeWidgetItem* channel, const std::string& text) {
    if (channel->childCount() == 0)
        return;
    // The row is cut at the tree's edge; the whole reason is one hover away.
    QString shown = QString::fromStdString(text);
    channel->child(0)->setText(0, shown);
    channel->child(0)->setToolTip(0, shown);
}

void CLeftView::reloadInBackground(QTreeWidgetItem* channel, const std::string& cacheFile) {
    QTreeWidgetItem* current = currentItem();
    bool inside = current && current != channel && CLeftView::IsWithin(channel, current);
    QVariant key = inside ? current->data(0, kEntryKeyRole) : QVariant();
    int scroll = verticalScrollBar()->value();
    {
        const QSignalBlocker quiet(this); // the frame must not take it for the user's choice
        DeleteChildItems(channel);
        LoadTreeFile(cacheFile, channel);
        if (inside) {
            QTreeWidgetItem* again = channel;
            for (int i = 0; key.isValid() && i < channel->childCount(); ++i)
                if (channel->child(i)->data(0, kEntryKeyRole) == key)
                    again = channel->child(i);
            setCurrentItem(again);
        }
    }
    verticalScrollBar()->setValue(scroll);
}

