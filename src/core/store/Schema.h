// The numbered versions of kelvor.db's tables and how a file on disk is
// brought to the current one.
#pragma once

#include "store/Database.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kelvor::store {

constexpr int kSchemaVersion = 9;

// The names of one set of full-text tables over a table of rows (id, title,
// body, link, seconds): the items of the tree files have one, the history
// of the channels another of the same shape.
struct FullTextTables {
    const char* rows;   // the rows themselves
    const char* terms;  // their words and character pairs (see CharacterPairs.h)
    const char* keys;   // what hits are ordered by, a few rows to a page
    const char* totals; // how many rows and their length
};
constexpr FullTextTables kItemTables{"items", "items_terms", "item_keys", "item_totals"};
constexpr FullTextTables kHistoryTables{"history", "history_terms", "history_keys",
                                        "history_totals"};

// What opening found; the index of a database that was not simply opened is
// empty and fills from the files on the next update.
enum class OpenOutcome { Opened, Created, Upgraded, Replaced, Rebuilt };

// Which file a connection opened: another connection may since have moved
// it aside and made a new one.
struct FileIdentity {
    uint64_t device = 0, inode = 0;
    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// Makes the tables of the channels' history when the store has none yet
// (openSchema does so for every store it opens).
void ensureHistoryTables(Database& db);
// Drops the history and makes its tables anew, empty: much faster than
// deleting its rows through the full-text triggers. Its limits stay.
void recreateHistoryTables(Database& db);

// The file at path now; zeros when there is none.
FileIdentity identityOf(const std::string& path);

struct OpenedSchema {
    std::unique_ptr<Database> db;
    OpenOutcome outcome = OpenOutcome::Opened;
    FileIdentity file;
};

// Opens the database at path in WAL mode at the current version: creates it,
// upgrades an older one in place, starts a newer or unknown one again. Only
// when SQLite itself calls the file damaged (or *damaged, what a connection
// found damaged, is still the file at path) is it moved aside (see
// moveAside) and made anew; the read marks that can still be read are
// carried over. Any other failure (a full disk, an I/O error) is thrown as
// StoreError and leaves the files as they were.
OpenedSchema openSchema(const std::string& path, const FileIdentity* damaged = nullptr);

// The database of a home that must not be written, in memory: shared by the
// connections of this process that name the same path, made with the read
// marks of the file at path (read without writing anything beside it).
OpenedSchema openMemorySchema(const std::string& path);

} // namespace kelvor::store
