// A home folder of cached channels for the store and window benchmarks:
// made-up words (Latin syllables, and pairs of common Chinese characters)
// so that a word is as selective as a real one, not in every entry.
#pragma once

#include <string>
#include <vector>

namespace kelvor::bench {

// The words the entries are made of (the same every time).
std::vector<std::string> collectionWords();

// Writes index.xml, fav/fav.xml (我的收藏, listing every channel, first in
// the tree) and rss/channelN.xml: `channels` cached channels of `entries`
// entries each, fresh copies of feeds on a closed 127.0.0.1 port. Files
// already there from an earlier run are kept (they are the same).
void writeCollection(const std::string& home, int channels, int entries);

} // namespace kelvor::bench
