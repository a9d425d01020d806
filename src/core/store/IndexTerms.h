// The text of a column as the full-text tables take it: its tokens (see
// CharacterPairs.h) each once, a space between each two. The tables keep
// which columns of a row hold a token and nothing of how often
// (detail=column): a token written again only cost FTS5 another lookup
// among the words it holds, the most of its time in indexing.
//
// A row must leave the tables with the same text it went in with, to the
// number of tokens: FTS5 counts the tokens of each column in and out, and
// takes a count that would go below nothing for a damaged index. So the
// indexer (see ItemTerms.h) and the triggers (see Schema.cpp) both give
// what this gives, and whatever changes it needs a new schema version.
#pragma once

#include "store/TreeFileItems.h"

#include <string>

struct sqlite3;

namespace kelvor::store {

std::string indexTerms(const std::string& text);

// The item's columns as indexTerms gives them, its length as the ranking
// counts it, and the words of its title and text for the vocabulary.
SplitText splitItem(const IndexedItem& item);

// index_terms(text) in SQL on this connection, for the triggers.
void registerIndexTerms(sqlite3* db);

} // namespace kelvor::store
