#include "sync/SyncFetch.h"

#include "sync/SyncPlan.h"

#include <algorithm>

namespace kelvor::sync {
namespace {

// The server's virtual feeds: every article, and the starred ones.
constexpr int64_t kAllArticles = -4;
constexpr int64_t kStarred = -1;

class Fetch {
  public:
    Fetch(TtRssApi& api, const FetchRequest& request) : api_(api), request_(request) {
        for (const ServerFeed& feed : request.feeds)
            subscribed_.insert(feed.id);
        out_.highestId = request.sinceId;
    }

    ServerArticles run() {
        if (request_.sinceId == 0) {
            readFirst();
            return std::move(out_);
        }
        readNewer(request_.sinceId);
        // Their articles can be older than the highest id: the server keeps
        // one copy of an article however many subscribe to it.
        for (int64_t feed : request_.newFeeds)
            if (subscribed_.count(feed))
                take(api_.allHeadlines(feed, 0, true), true);
        if (request_.whole)
            readWholeList();
        else
            readChangedMarks();
        return std::move(out_);
    }

  private:
    // Lines of feeds not subscribed (archived, or subscribed since the feed
    // list was read) are left for a later sync.
    void take(std::vector<Headline> lines, bool withText) {
        for (Headline& line : lines) {
            if (!subscribed_.count(line.feed))
                continue;
            out_.states[line.id] = {line.feed, !line.unread, line.starred};
            if (withText && !request_.known.count(line.id))
                out_.fresh[line.id] = std::move(line);
        }
    }

    void readNewer(int64_t sinceId) {
        std::vector<Headline> newer = api_.allHeadlines(kAllArticles, sinceId, true);
        for (const Headline& line : newer)
            if (subscribed_.count(line.feed))
                out_.highestId = std::max(out_.highestId, line.id);
        take(std::move(newer), true);
    }

    // Feed by feed: the server sorts all its articles again for every page
    // of the list over all feeds, and pages far into it cost the most. An
    // article arriving meanwhile has a higher id than any there was before
    // the first feed was read, so the list since that id brings it.
    void readFirst() {
        int64_t before = 0;
        for (const Headline& line : api_.headlines(kAllArticles, 0, 0, false))
            before = std::max(before, line.id);
        for (int64_t feed : subscribed_)
            take(api_.allHeadlines(feed, 0, true), true);
        readNewer(before);
        out_.whole = true;
    }

    // Every article the server has, feed by feed; the text of those the
    // reader lacks that the newer ones did not bring (an article filed late
    // under a lower id).
    void readWholeList() {
        out_.whole = true;
        for (int64_t feed : subscribed_)
            take(api_.allHeadlines(feed, 0, false), false);
        std::map<int64_t, int64_t> lowestMissing; // feed -> id
        for (const auto& [id, state] : out_.states)
            if (!request_.known.count(id) && !out_.fresh.count(id) &&
                !lowestMissing.count(state.feed))
                lowestMissing[state.feed] = id;
        for (const auto& [feed, lowest] : lowestMissing)
            for (Headline& line : api_.allHeadlines(feed, lowest - 1, true))
                if (out_.states.count(line.id) && !request_.known.count(line.id))
                    out_.fresh[line.id] = std::move(line);
        for (auto state = out_.states.begin(); state != out_.states.end();)
            if (!request_.known.count(state->first) && !out_.fresh.count(state->first))
                state = out_.states.erase(state); // no text for it: next time
            else
                ++state;
    }

    // The known articles stay as they are but for their marks: the starred
    // list is short, the unread lists asked for only where counts moved.
    void readChangedMarks() {
        std::set<int64_t> starred;
        for (const Headline& line : api_.allHeadlines(kStarred, 0, false))
            starred.insert(line.id);
        std::set<int64_t> checkedFeeds, unread;
        UnreadLists lists = planUnreadLists(unreadCounts(), kHeadlinePage);
        if (lists.everyFeed) {
            checkedFeeds = subscribed_;
            for (const Headline& line : api_.allHeadlines(kAllArticles, 0, false, "unread"))
                unread.insert(line.id);
        }
        for (int64_t feed : lists.feeds) {
            checkedFeeds.insert(feed);
            for (const Headline& line : api_.allHeadlines(feed, 0, false, "unread"))
                unread.insert(line.id);
        }
        for (const auto& [id, known] : request_.known) {
            if (!subscribed_.count(known.feed) || out_.states.count(id))
                continue;
            bool read = checkedFeeds.count(known.feed) ? !unread.count(id) : known.read;
            out_.states[id] = {known.feed, read, starred.count(id) > 0};
        }
    }

    std::vector<FeedUnread> unreadCounts() const {
        std::map<int64_t, int64_t> expected;
        for (const auto& [id, known] : request_.known)
            if (!out_.states.count(id) && !known.read)
                ++expected[known.feed];
        for (const auto& [id, state] : out_.states)
            if (!state.read)
                ++expected[state.feed];
        std::vector<FeedUnread> counts;
        for (const ServerFeed& feed : request_.feeds)
            counts.push_back({feed.id, feed.unread, expected[feed.id]});
        return counts;
    }

    TtRssApi& api_;
    const FetchRequest& request_;
    std::set<int64_t> subscribed_;
    ServerArticles out_;
};

} // namespace

ServerArticles fetchServerArticles(TtRssApi& api, const FetchRequest& request) {
    return Fetch(api, request).run();
}

} // namespace kelvor::sync
