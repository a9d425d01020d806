// Finding items in the index, as the search box and kelvor-tool ask.
#pragma once

#include "store/Store.h"

#include <string>
#include <vector>

namespace kelvor::store {

struct Hit {
    std::string title, link, date;
    std::string snippet; // the description text around the first match
    std::string place;   // the file's title and the titles of the parents
    std::string file;    // absolute path of the tree file
    std::string position;
    std::string channel, entry;
};

// Items holding every word of the query (split at white space) in their
// title, description or link, ignoring the case of Latin letters. Words of
// three characters or more go through the trigram index; shorter ones, which
// trigrams cannot find, are matched on the indexed text itself. Hits come in
// the order the collection was indexed (within a file, the file's order):
// ranking every match by relevance cost ten times the time of the search.
std::vector<Hit> search(Store& store, const std::string& query, int limit);

// The words of a query, as search() splits it.
std::vector<std::string> queryWords(const std::string& query);

} // namespace kelvor::store
