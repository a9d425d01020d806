#include "store/History.h"

#include "store/HistoryKeeper.h"
#include "store/PackedText.h"
#include "store/ReadMarks.h"
#include "store/Schema.h"
#include "store/TreeFileItems.h"

#include <algorithm>
#include <filesystem>

namespace kelvor::store {
namespace {

constexpr int64_t kDay = 24 * 3600;

// The channel whose history a copy shows: the one the index holds for it,
// or, when the copy is gone (the cache cleared, the feed not read again
// yet), the one its entries left under.
std::string historyChannelOf(Store& store, const std::string& cacheFile) {
    std::string channel = channelOfCacheFile(store, cacheFile);
    if (!channel.empty())
        return channel;
    Statement select(store.db(), "SELECT channel FROM history WHERE file = ? "
                                 "ORDER BY departed DESC LIMIT 1");
    select.bind(1, cacheFile);
    return select.step() ? select.text(0) : std::string();
}

} // namespace

void setHistoryOptions(Store& store, const HistoryOptions& options, std::time_t now) {
    HistoryOptions kept{std::max(options.keepDays, 0), std::max(options.keepPerChannel, 0)};
    Transaction transaction(store.db());
    Statement(store.db(), "INSERT OR REPLACE INTO historylimits VALUES (1, ?, ?)")
        .bind(1, int64_t(kept.keepDays))
        .bind(2, int64_t(kept.keepPerChannel))
        .step();
    pruneHistoryBefore(store.db(), int64_t(now) - int64_t(kept.keepDays) * kDay);
    Statement(store.db(),
              "DELETE FROM history WHERE id IN (SELECT id FROM (SELECT id, row_number() OVER "
              "(PARTITION BY channel ORDER BY departed DESC, seconds DESC, id DESC) AS place "
              "FROM history) WHERE place > ?)")
        .bind(1, int64_t(kept.keepPerChannel))
        .step();
    transaction.commit();
}

HistoryOptions historyOptions(Store& store) {
    return historyOptionsOf(store.db());
}

std::vector<HistoryEntry> historyOf(Store& store, const std::string& cacheFile, size_t limit) {
    std::vector<HistoryEntry> entries;
    std::string channel = historyChannelOf(store, cacheFile);
    if (channel.empty() || limit == 0)
        return entries;
    Statement select(store.db(),
                     "SELECT title, link, date, body, channel, entry, file, departed, EXISTS "
                     "(SELECT 1 FROM readmarks WHERE readmarks.channel = history.channel AND "
                     "readmarks.entry = history.entry AND read = 1) FROM history "
                     "WHERE channel = ? ORDER BY departed DESC, seconds DESC, id DESC LIMIT ?");
    select.bind(1, channel).bind(2, static_cast<int64_t>(std::min<size_t>(limit, INT64_MAX)));
    while (select.step())
        entries.push_back({select.text(0), select.text(1), select.text(2), unpackText(select.text(3)),
                           select.text(4), select.text(5), select.text(6),
                           static_cast<std::time_t>(select.integer(7)), select.integer(8) != 0});
    return entries;
}

size_t historyCount(Store& store, const std::string& cacheFile) {
    std::string channel = historyChannelOf(store, cacheFile);
    if (channel.empty())
        return 0;
    Statement count(store.db(), "SELECT count(*) FROM history WHERE channel = ?");
    count.bind(1, channel).step();
    return static_cast<size_t>(count.integer(0));
}

int64_t clearHistory(Store& store) {
    Database& db = store.db();
    Transaction transaction(db);
    int64_t held = 0;
    {
        Statement count(db, "SELECT count(*) FROM history");
        count.step();
        held = count.integer(0);
    }
    recreateHistoryTables(db);
    // Dropped by the next update, these would leave their entries behind
    // as history again.
    std::vector<std::string> gone;
    {
        Statement files(db, "SELECT path FROM files");
        std::error_code ec;
        while (files.step()) {
            std::string path = files.text(0);
            if (isCachePath(path, store.home()) && !std::filesystem::exists(path, ec))
                gone.push_back(path);
        }
    }
    Statement items(db, "DELETE FROM items WHERE file = (SELECT id FROM files WHERE path = ?)");
    Statement file(db, "DELETE FROM files WHERE path = ?");
    for (const std::string& path : gone) {
        items.bind(1, path).step();
        items.reset();
        file.bind(1, path).step();
        file.reset();
    }
    transaction.commit();
    return held;
}

void pruneOldHistory(Store& store, std::time_t now) {
    pruneHistoryBefore(store.db(),
                       int64_t(now) - int64_t(historyOptionsOf(store.db()).keepDays) * kDay);
}

} // namespace kelvor::store
