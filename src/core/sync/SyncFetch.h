// What the server has of the subscribed feeds' articles, asked for with as
// few rows as will do: the text only of articles newer than the highest id
// read before (and of every article of a feed new to the sync), the stars
// from the server's starred list, the read marks from its unread list where
// the counts say one changed. The whole list, which alone shows what the
// server dropped, only when asked for (the caller does once a day).
#pragma once

#include "sync/SyncTables.h"
#include "sync/TtRssApi.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace kelvor::sync {

struct ArticleState {
    int64_t feed = 0;
    bool read = false, starred = false;
};

struct FetchRequest {
    std::vector<ServerFeed> feeds;         // subscribed now, with unread counts
    std::map<int64_t, KnownArticle> known; // the sync's record of articles
    std::set<int64_t> newFeeds;            // feeds it has not listed before
    int64_t sinceId = 0;                   // the highest article id read before
    bool whole = false;                    // read the whole list
};

struct ServerArticles {
    // Every article the reader keeps after this sync, with the server's marks.
    std::map<int64_t, ArticleState> states;
    // Of those, the ones new to the reader, with their text.
    std::map<int64_t, Headline> fresh;
    bool whole = false; // states is the whole list: what it lacks, the server dropped
    int64_t highestId = 0;
};

ServerArticles fetchServerArticles(TtRssApi& api, const FetchRequest& request);

} // namespace kelvor::sync
