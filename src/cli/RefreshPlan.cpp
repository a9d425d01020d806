#include "cli/RefreshPlan.h"

#include "platform/XmlDom.h"
#include "tree/TreeFileChannels.h"

#include <set>

namespace kelvor::cli {

// The walk is the reader's own "update all": local sub-trees are followed,
// each file read once.
RefreshPlan planRefresh(const std::string& treeFile, bool all) {
    RefreshPlan plan;
    xml::Document doc = xml::Document::create();
    if (!doc.load(treeFile)) {
        plan.error = xml::formatParseError(doc.parseError()) + treeFile;
        return plan;
    }
    std::set<std::string> plannedCaches;
    for (tree::FileChannel& channel : tree::channelsInTreeFile(treeFile, "", true)) {
        if (!plannedCaches.insert(channel.cacheFile).second)
            continue; // the same channel listed twice
        if (channel.state == tree::kCacheFresh && !all) {
            ++plan.fresh;
            continue;
        }
        plan.downloads.push_back({std::move(channel.title), std::move(channel.href),
                                  std::move(channel.source), std::move(channel.cacheFile),
                                  std::move(channel.feed)});
    }
    return plan;
}

} // namespace kelvor::cli
