// Synthetic RSS 2.0 feeds of a realistic shape for the channel benchmarks:
// each item about 1.75 KB (a title, link, date, guid and an escaped HTML
// description, mixed Chinese and English).
#pragma once

#include <string>

namespace kelvor::bench {

std::string generateFeed(int items, int seed);

} // namespace kelvor::bench
