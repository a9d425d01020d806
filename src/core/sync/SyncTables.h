// What the sync keeps in kelvor.db beside the store's own tables (made here,
// not in the store's schema): the articles it knows with the state both
// sides agreed on at the last sync, the marks not sent yet, the feeds it
// wrote into the category file, when each server was last synced and how
// far its article list has been read.
#pragma once

#include "store/Store.h"

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace kelvor::sync {

void createSyncTables(store::Database& db);

struct KnownArticle {
    int64_t article = 0, feed = 0;
    std::string channel, entry; // the read mark's keys in the store
    bool read = false, starred = false;
};

// A mark made in the reader that the server has not been told yet.
enum class MarkField { Starred = 0, Read = 2 };
struct PendingMark {
    int64_t article = 0;
    MarkField field = MarkField::Read;
    bool value = false;
    int64_t changed = 0;
};

struct KnownFeed {
    int64_t feed = 0;
    std::string url, title;
};

class SyncTables {
  public:
    SyncTables(store::Store& store, std::string server);

    int64_t lastSync();
    void setLastSync(int64_t when);

    // A number the sync keeps for this server under `key`; 0 when unset.
    int64_t state(const std::string& key);
    void setState(const std::string& key, int64_t value);

    std::map<int64_t, KnownArticle> articles();
    void putArticle(const KnownArticle& article);
    void forgetArticles(const std::vector<int64_t>& ids);

    // The reader's read marks of known articles set since `since` become
    // pending; so do the channels it marked all read (catch-ups).
    void collectReaderChanges(int64_t since);
    std::vector<PendingMark> pending();
    void putPending(const PendingMark& mark);
    void dropPending(int64_t article, MarkField field);

    std::map<int64_t, int64_t> catchups(); // feed -> until
    void dropCatchup(int64_t feed);

    std::vector<KnownFeed> feeds();
    void setFeeds(const std::vector<KnownFeed>& feeds);

    store::Database& db() { return store_.db(); }

  private:
    store::Store& store_;
    std::string server_;
};

} // namespace kelvor::sync
