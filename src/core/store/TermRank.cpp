#include "store/TermRank.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>

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

// bm25 of the current row without the inverse document frequency, lower
// being better; `weights` are the columns', 1 past them. The index keeps
// which columns hold a word, not how often: each column holding it counts
// once, at its weight.
double scoreOf(const Fts5ExtensionApi* api, Fts5Context* fts, double length, double average,
               const double* weights, int weightCount, int& rc) {
    average = std::max(average, 1.0);
    double frequency[kPhrases] = {};
    int phrases = std::min(api->xPhraseCount(fts), kPhrases);
    rc = SQLITE_OK;
    for (int phrase = 0; rc == SQLITE_OK && phrase < api->xPhraseCount(fts); ++phrase) {
        Fts5PhraseIter at;
        int column = -1;
        for (rc = api->xPhraseFirstColumn(fts, phrase, &at, &column);
             rc == SQLITE_OK && column >= 0; api->xPhraseNextColumn(fts, &at, &column))
            frequency[std::min(phrase, kPhrases - 1)] +=
                column < weightCount ? weights[column] : 1.0;
    }
    double norm = kSaturation * (1 - kLengthWeight + kLengthWeight * length / average);
    double score = 0;
    for (int i = 0; i < phrases; ++i) // most phrases of a long query are alternatives not found
        if (frequency[i] > 0)
            score += frequency[i] * (kSaturation + 1) / (frequency[i] + norm);
    return -score;
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
    int rc = SQLITE_OK;
    double score = scoreOf(api, fts, sqlite3_value_double(values[0]),
                           sqlite3_value_double(values[1]), weights, weightCount, rc);
    if (rc != SQLITE_OK)
        sqlite3_result_error_code(context, rc);
    else
        sqlite3_result_double(context, score);
}

bool phraseInTitle(const Fts5ExtensionApi* api, Fts5Context* fts, int phrase, int& rc) {
    Fts5PhraseIter at;
    int column = -1;
    rc = api->xPhraseFirstColumn(fts, phrase, &at, &column);
    return rc == SQLITE_OK && column == 0; // columns come in order
}

// Whether each phrase is in the first column, the title: the title can
// hold the query only then, and only then is it worth reading. Column lists
// serve tables without positions as well.
void inTitle(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int,
             sqlite3_value**) {
    int phrases = api->xPhraseCount(fts);
    int rc = SQLITE_OK;
    bool all = true;
    for (int phrase = 0; rc == SQLITE_OK && all && phrase < phrases; ++phrase)
        all = phraseInTitle(api, fts, phrase, rc);
    if (rc != SQLITE_OK)
        sqlite3_result_error_code(context, rc);
    else
        sqlite3_result_int(context, all);
}

// Whether the title holds every part of the query (see TitleHolds), the
// parts given as how many phrases each has, negated for a part the index
// may not see in a title (see WordTerms::titleParts).
TitleHolds titleHolds(const Fts5ExtensionApi* api, Fts5Context* fts, const std::vector<int>& parts,
                      int& rc) {
    int phrases = api->xPhraseCount(fts);
    rc = SQLITE_OK;
    int phrase = 0;
    TitleHolds holds = TitleHolds::kEveryPart;
    for (int size : parts) {
        int end = std::min(phrase + std::abs(size), phrases);
        bool seen = false;
        for (; !seen && phrase < end; ++phrase) {
            seen = phraseInTitle(api, fts, phrase, rc);
            if (rc != SQLITE_OK)
                return TitleHolds::kNo;
        }
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
    if (collector->keys) {
        match.key = collector->keys->find(match.id);
    } else if (count >= 3) {
        match.tokens = sqlite3_value_int64(values[1]);
        match.seconds = sqlite3_value_int64(values[2]);
    }
    if (match.key) {
        match.tokens = match.key->tokens;
        match.seconds = match.key->seconds;
    }
    int rc = SQLITE_OK;
    match.title = titleHolds(api, fts, collector->titleParts, rc);
    if (rc == SQLITE_OK)
        match.score = scoreOf(api, fts, double(match.tokens), collector->average,
                              collector->weights, kColumns, rc);
    if (rc != SQLITE_OK) {
        sqlite3_result_error_code(context, rc);
        return;
    }
    try {
        collector->matches.push_back(match);
    } catch (...) { // nothing may be thrown back through SQLite
        sqlite3_result_error_nomem(context);
        return;
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
