// What the index keeps of one tree file: its items with their text, where
// each lives, and the local files its NodeSrc items lead to.
#pragma once

#include "tree/ChannelSource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelvor::store {

// An item's texts as the full-text index takes them (see ItemTerms.h),
// split while the file is read ahead so that the writer only writes.
struct SplitText {
    bool ready = false;
    // Their tokens as FTS5 takes them, each once (see DistinctTokens.h),
    // or else as characterPairs gives them.
    std::string title, body, link;
    int64_t tokens = 0;      // the item's length as the ranking counts it
    std::string words;       // for the vocabulary, each once, a space between
    bool wordsReady = false; // else the writer finds them in the texts
};

struct IndexedItem {
    std::string position; // "2.0.5": index among TreeNode siblings, from the root down
    std::string title, link, date;
    std::string body;       // the description as plain text
    std::string packedBody; // the body deflated (see PackedText.h) when read ahead, else empty
    std::string place;      // the file's title, then the titles of the parents, " > " between
    std::string entry;      // the read-mark key within the channel
    SplitText split;
};

struct TreeFileContent {
    std::string channel;              // cache files: the BaseURL that ties it to its channel
    std::vector<std::string> targets; // local tree files inside home reached through NodeSrc
    std::vector<IndexedItem> items;
};

// An entry's read-mark key: its link, or its title and date when it has none.
std::string entryKeyOf(const std::string& title, const std::string& link, const std::string& date);

// The channel key of a cache file: its root's BaseURL, or else its path
// relative to home.
std::string cacheChannelKey(const std::string& baseUrl, const std::string& path,
                            const std::string& home);

// Reads the tree file at path (absolute). A file that does not load gives no
// items. Cache files (under rss/ or url/) follow no NodeSrc. Without text,
// items carry only their position, date and entry key (what read marks need).
TreeFileContent readTreeFileContent(const std::string& path, const std::string& home,
                                    bool withText = true);

using tree::isCachePath;

} // namespace kelvor::store

namespace kelvor::store {

// The description (as HTML) of the item at `position` of the tree file, ""
// when the file or the item is no longer there.
std::string readItemDescription(const std::string& path, const std::string& position);

using tree::isCachePath;

} // namespace kelvor::store
