#include "store/TermRank.h"

#include <sqlite3.h>

#include <algorithm>

namespace kelvor::store {
namespace {

// bm25's usual constants, as FTS5 takes them.
constexpr double kSaturation = 1.2;
constexpr double kLengthWeight = 0.75;

// The average length of a row in tokens, read once per query.
double averageLength(const Fts5ExtensionApi* api, Fts5Context* fts) {
    if (auto* known = static_cast<double*>(api->xGetAuxdata(fts, 0)))
        return *known;
    sqlite3_int64 rows = 0, tokens = 0;
    api->xRowCount(fts, &rows);
    api->xColumnTotalSize(fts, -1, &tokens);
    auto* average = new double(rows > 0 && tokens > 0 ? double(tokens) / double(rows) : 1.0);
    api->xSetAuxdata(fts, average, [](void* data) { delete static_cast<double*>(data); });
    return *average;
}

// The weight of each phrase's instances, for queries of up to this many
// words: past it, the rest count as the last.
constexpr int kPhrases = 16;

void termRank(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int count,
              sqlite3_value** values) {
    if (count < 1) {
        sqlite3_result_error(context, "term_rank: the row's length in tokens is missing", -1);
        return;
    }
    double average = averageLength(api, fts);
    double frequency[kPhrases] = {};
    int phrases = std::min(api->xPhraseCount(fts), kPhrases);
    int instances = 0;
    int rc = api->xInstCount(fts, &instances);
    for (int i = 0; rc == SQLITE_OK && i < instances; ++i) {
        int phrase = 0, column = 0, offset = 0;
        rc = api->xInst(fts, i, &phrase, &column, &offset);
        frequency[std::min(phrase, kPhrases - 1)] +=
            column + 1 < count ? sqlite3_value_double(values[column + 1]) : 1.0;
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
    if (fts5_api* api = fts5Of(db))
        api->xCreateFunction(api, "term_rank", nullptr, termRank, nullptr);
}

} // namespace kelvor::store
