#include "sync/SyncTables.h"

namespace kelvor::sync {
namespace {

constexpr const char* kTables = R"(
CREATE TABLE IF NOT EXISTS sync_servers(server TEXT PRIMARY KEY, synced INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS sync_state(server TEXT NOT NULL, key TEXT NOT NULL,
  value INTEGER NOT NULL, PRIMARY KEY(server, key));
CREATE TABLE IF NOT EXISTS sync_articles(server TEXT NOT NULL, article INTEGER NOT NULL,
  feed INTEGER NOT NULL, channel TEXT NOT NULL, entry TEXT NOT NULL,
  read INTEGER NOT NULL, starred INTEGER NOT NULL, PRIMARY KEY(server, article));
CREATE INDEX IF NOT EXISTS sync_articles_by_entry ON sync_articles(channel, entry);
CREATE TABLE IF NOT EXISTS sync_pending(server TEXT NOT NULL, article INTEGER NOT NULL,
  field INTEGER NOT NULL, value INTEGER NOT NULL, changed INTEGER NOT NULL,
  PRIMARY KEY(server, article, field));
CREATE TABLE IF NOT EXISTS sync_catchups(server TEXT NOT NULL, feed INTEGER NOT NULL,
  until INTEGER NOT NULL, PRIMARY KEY(server, feed));
CREATE TABLE IF NOT EXISTS sync_feeds(server TEXT NOT NULL, feed INTEGER NOT NULL,
  url TEXT NOT NULL, title TEXT NOT NULL, PRIMARY KEY(server, feed));
)";

} // namespace

void createSyncTables(store::Database& db) {
    db.exec(kTables);
}

SyncTables::SyncTables(store::Store& store, std::string server)
    : store_(store), server_(std::move(server)) {
    createSyncTables(store_.db());
}

int64_t SyncTables::lastSync() {
    store::Statement select(db(), "SELECT synced FROM sync_servers WHERE server = ?");
    select.bind(1, server_);
    return select.step() ? select.integer(0) : 0;
}

void SyncTables::setLastSync(int64_t when) {
    store::Statement(db(), "INSERT OR REPLACE INTO sync_servers VALUES (?, ?)")
        .bind(1, server_)
        .bind(2, when)
        .step();
}

int64_t SyncTables::state(const std::string& key) {
    store::Statement select(db(), "SELECT value FROM sync_state WHERE server = ? AND key = ?");
    select.bind(1, server_).bind(2, key);
    return select.step() ? select.integer(0) : 0;
}

void SyncTables::setState(const std::string& key, int64_t value) {
    store::Statement(db(), "INSERT OR REPLACE INTO sync_state VALUES (?, ?, ?)")
        .bind(1, server_)
        .bind(2, key)
        .bind(3, value)
        .step();
}

std::map<int64_t, KnownArticle> SyncTables::articles() {
    std::map<int64_t, KnownArticle> known;
    store::Statement select(db(), "SELECT article, feed, channel, entry, read, starred FROM "
                                  "sync_articles WHERE server = ?");
    select.bind(1, server_);
    while (select.step())
        known[select.integer(0)] = {select.integer(0), select.integer(1), select.text(2),
                                    select.text(3), select.integer(4) != 0,
                                    select.integer(5) != 0};
    return known;
}

void SyncTables::putArticle(const KnownArticle& a) {
    store::Statement(db(), "INSERT OR REPLACE INTO sync_articles VALUES (?, ?, ?, ?, ?, ?, ?)")
        .bind(1, server_)
        .bind(2, a.article)
        .bind(3, a.feed)
        .bind(4, a.channel)
        .bind(5, a.entry)
        .bind(6, int64_t(a.read))
        .bind(7, int64_t(a.starred))
        .step();
}

void SyncTables::forgetArticles(const std::vector<int64_t>& ids) {
    store::Statement remove(db(), "DELETE FROM sync_articles WHERE server = ? AND article = ?");
    for (int64_t id : ids) {
        remove.bind(1, server_).bind(2, id).step();
        remove.reset();
    }
}

// The store's readmarks and caughtup tables are read here and nowhere else
// in the sync: the reader writes them, the sync only looks.
void SyncTables::collectReaderChanges(int64_t since) {
    store::Statement(db(), "INSERT OR REPLACE INTO sync_pending SELECT a.server, a.article, 2, "
                           "m.read, m.changed FROM sync_articles a JOIN readmarks m ON "
                           "m.channel = a.channel AND m.entry = a.entry WHERE a.server = ?1 "
                           "AND m.changed >= ?2 AND m.changed > coalesce((SELECT changed FROM "
                           "sync_pending p WHERE p.server = ?1 AND p.article = a.article AND "
                           "p.field = 2), -1)")
        .bind(1, server_)
        .bind(2, since)
        .step();
    store::Statement(db(), "INSERT OR REPLACE INTO sync_catchups SELECT f.server, f.feed, c.until "
                           "FROM sync_feeds f JOIN caughtup c ON c.channel = f.url WHERE "
                           "f.server = ?1 AND c.until > ?2")
        .bind(1, server_)
        .bind(2, since)
        .step();
}

std::vector<PendingMark> SyncTables::pending() {
    std::vector<PendingMark> marks;
    store::Statement select(db(), "SELECT article, field, value, changed FROM sync_pending "
                                  "WHERE server = ? ORDER BY article");
    select.bind(1, server_);
    while (select.step())
        marks.push_back({select.integer(0), static_cast<MarkField>(select.integer(1)),
                         select.integer(2) != 0, select.integer(3)});
    return marks;
}

void SyncTables::putPending(const PendingMark& mark) {
    store::Statement(db(), "INSERT OR REPLACE INTO sync_pending VALUES (?, ?, ?, ?, ?)")
        .bind(1, server_)
        .bind(2, mark.article)
        .bind(3, int64_t(mark.field))
        .bind(4, int64_t(mark.value))
        .bind(5, mark.changed)
        .step();
}

void SyncTables::dropPending(int64_t article, MarkField field) {
    store::Statement(db(), "DELETE FROM sync_pending WHERE server = ? AND article = ? AND field = ?")
        .bind(1, server_)
        .bind(2, article)
        .bind(3, int64_t(field))
        .step();
}

std::map<int64_t, int64_t> SyncTables::catchups() {
    std::map<int64_t, int64_t> list;
    store::Statement select(db(), "SELECT feed, until FROM sync_catchups WHERE server = ?");
    select.bind(1, server_);
    while (select.step())
        list[select.integer(0)] = select.integer(1);
    return list;
}

void SyncTables::dropCatchup(int64_t feed) {
    store::Statement(db(), "DELETE FROM sync_catchups WHERE server = ? AND feed = ?")
        .bind(1, server_)
        .bind(2, feed)
        .step();
}

std::vector<KnownFeed> SyncTables::feeds() {
    std::vector<KnownFeed> list;
    store::Statement select(db(), "SELECT feed, url, title FROM sync_feeds WHERE server = ?");
    select.bind(1, server_);
    while (select.step())
        list.push_back({select.integer(0), select.text(1), select.text(2)});
    return list;
}

void SyncTables::setFeeds(const std::vector<KnownFeed>& list) {
    store::Transaction transaction(db());
    store::Statement(db(), "DELETE FROM sync_feeds WHERE server = ?").bind(1, server_).step();
    store::Statement insert(db(), "INSERT OR REPLACE INTO sync_feeds VALUES (?, ?, ?, ?)");
    for (const KnownFeed& feed : list) {
        insert.bind(1, server_).bind(2, feed.feed).bind(3, feed.url).bind(4, feed.title).step();
        insert.reset();
    }
    transaction.commit();
}

} // namespace kelvor::sync
