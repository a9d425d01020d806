// Feeds for the thousand-channel rows: the shape of FeedGenerator's items
// (title, link, date, guid, an escaped HTML description with a link; about
// 1.65 KB an item) with their text made of the store benchmark's made-up
// words (bench/store/Collection.h), so that a searched word is in a few
// percent of the entries, as a real one, instead of in every one.
#pragma once

#include <string>
#include <vector>

namespace kelvor::bench {

// An RSS 2.0 feed of `items` items; the same seed gives the same feed.
std::string generateWordFeed(int items, int seed, const std::vector<std::string>& words);

} // namespace kelvor::bench
