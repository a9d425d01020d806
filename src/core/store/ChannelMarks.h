// Read marks over whole pages and categories: what a page showing a
// channel's copy or a hot category shows of them, and marking every channel
// under a category read. Both read the tree files themselves, so categories
// the user never opened in the tree count as well.
#pragma once

#include "store/Store.h"

#include <ctime>
#include <string>
#include <vector>

namespace kelvor::store {

// Dates are shown as shownDate (store/EntryDate.h) gives them, so that the
// page's script can put them in place of the feed's own texts.
struct PageEntry {
    std::string link, title;
    bool unread = false;
    std::string shownDate; // "" when the entry has no date
};

struct PageChannel {
    int order = 0; // among the TreeNodes of the page's file, in document order
    std::string title, cacheFile;
    int unread = 0;
    std::string headlineLink;
    bool headlineUnread = false;
    std::string headlineShownDate; // "" when the headline has no date
};

struct PageMarks {
    enum Kind { kNone, kChannel, kHot };
    Kind kind = kNone;
    // A channel page: its copy, how many of the channel's entries are
    // unread, and each entry of the copy.
    std::string cacheFile;
    int unread = 0;
    std::vector<PageEntry> entries;
    // A hot page: its channels that have a copy.
    std::vector<PageChannel> channels;

    // Whether the page shows entries or counts of that copy.
    bool shows(const std::string& copy) const;
};

// The marks of the page showing the local file `path`: a channel's copy
// (under rss/ or url/ of the store's home) or a hot category file; kNone for
// anything else.
PageMarks pageMarksOf(Store& store, const std::string& path);

// Marks read every channel at or under the TreeNode at `position` of a tree
// file (the whole file for ""), through the local categories it leads to.
// Channels never downloaded are skipped. Returns the copies marked.
std::vector<std::string> markAllReadUnder(Store& store, const std::string& path,
                                          const std::string& position,
                                          std::time_t now = std::time(nullptr));

} // namespace kelvor::store
