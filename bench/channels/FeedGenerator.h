// Synthetic RSS 2.0 feeds of a realistic shape for the channel benchmarks:
// each item about 1.75 KB (a title, link, date, guid and an escaped HTML
// description, mixed Chinese and English).
#pragma once

#include <string>

namespace kelvor::bench {

std::string generateFeed(int items, int seed);
// The same entries as an Atom 1.0 feed (title, alternate link, updated,
// id and an HTML summary).
std::string generateAtomFeed(int items, int seed);

} // namespace kelvor::bench
