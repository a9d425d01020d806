#include "sync/SyncRun.h"

#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "sync/SyncCategory.h"
#include "sync/SyncEntries.h"
#include "sync/SyncMarks.h"
#include "sync/SyncTables.h"

#include <map>
#include <set>

namespace kelvor::sync {
namespace {

// Article ids per updateArticle call: one request, however many marks.
constexpr size_t kIdsPerUpdate = 1000;

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
        readArticleStates();
        readNewEntries();
        decideMarks();
        sendMarks();
        writeLocally();
    }

  private:
    void readServerFeeds() {
        categories_ = api_.categories();
        feeds_ = api_.feeds();
        report_.channels = static_cast<int>(feeds_.size());
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
        for (const auto& [feed, until] : tables_.catchups()) {
            if (onServer.count(feed)) {
                api_.catchupFeed(feed);
                ++report_.marksSent;
            }
            sentCatchups_.push_back(feed);
        }
    }

    // Every article the server has, with its marks but without its text.
    void readArticleStates() {
        for (int skip = 0;; skip += kHeadlinePage) {
            std::vector<Headline> page = api_.headlines(-4, 0, skip, false);
            for (Headline& line : page)
                if (line.feed > 0)
                    states_[line.id] = std::move(line);
            if (page.size() < static_cast<size_t>(kHeadlinePage))
                break;
        }
    }

    // The text of the articles the reader has not got yet, per feed: from
    // just below the oldest new one, so nothing new is skipped.
    void readNewEntries() {
        known_ = tables_.articles();
        std::map<int64_t, std::set<int64_t>> unknown;
        for (const auto& [id, line] : states_)
            if (!known_.count(id))
                unknown[line.feed].insert(id);
        for (const auto& [feed, ids] : unknown)
            readFeedEntries(feed, ids);
    }

    void readFeedEntries(int64_t feed, const std::set<int64_t>& ids) {
        int64_t since = *ids.begin() - 1;
        for (int skip = 0;; skip += kHeadlinePage) {
            std::vector<Headline> page = api_.headlines(feed, since, skip, true);
            for (Headline& line : page)
                if (ids.count(line.id))
                    added_[feed].push_back(std::move(line));
            if (page.size() < static_cast<size_t>(kHeadlinePage))
                break;
        }
        report_.newEntries += static_cast<int>(added_[feed].size());
    }

    void decideMarks() {
        std::map<std::pair<int64_t, MarkField>, PendingMark> pending;
        for (const PendingMark& mark : tables_.pending())
            pending[{mark.article, mark.field}] = mark;
        for (const auto& [id, line] : states_) {
            auto known = known_.find(id);
            const std::string& channel = channelOf(line.feed);
            ArticleMarks agreed{!line.unread, line.starred};
            if (known != known_.end())
                agreed = {known->second.read, known->second.starred};
            else if (line.unread && store::isRead(store_, channel, entryKeyOfHeadline(line)))
                // Read in the reader before the channel was synced.
                pending.insert({{id, MarkField::Read}, {id, MarkField::Read, true, lastSync_}});
            ArticleMarks& result = final_[id];
            result.read = decide(id, MarkField::Read, agreed.read, !line.unread, pending);
            result.starred = decide(id, MarkField::Starred, agreed.starred, line.starred, pending);
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
        for (const ServerFeed& f : feeds_)
            if (f.id == feed)
                return f.url;
        return none;
    }

    void writeLocally() {
        writeCategoryFile(home_, api_.server(), categories_, feeds_);
        writeCopies();
        store::Transaction transaction(store_.db());
        for (int64_t id : toReader_) {
            const Headline& line = states_[id];
            store::setRead(store_, channelOf(line.feed), entryKeyOfHeadline(line),
                           final_[id].read, now_);
        }
        for (const auto& [id, line] : states_) {
            auto known = known_.find(id);
            std::string entry = known != known_.end() ? known->second.entry
                                                      : entryKeyOfHeadline(line);
            tables_.putArticle({id, line.feed, channelOf(line.feed), entry, final_[id].read,
                                final_[id].starred});
        }
        std::map<int64_t, bool> present;
        for (const auto& [id, line] : states_)
            present[id] = true;
        tables_.forgetArticlesExcept(present);
        for (const auto& [article, field] : considered_)
            tables_.dropPending(article, field);
        for (int64_t feed : sentCatchups_)
            tables_.dropCatchup(feed);
        std::vector<KnownFeed> written;
        for (const ServerFeed& feed : feeds_)
            written.push_back({feed.id, feed.url, feed.title});
        tables_.setFeeds(written);
        tables_.setLastSync(now_);
        transaction.commit();
    }

    void writeCopies() {
        std::map<int64_t, CopyUpdate> updates;
        for (const ServerFeed& feed : feeds_) {
            std::string title = feed.title.empty() ? feed.url : feed.title;
            updates[feed.id] = {channelCopyPath(home_, title, feed.url), feed.url, title,
                                std::move(added_[feed.id]), {}, {}};
        }
        for (const auto& [id, line] : states_) {
            auto update = updates.find(line.feed);
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
    std::map<int64_t, KnownArticle> known_;
    std::map<int64_t, Headline> states_;
    std::map<int64_t, std::vector<Headline>> added_;
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
