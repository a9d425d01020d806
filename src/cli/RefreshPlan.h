// What kelvor-tool refresh downloads: every channel and sub-tree item of a
// tree file and of the local tree files it names, one download per cache
// file.
#pragma once

#include <string>
#include <vector>

namespace kelvor::cli {

struct PlannedChannel {
    std::string title, href, source, cacheFile, feed;
};

struct RefreshPlan {
    std::vector<PlannedChannel> downloads;
    int fresh = 0;     // fresh copies left alone
    std::string error; // the tree file did not load
};

// Needs the home folder set. Copies that are missing or expired are planned,
// fresh ones too when `all` is set.
RefreshPlan planRefresh(const std::string& treeFile, bool all);

} // namespace kelvor::cli
