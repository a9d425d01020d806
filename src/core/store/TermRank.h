// The relevance hits are ordered by, cheaper than FTS5's own bm25.
#pragma once

struct sqlite3;

namespace kelvor::store {

// term_rank(table, tokens, weight, ...) on this connection's FTS5 tables,
// `tokens` being the row's length in tokens, the weights those of its
// columns: bm25
// without the inverse document frequency. Every hit holds every word of the
// query, so that weight only tilts one word against another, and bm25 pays
// for it with a second pass over each word's matches before the first row.
// Lower is better, as with bm25; one word orders its hits as bm25 does.
void registerTermRank(sqlite3* db);

} // namespace kelvor::store
