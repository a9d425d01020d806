// Finding items in the index, as the search box and kelvor-tool ask.
#pragma once

#include "store/Store.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelvor::store {

struct Hit {
    std::string title, link, date;
    std::string snippet; // the description text around the first match
    std::string place;   // the file's title and the titles of the parents
    std::string file;    // absolute path of the tree file; of history, the copy it left
    std::string position; // "" for history
    std::string channel, entry;
    // An entry that has left its channel's copy (see History.h): it opens by
    // its link, and the tree shows it under the channel's 历史条目.
    bool history = false;
};

struct SearchResult {
    int64_t total = 0;     // every hit of the query
    std::vector<Hit> hits; // the page asked for
};

constexpr int kSearchPage = 100;

// Items holding every word of the query (split at white space) in their
// title, description or link, ignoring the case of Latin letters. Words of
// three characters or more go through the trigram index, or, when each is
// of ASCII letters and digits only, through the tails of Latin words (see
// WordTails.h), which find the same items; shorter ones, which trigrams
// cannot find, through the index of character pairs: one or two Chinese
// characters anywhere, Latin letters and digits at the start of a word. An
// entry held by two copies of its channel is one hit. Entries of the
// channels' history are found and ranked alike, marked as such.
//
// First come the items whose title is the query, then those whose title
// holds it as a phrase, then the rest by relevance (bm25 without the inverse
// document frequency, see TermRank.h; the title counting most), newest first among equals. The hits
// returned are those from `offset` on, at most `limit` of them. Throws StoreError when the index
// cannot be read: a failed search is no empty one.
SearchResult search(Store& store, const std::string& query, int64_t offset = 0,
                    int limit = kSearchPage);

// The words of a query, as search() splits it.
std::vector<std::string> queryWords(const std::string& query);

} // namespace kelvor::store
