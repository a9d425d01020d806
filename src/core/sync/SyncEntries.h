// A synced channel's entries as its cached copy under rss/: the same file,
// found the same way, that a download from the feed's own site would write,
// so the tree, pages, search and read marks treat it as any channel. The
// copy keeps what it had, gains what is new and loses what the server no
// longer has; newest first.
#pragma once

#include "sync/TtRssApi.h"

#include <ctime>
#include <set>
#include <string>
#include <vector>

namespace kelvor::sync {

// The copy of the channel titled `title` with feed address `feed`: where the
// tree looks for it (rss/TITLE.xml or a numbered sibling).
std::string channelCopyPath(const std::string& home, const std::string& title,
                            const std::string& feed);

// The read-mark key the store gives the headline's entry in the copy.
std::string entryKeyOfHeadline(const Headline& headline);

struct CopyUpdate {
    std::string path, feed, title;
    std::vector<Headline> added;   // new from the server
    std::set<int64_t> present;     // articles the server still has of this feed
    std::set<int64_t> starred;     // of those, the starred ones
};

// The copy's text after the update: the old copy's entries still present,
// the new ones, each with its star as the server has it.
std::string mergedCopyText(const std::string& oldText, const CopyUpdate& update);

// Writes the merged copy atomically when it differs from the one on disk.
// True when it was written. Throws SyncError when it cannot be.
bool updateChannelCopy(const std::string& home, const CopyUpdate& update);

// RFC 822 in UTC, as RSS dates are written.
std::string rfc822Date(std::time_t seconds);

} // namespace kelvor::sync
