// The server's subscriptions as a category of their own under 我的收藏:
// fav/sync-<server>.xml, one folder per server category, each feed a channel
// node as the user's own categories have them. The sync makes and rewrites
// it; what the user added to it or deleted from it is read back first and
// becomes a subscription or an unsubscription on the server.
#pragma once

#include "sync/TtRssApi.h"

#include <string>
#include <vector>

namespace kelvor::sync {

// "127.0.0.1-8183" for "http://127.0.0.1:8183/tt-rss/": the server's host
// and port in [A-Za-z0-9.-] only, safe as part of a file name.
std::string serverKey(const std::string& serverUrl);
// "fav/sync-<serverKey>.xml", as the tree's NodeSrc names it ("/fav/...").
std::string categoryFileName(const std::string& serverUrl);

struct CategoryChannel {
    std::string title, feed; // the node's Title and Rss
    std::string folder;      // the title of the folder it is in, "" at the top
};

// The channels the category file lists now; empty when it does not exist
// (a missing file is made again, not read as "unsubscribe everything").
// exists tells the two apart.
std::vector<CategoryChannel> readCategoryChannels(const std::string& path, bool& exists);

// The whole file for the server's categories and feeds: an empty category
// stays as an empty folder, feeds of no category known go to the top.
std::string categoryFileText(const std::string& title, const std::vector<ServerCategory>& categories,
                             const std::vector<ServerFeed>& feeds);

// Writes it atomically (only when it changed) and lists it under 我的收藏.
// Throws SyncError when it cannot be written.
void writeCategoryFile(const std::string& home, const std::string& serverUrl,
                       const std::vector<ServerCategory>& categories,
                       const std::vector<ServerFeed>& feeds);

} // namespace kelvor::sync
