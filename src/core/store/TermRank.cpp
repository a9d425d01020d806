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

void termRank(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int count,
              sqlite3_value** values) {
    if (count < 2) {
        sqlite3_result_error(context, "term_rank: the row's length or the average is missing", -1);
        return;
    }
    double average = std::max(sqlite3_value_double(values[1]), 1.0);
    // The index keeps which columns hold a word, not how often: each
    // column holding it counts once, at its weight.
    double frequency[kPhrases] = {};
    int phrases = std::min(api->xPhraseCount(fts), kPhrases);
    int rc = SQLITE_OK;
    for (int phrase = 0; rc == SQLITE_OK && phrase < api->xPhraseCount(fts); ++phrase) {
        Fts5PhraseIter at;
        int column = -1;
        for (rc = api->xPhraseFirstColumn(fts, phrase, &at, &column);
             rc == SQLITE_OK && column >= 0; api->xPhraseNextColumn(fts, &at, &column))
            frequency[std::min(phrase, kPhrases - 1)] +=
                column + 2 < count ? sqlite3_value_double(values[column + 2]) : 1.0;
    }
    if (rc != SQLITE_OK) {
        sqlite3_result_error_code(context, rc);
        return;
    }
    double length = sqlite3_value_double(values[0]);
    double norm = kSaturation * (1 - kLengthWeight + kLengthWeight * length / average);
    double score = 0;
    for (int i = 0; i < phrases; ++i)
        score += frequency[i] * (kSaturation + 1) / (frequency[i] + norm);
    sqlite3_result_double(context, -score);
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

// Whether each part of the query has a phrase in the title, the parts
// given as how many phrases each has (see WordTerms::titleParts): when
// not, the title cannot hold the query.
void titleMayHold(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context,
                  int count, sqlite3_value** values) {
    int phrases = api->xPhraseCount(fts);
    int rc = SQLITE_OK;
    int phrase = 0;
    bool may = true;
    for (int part = 0; may && rc == SQLITE_OK && part < count; ++part) {
        int size = sqlite3_value_int(values[part]);
        int end = std::min(phrase + std::abs(size), phrases);
        bool seen = size < 0;
        for (; !seen && rc == SQLITE_OK && phrase < end; ++phrase)
            seen = phraseInTitle(api, fts, phrase, rc);
        may = seen;
        phrase = end;
    }
    if (rc != SQLITE_OK)
        sqlite3_result_error_code(context, rc);
    else
        sqlite3_result_int(context, may);
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
        api->xCreateFunction(api, "title_may_hold", nullptr, titleMayHold, nullptr);
    }
}

} // namespace kelvor::store
