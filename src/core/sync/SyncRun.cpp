#include "sync/SyncRun.h"

#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "sync/SyncCategory.h"
#include "sync/SyncEntries.h"
#include "sync/SyncFetch.h"
#include "sync/SyncMarks.h"
#include "sync/SyncTables.h"

#include <map>
#include <set>

namespace kelvor::sync {
namespace {

// Article ids per updateArticle call: one request, however many marks.
constexpr size_t kIdsPerUpdate = 1000;
// How often the whole article list is read, for what the server dropped and
// for read marks the unread counts cannot show (seconds).
constexpr int64_t kWholeListEvery = 24 * 60 * 60;
// The sync's own state keys: the highest article id read, and when the
// whole list was last read.
constexpr const char* kSinceKey = "since_id";
constexpr const char* kWholeKey = "whole_list";

struct ArticleMarks {
    bool read = false, starred = false;
};

class SyncRun {
  public:
    SyncRun(const std::string& home, const Account& account, std::time_t now, SyncReport& report)
        : home_(home), api_(account), store_(home),
          tables_(store_, serverKey(account.server)), now_(now), report_(report) {}

    void run() {
        lastSync_ = tables_.lastSync();
        tables_.collectReaderChanges(lastSync_);
        api_.login();
        readServerFeeds();
        if (sendSubscriptions())
            readServerFeeds();
        sendCatchups();
        readServerArticles();
        decideMarks();
        sendMarks();
        writeLocally();
    }

  private:
    void readServerFeeds() {
        categories_ = api_.categories();
        feeds_ = api_.feeds();
        report_.channels = static_cast<int>(feeds_.size());
        feedUrls_.clear();
        for (const ServerFeed& feed : feeds_)
            feedUrls_[feed.id] = feed.url;
    }

    int64_t categoryTitled(const std::string& title) const {
        for (const ServerCategory& category : categories_)
            if (category.title == title)
                return category.id;
        return 0;
    }

    // The category file against what the last sync wrote into it: channels
    // added there are subscribed, channels deleted there unsubscribed.
    bool sendSubscriptions() {
        bool exists = false;
        auto channels = readCategoryChannels(home_ + "/" + categoryFileName(api_.server()), exists);
        std::vector<KnownFeed> written = tables_.feeds();
        if (!exists || written.empty())
            return false;
        std::set<std::string> inFile, wasWritten, onServer;
        for (const auto& channel : channels)
            inFile.insert(channel.feed);
        for (const KnownFeed& feed : written)
            wasWritten.insert(feed.url);
        for (const ServerFeed& feed : feeds_)
            onServer.insert(feed.url);
        bool changed = false;
        for (const auto& channel : channels) {
            if (wasWritten.count(channel.feed) || onServer.count(channel.feed))
                continue;
            std::string why = api_.subscribe(channel.feed, categoryTitled(channel.folder));
            if (why.empty())
                ++report_.subscribed;
            else
                report_.notes.push_back("无法在同步服务器上订阅 " + channel.feed + "：" + why);
            changed = true;
        }
        for (const ServerFeed& feed : feeds_) {
            if (!wasWritten.count(feed.url) || inFile.count(feed.url))
                continue;
            api_.unsubscribe(feed.id);
            ++report_.unsubscribed;
            changed = true;
        }
        return changed;
    }

    void sendCatchups() {
        std::set<int64_t> onServer;
        for (const ServerFeed& feed : feeds_)
            onServer.insert(feed.id);
        bool sent = false;
        for (const auto& [feed, until] : tables_.catchups()) {
            if (onServer.count(feed)) {
                api_.catchupFeed(feed);
                ++report_.marksSent;
                sent = true;
            }
            sentCatchups_.push_back(feed);
        }
        if (sent) // the unread counts the marks are checked against
            feeds_ = api_.feeds();
    }

    void readServerArticles() {
        known_ = tables_.articles();
        FetchRequest request{feeds_, known_, {}, tables_.state(kSinceKey), false};
        if (request.sinceId == 0 && !known_.empty()) // a record from before the key was kept
            request.sinceId = known_.rbegin()->first;
        std::map<int64_t, std::string> listed;
        for (const KnownFeed& feed : tables_.feeds())
            listed[feed.feed] = feed.title;
        for (const ServerFeed& feed : feeds_) {
            auto before = listed.find(feed.id);
            if (before == listed.end())
                request.newFeeds.insert(feed.id);
            if (before == listed.end() || before->second != feed.title)
                touched_.insert(feed.id);
        }
        int64_t wholeListed = tables_.state(kWholeKey);
        request.whole = now_ < wholeListed || now_ - wholeListed >= kWholeListEvery;
        server_ = fetchServerArticles(api_, request);
        report_.newEntries = static_cast<int>(server_.fresh.size());
    }

    void decideMarks() {
        std::map<std::pair<int64_t, MarkField>, PendingMark> pending;
        for (const PendingMark& mark : tables_.pending())
            pending[{mark.article, mark.field}] = mark;
        for (const auto& [id, state] : server_.states) {
            auto known = known_.find(id);
            ArticleMarks agreed{state.read, state.starred};
            if (known != known_.end())
                agreed = {known->second.read, known->second.starred};
            else if (!state.read && store::isRead(store_, channelOf(state.feed), entryOf(id)))
                // Read in the reader before the channel was synced.
                pending.insert({{id, MarkField::Read}, {id, MarkField::Read, true, lastSync_}});
            ArticleMarks& result = final_[id];
            result.read = decide(id, MarkField::Read, agreed.read, state.read, pending);
            result.starred = decide(id, MarkField::Starred, agreed.starred, state.starred, pending);
            if (result.starred != agreed.starred)
                touched_.insert(state.feed);
        }
        for (const auto& [key, mark] : pending)
            considered_.push_back(key);
    }

    bool decide(int64_t id, MarkField field, bool agreed, bool server,
                const std::map<std::pair<int64_t, MarkField>, PendingMark>& pending) {
        MarkSides sides{agreed, std::nullopt, 0, server, lastSync_, now_};
        if (auto found = pending.find({id, field}); found != pending.end()) {
            sides.reader = found->second.value;
            sides.readerChanged = found->second.changed;
        }
        switch (decideMark(sides)) {
        case MarkOutcome::ToServer:
            toServer_[{field, *sides.reader}].push_back(id);
            return *sides.reader;
        case MarkOutcome::ToReader:
            if (field == MarkField::Read)
                toReader_.push_back(id);
            ++report_.marksReceived;
            return server;
        case MarkOutcome::Agree:
            break;
        }
        return server;
    }

    void sendMarks() {
        for (const auto& [key, ids] : toServer_) {
            auto [field, value] = key;
            ArticleField apiField = field == MarkField::Read ? ArticleField::Unread
                                                             : ArticleField::Starred;
            bool apiValue = field == MarkField::Read ? !value : value;
            for (size_t from = 0; from < ids.size(); from += kIdsPerUpdate) {
                std::vector<int64_t> chunk(ids.begin() + from,
                                           ids.begin() + std::min(ids.size(), from + kIdsPerUpdate));
                api_.updateArticles(chunk, apiField, apiValue);
            }
            report_.marksSent += static_cast<int>(ids.size());
        }
    }

    const std::string& channelOf(int64_t feed) {
        static const std::string none;
        auto found = feedUrls_.find(feed);
        return found != feedUrls_.end() ? found->second : none;
    }

    // The read mark's key: the one the copy's entry got when it was added.
    std::string entryOf(int64_t id) {
        auto known = known_.find(id);
        return known != known_.end() ? known->second.entry
                                     : entryKeyOfHeadline(server_.fresh.at(id));
    }

    void writeLocally() {
        writeCategoryFile(home_, api_.server(), categories_, feeds_);
        writeCopies();
        store::Transaction transaction(store_.db());
        for (int64_t id : toReader_)
            store::setRead(store_, channelOf(server_.states[id].feed), entryOf(id),
                           final_[id].read, now_);
        writeArticleRecord();
        for (const auto& [article, field] : considered_)
            tables_.dropPending(article, field);
        for (int64_t feed : sentCatchups_)
            tables_.dropCatchup(feed);
        std::vector<KnownFeed> written;
        for (const ServerFeed& feed : feeds_)
            written.push_back({feed.id, feed.url, feed.title});
        tables_.setFeeds(written);
        tables_.setLastSync(now_);
        tables_.setState(kSinceKey, server_.highestId);
        if (server_.whole)
            tables_.setState(kWholeKey, now_);
        transaction.commit();
    }

    // Only what changed: a sync with nothing new writes nothing.
    void writeArticleRecord() {
        for (const auto& [id, state] : server_.states) {
            auto known = known_.find(id);
            const ArticleMarks& marks = final_[id];
            if (known != known_.end() && known->second.feed == state.feed &&
                known->second.read == marks.read && known->second.starred == marks.starred)
                continue;
            tables_.putArticle({id, state.feed, channelOf(state.feed), entryOf(id), marks.read,
                                marks.starred});
        }
        std::vector<int64_t> gone;
        for (const auto& [id, known] : known_)
            if (!server_.states.count(id))
                gone.push_back(id);
        tables_.forgetArticles(gone);
    }

    void writeCopies() {
        for (const auto& [id, line] : server_.fresh)
            touched_.insert(line.feed);
        for (const auto& [id, known] : known_)
            if (!server_.states.count(id))
                touched_.insert(known.feed);
        std::map<int64_t, CopyUpdate> updates;
        for (const ServerFeed& feed : feeds_) {
            if (!server_.whole && !touched_.count(feed.id))
                continue;
            std::string title = feed.title.empty() ? feed.url : feed.title;
            updates[feed.id] = {channelCopyPath(home_, title, feed.url), feed.url, title, {}, {}, {}};
        }
        for (auto& [id, line] : server_.fresh)
            if (auto update = updates.find(line.feed); update != updates.end())
                update->second.added.push_back(line);
        for (const auto& [id, state] : server_.states) {
            auto update = updates.find(state.feed);
            if (update == updates.end())
                continue;
            update->second.present.insert(id);
            if (final_[id].starred)
                update->second.starred.insert(id);
        }
        for (const auto& [feed, update] : updates)
            if (updateChannelCopy(home_, update)) {
                ++report_.copiesWritten;
                store::indexFile(store_, update.path);
            }
    }

    std::string home_;
    TtRssApi api_;
    store::Store store_;
    SyncTables tables_;
    int64_t now_, lastSync_ = 0;
    SyncReport& report_;
    std::vector<ServerCategory> categories_;
    std::vector<ServerFeed> feeds_;
    std::map<int64_t, std::string> feedUrls_;
    std::map<int64_t, KnownArticle> known_;
    ServerArticles server_;
    std::set<int64_t> touched_; // feeds whose copy may change
    std::map<int64_t, ArticleMarks> final_;
    std::map<std::pair<MarkField, bool>, std::vector<int64_t>> toServer_;
    std::vector<int64_t> toReader_;
    std::vector<std::pair<int64_t, MarkField>> considered_;
    std::vector<int64_t> sentCatchups_;
};

} // namespace

std::vector<std::string> SyncReport::lines() const {
    auto n = [](int count) { return std::to_string(count); };
    std::vector<std::string> out = {
        "频道：" + n(channels) + " 个",
        "新条目：" + n(newEntries) + " 条",
        "更新的频道副本：" + n(copiesWritten) + " 个",
        "发送的标记：" + n(marksSent) + " 个",
        "收到的标记：" + n(marksReceived) + " 个",
        "新增订阅：" + n(subscribed) + " 个，取消订阅：" + n(unsubscribed) + " 个",
    };
    out.insert(out.end(), notes.begin(), notes.end());
    return out;
}

SyncReport runSync(const std::string& home, const Account& account, std::time_t now) {
    SyncReport report;
    try {
        SyncRun(home, account, now, report).run();
    } catch (const SyncError& error) {
        report.error = error.what();
    } catch (const store::StoreError& error) {
        report.error = std::string("无法读写阅读记录数据库 kelvor.db：") + error.what();
    }
    return report;
}

} // namespace kelvor::sync
