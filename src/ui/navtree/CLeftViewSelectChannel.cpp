// Selecting a channel by its copy, for a notification of news that was
// clicked: the channel is looked for among the items loaded now, which the
// tree keeps by cache file. Sub-trees are not opened to find it: the user
// asked to see the window, not to have the tree unfold somewhere else.
#include "navtree/CLeftView.h"

#include <filesystem>

namespace {

// The tree names a copy as its source resolved it; the update may name the
// same file another way.
std::string normalPath(const std::string& path) {
    std::error_code ec;
    return std::filesystem::absolute(path, ec).lexically_normal().string();
}

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
    const std::string wanted = normalPath(cacheFile);
    QTreeWidgetItem* found = nullptr;
    for (const auto& [copy, item] : channelItems_) {
        if (normalPath(copy) != wanted)
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
