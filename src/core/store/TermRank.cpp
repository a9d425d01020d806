#include "store/TermRank.h"

#include <sqlite3.h>

#include <cstddef>
#include <vector>

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

void termRank(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int count,
              sqlite3_value** weights) {
    double average = averageLength(api, fts);
    std::vector<double> frequency(static_cast<size_t>(api->xPhraseCount(fts)), 0.0);
    int instances = 0;
    int rc = api->xInstCount(fts, &instances);
    for (int i = 0; rc == SQLITE_OK && i < instances; ++i) {
        int phrase = 0, column = 0, offset = 0;
        rc = api->xInst(fts, i, &phrase, &column, &offset);
        frequency[static_cast<size_t>(phrase)] +=
            column < count ? sqlite3_value_double(weights[column]) : 1.0;
    }
    int length = 0;
    if (rc == SQLITE_OK)
        rc = api->xColumnSize(fts, -1, &length);
    if (rc != SQLITE_OK) {
        sqlite3_result_error_code(context, rc);
        return;
    }
    double norm = kSaturation * (1 - kLengthWeight + kLengthWeight * length / average);
    double score = 0;
    for (double f : frequency)
        score += f * (kSaturation + 1) / (f + norm);
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
