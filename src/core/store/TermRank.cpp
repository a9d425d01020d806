#include "store/TermRank.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>

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
    double frequency[kPhrases] = {};
    int phrases = std::min(api->xPhraseCount(fts), kPhrases);
    int instances = 0;
    int rc = api->xInstCount(fts, &instances);
    for (int i = 0; rc == SQLITE_OK && i < instances; ++i) {
        int phrase = 0, column = 0, offset = 0;
        rc = api->xInst(fts, i, &phrase, &column, &offset);
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

// Whether each phrase has an instance in the first column, the title: the
// title can hold the query only then, and only then is it worth reading.
void inTitle(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int,
             sqlite3_value**) {
    int phrases = api->xPhraseCount(fts);
    if (phrases > 64) { // more than a mask holds: the title must tell
        sqlite3_result_int(context, 1);
        return;
    }
    uint64_t wanted = phrases == 64 ? ~uint64_t(0) : (uint64_t(1) << phrases) - 1;
    uint64_t found = 0;
    int instances = 0;
    int rc = api->xInstCount(fts, &instances);
    for (int i = 0; rc == SQLITE_OK && i < instances && found != wanted; ++i) {
        int phrase = 0, column = 0, offset = 0;
        rc = api->xInst(fts, i, &phrase, &column, &offset);
        if (column == 0)
            found |= uint64_t(1) << phrase;
    }
    if (rc != SQLITE_OK)
        sqlite3_result_error_code(context, rc);
    else
        sqlite3_result_int(context, found == wanted);
}

fts5_api* fts5Of(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
        sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    return api;
}

} // namespace

void registerTermRank(sqlite3* db) {
    if (fts5_api* api = fts5Of(db)) {
        api->xCreateFunction(api, "term_rank", nullptr, termRank, nullptr);
        api->xCreateFunction(api, "in_title", nullptr, inTitle, nullptr);
    }
}

} // namespace kelvor::store
