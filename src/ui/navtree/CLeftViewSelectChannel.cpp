// Selecting a channel by its copy, for a notification of news that was
// clicked: the channel is looked for among the items loaded now, which the
// tree keeps by cache file. Sub-trees are not opened to find it: the user
// asked to see the window, not to have the tree unfold somewhere else.
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"

namespace {

bool inSight(const QTreeWidgetItem* item) {
    for (const QTreeWidgetItem* at = item->parent(); at; at = at->parent())
        if (!at->isExpanded())
            return false;
    return true;
}

} // namespace

bool CLeftView::SelectChannelOfCopy(const std::string& cacheFile) {
    if (cacheFile.empty())
        return false;
    settleCopiesBeingLocated();
    const std::string wanted = kelvor::platform::normalPath(cacheFile);
    QTreeWidgetItem* found = nullptr;
    for (const auto& [copy, item] : channelItems_) {
        if (kelvor::platform::normalPath(copy) != wanted)
            continue;
        if (inSight(item)) {
            found = item;
            break;
        }
        if (!found)
            found = item;
    }
    if (!found)
        return false;
    setCurrentItem(found);
    scrollToItem(found);
    return true;
}
