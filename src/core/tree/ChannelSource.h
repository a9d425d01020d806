// Where a channel's content comes from, which cache file holds its copy and
// whether that copy is still fresh.
#pragma once

#include "platform/XmlDom.h"

#include <ctime>
#include <string>

namespace kelvor::tree {

enum ChannelResult : int {
    kNotChannel = -1,  // neither NodeSrc nor Rss has a value
    kLocalFile = 0,    // source is a local tree file; nothing to download
    kCacheFresh = 1,   // cacheFile holds a fresh copy
    kCacheExpired = 2, // cacheFile holds an expired copy
    kMustDownload = 3, // no copy yet (or lifetime 0); cacheFile is where it goes
};

// A copy exists (fresh or not).
inline bool hasCopy(int result) { return result == kCacheFresh || result == kCacheExpired; }
// The channel has a feed of its own to ask (not a local tree file).
inline bool hasFeedToAsk(int result) { return hasCopy(result) || result == kMustDownload; }

// A channel's copy: a file under the home folder's rss/ or url/.
bool isCachePath(const std::string& path, const std::string& home);

// source: the resolved NodeSrc (local path or web address), cacheFile: the
// copy's path, feed: the node's Rss value. `now` is for tests.
ChannelResult ResolveChannelSource(const xml::Node& node, std::string& source,
                                   std::string& cacheFile, std::string& feed,
                                   std::time_t now = std::time(nullptr));

// Where the copy of the node's channel is looked for and the address its
// header must name, from the node alone: no file is read, so it costs
// nothing on the window's thread. Empty for a node with no copy of its own
// (no channel, or a local tree file). locateChannelCopy answers it as
// ResolveChannelSource would.
struct ChannelCopyQuestion {
    std::string first, address;
};
ChannelCopyQuestion channelCopyQuestion(const xml::Node& node);

// The copy of the channel at `address` among `first` ("rss/T.xml") and its
// numbered siblings ("rss/T[1].xml", ...): the one whose header names that
// address (found), else the first name that is free, where a new copy goes.
struct ChannelCopy {
    std::string path;
    bool found = false;
    int expires = -1;         // the copy's own lifetime, -1 when it has none
    std::time_t modified = 0; // when it was written
};
ChannelCopy locateChannelCopy(const std::string& first, const std::string& address);

// ResolveChannelSource with the copy already located for `asked` (by a
// CopyFinder, off the window's thread): reads no file unless the node no
// longer asks the same question.
ChannelResult resolveWithCopy(const xml::Node& node, const ChannelCopyQuestion& asked,
                              const ChannelCopy& copy, std::string& source, std::string& cacheFile,
                              std::string& feed, std::time_t now = std::time(nullptr));

// True for a tree file the user keeps (index.xml, the categories): false
// for one that came from elsewhere, whatever it says of itself: a converted
// feed or list, the Favorites copy, a fetched tree file, anything in the
// home folder's rss/ or url/.
bool isOwnTreeFile(const xml::Document& doc);

// The channel address the copy belongs to ("" when unreadable): the root's
// ChannelURL when its feed was found through a page, else its BaseURL;
// expires from the
// root's Expires, or -1 when it has none. Reads only the root's start tag.
std::string ReadCacheHeader(const std::string& path, int& expires);

// What the server said of the copy when it was downloaded, for a
// conditional request the next time; all empty when the file is unreadable.
struct CacheValidators {
    std::string baseUrl, etag, lastModified;
};
CacheValidators ReadCacheValidators(const std::string& path);

struct CacheFirstItem {
    std::string title, href, desc, date;
};
// The fields of the first item of a cached tree file (all empty when the
// file is unreadable or its root is no Tree or has no item first). Reads
// only as far as the end of that item.
CacheFirstItem ReadCacheFirstItem(const std::string& path);

// A channel title made safe as the base of a cache file name: no folder
// separators or control characters, never "." or "..", and short enough for
// any file system.
std::string cacheFileTitle(const std::string& title);

} // namespace kelvor::tree
