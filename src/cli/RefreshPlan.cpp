#include "cli/RefreshPlan.h"

#include "platform/XmlDom.h"
#include "tree/ChannelSource.h"
#include "tree/TreeFormat.h"

#include <set>

namespace kelvor::cli {
namespace {

struct Planner {
    bool all = false;
    RefreshPlan plan;
    std::set<std::string> visitedFiles;
    std::set<std::string> plannedCaches;

    void addChannel(const xml::Node& node, int result, const std::string& source,
                    const std::string& cacheFile, const std::string& feed) {
        if (!plannedCaches.insert(cacheFile).second)
            return; // the same channel listed twice
        if (result == tree::kCacheFresh && !all) {
            ++plan.fresh;
            return;
        }
        plan.downloads.push_back({tree::GetNodeAttribute(node, "Title"),
                                  tree::GetNodeAttribute(node, "Href"), source, cacheFile, feed});
    }

    // Returns false when the file does not load.
    bool walkFile(const std::string& path, std::string* error) {
        xml::Document doc = xml::Document::create();
        if (!doc.load(path)) {
            if (error)
                *error = xml::formatParseError(doc.parseError()) + path;
            return false;
        }
        if (!visitedFiles.insert(doc.url()).second)
            return true;
        for (const xml::Node& node : doc.getElementsByTagName("TreeNode")) {
            std::string source, cacheFile, feed;
            int result = tree::ResolveChannelSource(node, source, cacheFile, feed);
            if (result == tree::kLocalFile)
                walkFile(source, nullptr); // a missing local file holds no channels
            else if (result != tree::kNotChannel)
                addChannel(node, result, source, cacheFile, feed);
        }
        return true;
    }
};

} // namespace

RefreshPlan planRefresh(const std::string& treeFile, bool all) {
    Planner planner;
    planner.all = all;
    planner.walkFile(treeFile, &planner.plan.error);
    return std::move(planner.plan);
}

} // namespace kelvor::cli
