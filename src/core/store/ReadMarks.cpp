#include "store/ReadMarks.h"

#include "store/Indexer.h"

namespace kelvor::store {
namespace {

constexpr int64_t kForgetAfterSeconds = 90LL * 24 * 3600;

} // namespace

void setRead(Store& store, const std::string& channel, const std::string& entry, bool read,
             std::time_t now) {
    Statement(store.db(), "INSERT OR REPLACE INTO readmarks VALUES (?, ?, ?, ?)")
        .bind(1, channel)
        .bind(2, entry)
        .bind(3, int64_t(read))
        .bind(4, int64_t(now))
        .step();
}

bool isRead(Store& store, const std::string& channel, const std::string& entry) {
    Statement select(store.db(), "SELECT read FROM readmarks WHERE channel = ? AND entry = ?");
    select.bind(1, channel).bind(2, entry);
    return select.step() && select.integer(0) != 0;
}

int unreadCount(Store& store, const std::string& channel) {
    Statement count(store.db(),
                    "SELECT count(DISTINCT entry) FROM items WHERE channel = ?1 AND entry NOT IN "
                    "(SELECT entry FROM readmarks WHERE channel = ?1 AND read = 1)");
    count.bind(1, channel).step();
    return static_cast<int>(count.integer(0));
}

int totalUnread(Store& store) {
    // The channel's half of items_by_channel gives the entries in order,
    // distinct without sorting; each is then one look-up in readmarks' key.
    // Items of the user's own files have no channel and are left out.
    Statement count(store.db(),
                    "SELECT count(*) FROM (SELECT DISTINCT channel, entry FROM items "
                    "WHERE channel > '') AS e WHERE NOT EXISTS (SELECT 1 FROM readmarks "
                    "WHERE readmarks.channel = e.channel AND readmarks.entry = e.entry "
                    "AND read = 1)");
    count.step();
    return static_cast<int>(count.integer(0));
}

std::string channelOfFile(Store& store, const std::string& path) {
    Statement select(store.db(), "SELECT channel FROM files WHERE path = ?");
    select.bind(1, path);
    return select.step() ? select.text(0) : std::string();
}

std::string channelOfCacheFile(Store& store, const std::string& path) {
    std::string channel = channelOfFile(store, path);
    if (channel.empty() && indexFile(store, path))
        channel = channelOfFile(store, path);
    return channel;
}

std::vector<EntryState> entryStatesOfFile(Store& store, const std::string& path) {
    std::vector<EntryState> entries;
    Statement select(store.db(),
                     "SELECT link, title, EXISTS (SELECT 1 FROM readmarks WHERE readmarks.channel "
                     "= items.channel AND readmarks.entry = items.entry AND read = 1), date "
                     "FROM items WHERE file = ? ORDER BY id");
    select.bind(1, path);
    while (select.step())
        entries.push_back({select.text(0), select.text(1), select.integer(2) != 0, select.text(3)});
    return entries;
}

std::vector<std::string> entriesOfFile(Store& store, const std::string& path) {
    std::vector<std::string> entries;
    Statement select(store.db(), "SELECT DISTINCT entry FROM items WHERE file = ? ORDER BY entry");
    select.bind(1, path);
    while (select.step())
        entries.push_back(select.text(0));
    return entries;
}

std::vector<EntryTitle> entryTitlesOfFile(Store& store, const std::string& path) {
    std::vector<EntryTitle> entries;
    Statement select(store.db(), "SELECT entry, title FROM items WHERE file = ? ORDER BY id");
    select.bind(1, path);
    while (select.step())
        entries.push_back({select.text(0), select.text(1)});
    return entries;
}

std::vector<std::string> readEntries(Store& store, const std::string& channel) {
    std::vector<std::string> entries;
    Statement select(store.db(),
                     "SELECT entry FROM readmarks WHERE channel = ? AND read = 1 ORDER BY entry");
    select.bind(1, channel);
    while (select.step())
        entries.push_back(select.text(0));
    return entries;
}

void markChannelRead(Store& store, const std::string& channel, std::time_t now) {
    Transaction transaction(store.db());
    Statement(store.db(), "INSERT OR REPLACE INTO readmarks SELECT DISTINCT channel, entry, 1, ?2 "
                          "FROM items WHERE channel = ?1")
        .bind(1, channel)
        .bind(2, int64_t(now))
        .step();
    Statement(store.db(), "INSERT OR REPLACE INTO caughtup VALUES (?, max(?2, coalesce((SELECT "
                          "until FROM caughtup WHERE channel = ?1), 0)))")
        .bind(1, channel)
        .bind(2, int64_t(now))
        .step();
    transaction.commit();
}

int forgetOldMarks(Store& store, std::time_t now) {
    // A channel with no entries indexed (its cache cleared, not downloaded
    // again yet) says nothing about which entries left it: its marks stay.
    Statement(store.db(), "DELETE FROM readmarks WHERE changed < ?1 AND NOT EXISTS (SELECT 1 FROM "
                          "items WHERE items.channel = readmarks.channel AND items.entry = "
                          "readmarks.entry) AND EXISTS (SELECT 1 FROM items WHERE items.channel "
                          "= readmarks.channel)")
        .bind(1, int64_t(now) - kForgetAfterSeconds)
        .step();
    return store.db().changes();
}

} // namespace kelvor::store
