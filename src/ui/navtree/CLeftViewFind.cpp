// Finding an item of the index in the tree: the item that leads to its
// file, then down its position, expanding on the way.
#include "navtree/CLeftView.h"
#include "platform/Log.h"

#include "platform/HomeFolder.h"
#include "collection/CollectionService.h"
#include "tree/ChannelSource.h"

#include <QTreeWidgetItemIterator>

#include <set>

using kelvor::xml::Node;
namespace tree = kelvor::tree;

namespace {

std::string fileOfDocument(const Node& node) {
    return kelvor::platform::normalPath(CLeftView::LocalFileOf(node));
}

// The file an item's children come from when it is expanded.
std::string fileBehind(const Node& node) {
    std::string source, cacheFile, feed;
    try {
        int result = tree::ResolveChannelSource(node, source, cacheFile, feed);
        if (result == tree::kLocalFile)
            return kelvor::platform::normalPath(source);
        if (result > tree::kLocalFile)
            return kelvor::platform::normalPath(cacheFile);
    } catch (...) {
        // An item that cannot be resolved leads nowhere.
        kelvor::platform::logCurrentFailure("finding an item");
    }
    return {};
}

// A sub-tree item on a local file, not opened yet: opening it downloads nothing.
bool isClosedLocalSubTree(QTreeWidgetItem* item) {
    auto* treeItem = dynamic_cast<CTreeItem*>(item);
    if (!treeItem || treeItem->node.isNull() || treeItem->expandedOnce ||
        treeItem->node.hasAttribute("Rss") || !treeItem->node.hasAttribute("NodeSrc"))
        return false;
    std::string source, cacheFile, feed;
    try {
        return tree::ResolveChannelSource(treeItem->node, source, cacheFile, feed) ==
               tree::kLocalFile;
    } catch (...) {
        kelvor::platform::logCurrentFailure("finding an item");
        return false;
    }
}

bool leadsDownTo(QTreeWidgetItem* ancestor, QTreeWidgetItem* item) {
    for (QTreeWidgetItem* at = item; at; at = at->parent())
        if (at == ancestor)
            return true;
    return false;
}

} // namespace

QTreeWidgetItem* CLeftView::findItemLeadingTo(const std::string& file) {
    std::vector<QTreeWidgetItem*> opened;
    QTreeWidgetItem* found = itemLeadingTo(file);
    // A file named only inside category files not opened yet: open the local
    // sub-trees level by level until it turns up.
    while (!found) {
        std::vector<QTreeWidgetItem*> closed;
        for (QTreeWidgetItemIterator it(this); *it; ++it)
            if (isClosedLocalSubTree(*it))
                closed.push_back(*it);
        if (closed.empty())
            break;
        for (QTreeWidgetItem* item : closed) {
            item->setExpanded(true);
            opened.push_back(item);
        }
        found = itemLeadingTo(file);
    }
    for (QTreeWidgetItem* item : opened)
        if (!found || !leadsDownTo(item, found))
            item->setExpanded(false);
    return found;
}

QTreeWidgetItem* CLeftView::itemLeadingTo(const std::string& file) {
    if (topLevelItemCount() > 0 && !nodeOf(topLevelItem(0)).isNull() &&
        fileOfDocument(nodeOf(topLevelItem(0))) == file)
        return invisibleRootItem();
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        Node node = nodeOf(*it);
        if (!node.isNull() && fileBehind(node) == file)
            return *it;
    }
    return nullptr;
}

bool CLeftView::SelectIndexedItem(const std::string& file, const std::string& position) {
    QTreeWidgetItem* at = findItemLeadingTo(kelvor::platform::normalPath(file));
    if (!at)
        return false;
    std::vector<int> steps;
    for (size_t start = 0; start <= position.size();) {
        size_t dot = position.find('.', start);
        steps.push_back(std::atoi(position.substr(start, dot - start).c_str()));
        start = dot == std::string::npos ? position.size() + 1 : dot + 1;
    }
    for (int step : steps) {
        if (at != invisibleRootItem())
            at->setExpanded(true);
        QList<QTreeWidgetItem*> children = CLeftView::NodeChildren(at);
        if (step < 0 || step >= children.size())
            return false;
        at = children[step];
    }
    setCurrentItem(at);
    scrollWithParent(at);
    return true;
}

// Where a hit sits shows in its parent (the channel of an entry, the folder
// of a link): the parent at the top when both fit, else the hit alone.
void CLeftView::scrollWithParent(QTreeWidgetItem* item) {
    QTreeWidgetItem* parent = item->parent();
    if (parent) {
        QRect top = visualItemRect(parent);
        QRect hit = visualItemRect(item);
        if (hit.bottom() - top.top() < viewport()->height()) {
            scrollToItem(parent, QAbstractItemView::PositionAtTop);
            return;
        }
    }
    scrollToItem(item);
}

void CLeftView::MarkIndexedEntryRead(const std::string& file, const std::string& channel,
                                     const std::string& entry) {
    CollectionService* service = collection();
    if (!service)
        return;
    // The tree keys its channels by the cache file as it named it; pages
    // showing the file hear of it under the index's name.
    std::string path = kelvor::platform::normalPath(file);
    std::set<std::string> names{path};
    for (const auto& [cacheFile, item] : channelItems_)
        if (kelvor::platform::normalPath(cacheFile) == path)
            names.insert(cacheFile);
    service->markIndexedEntryRead(channel, entry, names);
}
