// What ranking reads of every match (its date and length), held in memory
// between searches: seeking each match's row of the keys table cost a
// search of a common word more than finding the matches did. Reading the
// whole table costs a few such searches, so the keys are read only when a
// search comes again before the index changes: a search run once (the
// command line's) seeks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvor::store {

class Database;

class RankKeys {
  public:
    struct Key {
        int64_t seconds = 0;
        uint32_t tokens = 0;
        // Of the title as the table keeps it, without the spaces at its ends
        // (as SQL's trim() takes them off), in bytes (at most kLongTitle).
        uint16_t titleLength = 0;
        // Whether the title has no character that the index folds into
        // ASCII (KELVIN SIGN and LONG S are the only ones): then a word of
        // ASCII letters and digits that the index finds in the title is in
        // the title as the table keeps it (in lower case).
        bool foldsAsKept = false;
    };
    static constexpr uint16_t kLongTitle = 0xFFFF;

    explicit RankKeys(std::string table) : table_(std::move(table)) {}

    // Whether the keys are at hand for the connection's snapshot: read, or
    // read now because the last search saw the same snapshot; false for the
    // first search after something was written, by this connection or
    // another. Call it inside the read transaction the search runs in,
    // once it has read something (the snapshot starts then).
    bool ready(Database& db);
    // Forgets what was read: the connection was opened again.
    void forget();

    // Null when the row has no key.
    const Key* find(int64_t id) const;

  private:
    std::string table_;
    // Ascending by id, as the table gives them; the id beside its key, so
    // that finding a row brings its key into the cache with it.
    struct Row {
        int64_t id;
        Key key;
    };
    std::vector<Row> rows_;
    mutable size_t hint_ = 0; // where the last row asked for was
    bool read_ = false;
    // The snapshot the last search saw.
    int64_t dataVersion_ = -1;
    int64_t changes_ = -1;
};

} // namespace kelvor::store
