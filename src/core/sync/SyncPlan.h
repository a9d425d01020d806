// Which unread lists a sync asks the server for. Reading a list costs the
// server about the same for every article in it, so the sync asks only for
// what can have changed: the feed list it reads anyway counts each feed's
// unread articles, and a feed whose count is the one the reader expects
// needs no list. Only one article read and another made unread in the same
// feed between two syncs keeps the count: while there are more unread
// articles than a whole list is worth, that waits for the daily full list.
#pragma once

#include <cstdint>
#include <vector>

namespace kelvor::sync {

// At most this many unread articles on the server: one list of them all,
// which sees every change, costs little enough to ask for each time.
constexpr int64_t kUnreadListedWhole = 2000;

struct FeedUnread {
    int64_t feed = 0;
    int64_t server = 0;   // the server's count
    int64_t expected = 0; // what the reader's record and the new articles make it
};

struct UnreadLists {
    bool everyFeed = false;     // one list over every feed
    std::vector<int64_t> feeds; // else one per feed named here (none: no list at all)
};

UnreadLists planUnreadLists(const std::vector<FeedUnread>& feeds, int pageSize,
                            int64_t listedWhole = kUnreadListedWhole);

} // namespace kelvor::sync
