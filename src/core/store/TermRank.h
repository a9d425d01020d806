// The relevance hits are ordered by, cheaper than FTS5's own bm25.
#pragma once

struct sqlite3;
struct fts5_api;

namespace kelvor::store {

// term_rank(table, tokens, average, weight, ...) on this connection's FTS5
// tables, `tokens` being the row's length in tokens, `average` that of all
// rows, the weights those of the table's columns (each column holding a
// word counts once, at its weight): bm25 without the inverse
// document frequency. Every hit holds every word of the query, so that
// weight only tilts one word against another, and bm25 pays for it with a
// second pass over each word's matches before the first row. The lengths
// come from outside so that tables of different tokens rank alike.
// Lower is better, as with bm25; one word orders its hits as bm25 does.
//
// in_title(table): 1 when every phrase of the query is in the table's first
// column (the title), else 0.
//
// title_may_hold(table, parts...): 0 when some part of the query, given as
// its count of phrases (see WordTerms::titleParts), has none in the
// title, else 1.
void registerTermRank(sqlite3* db);

// FTS5's own interface on this connection, or null.
fts5_api* fts5ApiOf(sqlite3* db);

} // namespace kelvor::store
