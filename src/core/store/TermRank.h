// The relevance hits are ordered by, cheaper than FTS5's own bm25.
#pragma once

#include "store/RankKeys.h"

#include <cstdint>
#include <vector>

struct sqlite3;
struct fts5_api;

namespace kelvor::store {

// What the index tells of a match's title: it holds no phrase of some part
// of the query (so it cannot hold the query), a phrase of each part, or a
// phrase of each part the index can see there and none of some other.
enum class TitleHolds : unsigned char { kNo, kEveryPart, kMaybe };

struct CollectedMatch {
    int64_t id = 0;
    double score = 0; // lower is better
    int64_t seconds = 0;
    const RankKeys::Key* key = nullptr; // when the collector has the keys and the row one
    TitleHolds title = TitleHolds::kNo;
};

// What collect_match ranks the matches of one query by, and where it puts
// them. Bound to the statement as a pointer of type kCollectorType.
struct MatchCollector {
    static constexpr int kColumns = 3;
    std::vector<int> titleParts; // see WordTerms::titleParts
    double average = 1;          // the mean length of every row ranked alike
    double weights[kColumns] = {1, 1, 1};
    const RankKeys* keys = nullptr; // the rows' lengths and dates; null: given in SQL
    std::vector<CollectedMatch> matches;
};

inline constexpr const char* kCollectorType = "kelvor_match_collector";

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
// collect_match(table, collector [, tokens, seconds]) adds the row to the
// collector (ranked as term_rank does, with the collector's weights and
// average) and gives null. It is meant for the WHERE clause (FTS5 refuses
// it inside an aggregate): one call a row, where three functions and a row
// handed back to the caller each cost more than finding the row. Its length
// and date come from the collector's keys, else from the arguments.
void registerTermRank(sqlite3* db);

// FTS5's own interface on this connection, or null.
fts5_api* fts5ApiOf(sqlite3* db);

} // namespace kelvor::store
