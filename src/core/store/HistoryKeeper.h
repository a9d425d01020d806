// The indexer's side of the history (see History.h): what leaves a copy as
// its rows are rewritten or dropped goes into the history, what comes back
// leaves it.
#pragma once

#include "store/Database.h"
#include "store/History.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace kelvor::store {

// A row of a copy about to be removed from the index.
struct LeavingEntry {
    std::string channel, entry;
    std::string title, link, date;
    std::string body; // as the rows keep it: packed (see PackedText.h)
    std::string place;
    int64_t seconds = 0;
};

class HistoryKeeper {
  public:
    explicit HistoryKeeper(Database& db);

    // The rows of a channel's copy from id `from` on, read before they are
    // removed (rows of other tree files belong to no channel: none).
    std::vector<LeavingEntry> rowsOf(const std::string& file, int64_t from);

    // After the copy's rows were written (or dropped): the entries it holds
    // again (`back`, of `channel`) leave the history, and those of `leaving`
    // that no copy of their channel holds now join it, as left `now`; then
    // the limits apply to their channels.
    void settle(const std::string& file, const std::vector<LeavingEntry>& leaving,
                const std::string& channel, const std::vector<std::string>& back, std::time_t now);

  private:
    Statement& prepared(std::optional<Statement>& statement, const char* sql);

    Database& db_;
    std::optional<HistoryOptions> options_;
    std::optional<Statement> rows_, any_, remove_, insert_, trim_;
};

// historyOptions for a connection.
HistoryOptions historyOptionsOf(Database& db);

// The same limit, by age, for every channel: drops what left at or before
// departedBy (so that keeping 0 days keeps nothing).
void pruneHistoryBefore(Database& db, int64_t departedBy);

} // namespace kelvor::store
