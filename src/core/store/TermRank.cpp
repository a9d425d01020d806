#include "store/TermRank.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

namespace kelvor::store {
namespace {

// bm25's usual constants, as FTS5 takes them.
constexpr double kSaturation = 1.2;
constexpr double kLengthWeight = 0.75;

// The weight of each phrase's instances, for queries of up to this many
// words: past it, the rest count as the last.
constexpr int kPhrases = 16;

// Title, text and link.
constexpr int kColumns = MatchCollector::kColumns;

// The columns each phrase of the query is in at the current row, a bit a
// column: read once a row for everything asked of it. The index keeps
// which columns hold a word, not how often, nor where.
using PhraseColumns = std::vector<unsigned>;

int readColumns(const Fts5ExtensionApi* api, Fts5Context* fts, PhraseColumns& columns) {
    int phrases = api->xPhraseCount(fts);
    columns.assign(static_cast<size_t>(std::max(phrases, 0)), 0);
    for (int phrase = 0; phrase < phrases; ++phrase) {
        Fts5PhraseIter at;
        int column = -1;
        int rc = api->xPhraseFirstColumn(fts, phrase, &at, &column);
        for (; rc == SQLITE_OK && column >= 0; api->xPhraseNextColumn(fts, &at, &column))
            columns[static_cast<size_t>(phrase)] |= column < 32 ? 1u << column : 0;
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

// bm25 of the row without the inverse document frequency, lower being
// better; `weights` are the columns', 1 past them. Each column holding a
// phrase counts once, at its weight.
double scoreOf(const PhraseColumns& columns, double length, double average, const double* weights,
               int weightCount) {
    average = std::max(average, 1.0);
    size_t slots = std::min<size_t>(columns.size(), kPhrases);
    double frequency[kPhrases];
    std::fill_n(frequency, slots, 0.0);
    for (size_t phrase = 0; phrase < columns.size(); ++phrase)
        for (unsigned left = columns[phrase]; left != 0; left &= left - 1) {
            int column = __builtin_ctz(left);
            frequency[std::min(phrase, slots - 1)] += column < weightCount ? weights[column] : 1.0;
        }
    double norm = kSaturation * (1 - kLengthWeight + kLengthWeight * length / average);
    double score = 0;
    for (size_t i = 0; i < slots; ++i) // most phrases of a long query are alternatives not found
        if (frequency[i] > 0)
            score += frequency[i] * (kSaturation + 1) / (frequency[i] + norm);
    return -score;
}

// Scratch for the functions below, which SQLite calls once a row.
PhraseColumns& rowColumns() {
    thread_local PhraseColumns columns;
    return columns;
}

void termRank(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int count,
              sqlite3_value** values) {
    if (count < 2) {
        sqlite3_result_error(context, "term_rank: the row's length or the average is missing", -1);
        return;
    }
    double weights[kColumns] = {};
    int weightCount = std::min(count - 2, kColumns);
    for (int i = 0; i < weightCount; ++i)
        weights[i] = sqlite3_value_double(values[i + 2]);
    PhraseColumns& columns = rowColumns();
    if (int rc = readColumns(api, fts, columns); rc != SQLITE_OK)
        return sqlite3_result_error_code(context, rc);
    sqlite3_result_double(context, scoreOf(columns, sqlite3_value_double(values[0]),
                                           sqlite3_value_double(values[1]), weights, weightCount));
}

bool inTitleColumn(unsigned columns) {
    return columns & 1u;
}

// Whether each phrase is in the first column, the title: the title can
// hold the query only then, and only then is it worth reading. Column lists
// serve tables without positions as well.
void inTitle(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int,
             sqlite3_value**) {
    PhraseColumns& columns = rowColumns();
    if (int rc = readColumns(api, fts, columns); rc != SQLITE_OK)
        return sqlite3_result_error_code(context, rc);
    sqlite3_result_int(context, std::all_of(columns.begin(), columns.end(), inTitleColumn));
}

// Whether the title holds every part of the query (see TitleHolds), the
// parts given as how many phrases each has, negated for a part the index
// may not see in a title (see WordTerms::titleParts).
TitleHolds titleHolds(const PhraseColumns& columns, const std::vector<int>& parts) {
    size_t phrase = 0;
    TitleHolds holds = TitleHolds::kEveryPart;
    for (int size : parts) {
        size_t end = std::min(phrase + static_cast<size_t>(std::abs(size)), columns.size());
        bool seen = std::any_of(columns.begin() + static_cast<std::ptrdiff_t>(phrase),
                                columns.begin() + static_cast<std::ptrdiff_t>(end), inTitleColumn);
        if (!seen && size >= 0)
            return TitleHolds::kNo;
        if (!seen)
            holds = TitleHolds::kMaybe;
        phrase = end;
    }
    return holds;
}

// collect_match(table, collector [, tokens, seconds]): see TermRank.h.
void collectMatch(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context,
                  int count, sqlite3_value** values) {
    auto* collector =
        count > 0 ? static_cast<MatchCollector*>(sqlite3_value_pointer(values[0], kCollectorType))
                  : nullptr;
    if (!collector) {
        sqlite3_result_error(context, "collect_match: no collector", -1);
        return;
    }
    CollectedMatch match;
    match.id = api->xRowid(fts);
    int64_t tokens = 0; // the row's length
    if (collector->keys) {
        match.key = collector->keys->find(match.id);
    } else if (count >= 3) {
        tokens = sqlite3_value_int64(values[1]);
        match.seconds = sqlite3_value_int64(values[2]);
    }
    if (match.key) {
        tokens = match.key->tokens;
        match.seconds = match.key->seconds;
    }
    PhraseColumns& columns = rowColumns();
    if (int rc = readColumns(api, fts, columns); rc != SQLITE_OK)
        return sqlite3_result_error_code(context, rc);
    match.title = titleHolds(columns, collector->titleParts);
    match.score =
        scoreOf(columns, double(tokens), collector->average, collector->weights, kColumns);
    try {
        collector->matches.push_back(match);
    } catch (...) { // nothing may be thrown back through SQLite
        return sqlite3_result_error_nomem(context);
    }
    sqlite3_result_null(context);
}

} // namespace

fts5_api* fts5ApiOf(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
        sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    return api;
}

void registerTermRank(sqlite3* db) {
    if (fts5_api* api = fts5ApiOf(db)) {
        api->xCreateFunction(api, "term_rank", nullptr, termRank, nullptr);
        api->xCreateFunction(api, "in_title", nullptr, inTitle, nullptr);
        api->xCreateFunction(api, "collect_match", nullptr, collectMatch, nullptr);
    }
}

} // namespace kelvor::store
