#include "sync/SyncPlan.h"

namespace kelvor::sync {

// Calls a list of `rows` takes: the last page is the one shorter than a
// full page, so a list of exactly one page takes two.
static int64_t pagesOf(int64_t rows, int pageSize) {
    return rows / pageSize + 1;
}

UnreadLists planUnreadLists(const std::vector<FeedUnread>& feeds, int pageSize,
                            int64_t listedWhole) {
    UnreadLists plan;
    int64_t total = 0, perFeedPages = 0;
    for (const FeedUnread& feed : feeds) {
        total += feed.server;
        if (feed.server != feed.expected) {
            plan.feeds.push_back(feed.feed);
            perFeedPages += pagesOf(feed.server, pageSize);
        }
    }
    if (total <= listedWhole || (!plan.feeds.empty() && pagesOf(total, pageSize) <= perFeedPages)) {
        plan.everyFeed = true;
        plan.feeds.clear();
    }
    return plan;
}

} // namespace kelvor::sync
