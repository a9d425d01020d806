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
                    "SELECT count(DISTINCT entry) FROM files JOIN items ON items.file = files.id "
                    "WHERE files.channel = ?1 AND entry NOT IN "
                    "(SELECT entry FROM readmarks WHERE channel = ?1 AND read = 1)");
    count.bind(1, channel).step();
    return static_cast<int>(count.integer(0));
}

int totalUnread(Store& store) {
    // Channel by channel, as unreadCount counts one: the entries of each
    // file come in order from items_by_entry, and only a channel's own need
    // sorting to be counted once. Items of the user's own files have no
    // channel and are left out.
    Statement count(store.db(),
                    "SELECT sum((SELECT count(DISTINCT entry) FROM files JOIN items ON "
                    "items.file = files.id WHERE files.channel = c.channel AND NOT EXISTS "
                    "(SELECT 1 FROM readmarks WHERE readmarks.channel = c.channel AND "
                    "readmarks.entry = items.entry AND read = 1))) "
                    "FROM (SELECT DISTINCT channel FROM files WHERE channel > '') AS c");
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
                     "SELECT coalesce(link, entry), title, EXISTS (SELECT 1 FROM readmarks WHERE "
                     "readmarks.channel = files.channel AND readmarks.entry = items.entry AND "
                     "read = 1), date FROM files JOIN items ON items.file = files.id "
                     "WHERE files.path = ? ORDER BY items.id");
    select.bind(1, path);
    while (select.step())
        entries.push_back({select.text(0), select.text(1), select.integer(2) != 0, select.text(3)});
    return entries;
}

std::vector<std::string> entriesOfFile(Store& store, const std::string& path) {
    std::vector<std::string> entries;
    Statement select(store.db(), "SELECT DISTINCT entry FROM items WHERE file = (SELECT id FROM "
                                 "files WHERE path = ?) ORDER BY entry");
    select.bind(1, path);
    while (select.step())
        entries.push_back(select.text(0));
    return entries;
}

std::vector<EntryTitle> entryTitlesOfFile(Store& store, const std::string& path) {
    std::vector<EntryTitle> entries;
    Statement select(store.db(), "SELECT entry, title FROM items WHERE file = (SELECT id FROM "
                                 "files WHERE path = ?) ORDER BY id");
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
    Statement(store.db(), "INSERT OR REPLACE INTO readmarks SELECT DISTINCT files.channel, entry, "
                          "1, ?2 FROM files JOIN items ON items.file = files.id "
                          "WHERE files.channel = ?1")
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
                          "files JOIN items ON items.file = files.id WHERE files.channel = "
                          "readmarks.channel AND items.entry = readmarks.entry) AND EXISTS "
                          "(SELECT 1 FROM files JOIN items ON items.file = files.id "
                          "WHERE files.channel = readmarks.channel)")
        .bind(1, int64_t(now) - kForgetAfterSeconds)
        .step();
    return store.db().changes();
}

} // namespace kelvor::store
