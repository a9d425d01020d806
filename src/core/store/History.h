// The history of the channels: a copy holds only what its feed carries now,
// so the entries that leave it are kept here, by their channel, to be found
// by search (see Search.h, Hit::history) and shown under the channel. The
// indexer keeps them as it reindexes a copy or drops one whose file is gone;
// an entry back in the feed leaves the history again. Read marks go by the
// same channel and entry keys, and stay while the entry is history.
#pragma once

#include "store/Store.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace kelvor::store {

// How much history is kept. Age is counted from when an entry left its
// feed, not from its date: many entries have no date, or one no clock can
// read, and a slow feed's entries are often older than any limit by the
// time they leave; those would be gone at once. Past the count, what left
// first goes first (the older by date among those that left together).
struct HistoryOptions {
    int keepDays = 180;        // 0: nothing is kept
    int keepPerChannel = 2000; // 0: nothing is kept
};

// Kept in kelvor.db, so that every connection (the reader's, its indexing
// thread's, kelvor-tool's) applies the same limits. Applied at once to what
// is kept, then whenever history is added.
void setHistoryOptions(Store& store, const HistoryOptions& options,
                       std::time_t now = std::time(nullptr));
// The options set, or the defaults.
HistoryOptions historyOptions(Store& store);

struct HistoryEntry {
    std::string title, link, date; // date as the feed wrote it
    std::string description;       // the description as plain text, as the index keeps it
    std::string channel, entry;    // the read-mark keys
    std::string file;              // the copy it left
    std::time_t left = 0;          // when it left
    bool read = false;
};

// The history of the channel whose copy is cacheFile (the channel's key
// comes from the index, or, when the copy is gone, from the history itself),
// newest first: the last to leave first, then by date. At most `limit`.
std::vector<HistoryEntry> historyOf(Store& store, const std::string& cacheFile, size_t limit);
// How many entries historyOf would give without a limit.
size_t historyCount(Store& store, const std::string& cacheFile);

// Forgets all history and returns how many entries it held. Meant for after
// the cache folders were emptied: copies gone from the disk are dropped from
// the index without leaving history behind. Copies still there stay indexed.
int64_t clearHistory(Store& store);

// Drops what left longer ago than the options keep; the indexer calls it
// after a full update.
void pruneOldHistory(Store& store, std::time_t now = std::time(nullptr));

} // namespace kelvor::store
