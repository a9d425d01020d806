// Which entries of a channel were read, keyed by the channel (the BaseURL of
// its cache file) and the entry (its link, or title and date). The marks
// live only here, so a refresh or a cleared cache leaves them in place.
#pragma once

#include "store/Store.h"

#include <ctime>
#include <string>
#include <vector>

namespace kelvor::store {

void setRead(Store& store, const std::string& channel, const std::string& entry, bool read,
             std::time_t now = std::time(nullptr));
bool isRead(Store& store, const std::string& channel, const std::string& entry);

// Entries of the channel, as indexed now, that are not marked read.
int unreadCount(Store& store, const std::string& channel);
// The same over every channel with a copy indexed: the sum of their
// unreadCount, an entry kept in two copies of a channel counted once.
int totalUnread(Store& store);
// The channel key the index holds for a cached file ("" when not indexed).
std::string channelOfFile(Store& store, const std::string& path);
// The same, indexing the file first when the index does not know it yet (a
// download whose indexing is still queued, a fresh store); "" when the file
// is missing.
std::string channelOfCacheFile(Store& store, const std::string& path);

// An entry of a file as a page shows it: its link and title, and whether the
// channel's marks say it was read.
struct EntryState {
    std::string link, title;
    bool read = false;
    std::string date; // as the feed wrote it
};
// The entries the index holds of a file, in the file's order.
std::vector<EntryState> entryStatesOfFile(Store& store, const std::string& path);

// The entry keys the index holds of a file, sorted.
std::vector<std::string> entriesOfFile(Store& store, const std::string& path);
// The entries of a file with their titles, in the file's order.
struct EntryTitle {
    std::string entry, title;
};
std::vector<EntryTitle> entryTitlesOfFile(Store& store, const std::string& path);
// The entries of the channel marked read, sorted.
std::vector<std::string> readEntries(Store& store, const std::string& channel);

// Marks every entry the index holds of the channel read, and the channel
// caught up to `now`: an entry that comes later but is dated no later than
// that is read as it arrives, unless it was marked otherwise by hand.
void markChannelRead(Store& store, const std::string& channel,
                     std::time_t now = std::time(nullptr));

// Forgets the marks of entries that left their feed and were not touched for
// 90 days; returns how many.
int forgetOldMarks(Store& store, std::time_t now = std::time(nullptr));

} // namespace kelvor::store
