// The numbered versions of kelvor.db's tables and how a file on disk is
// brought to the current one.
#pragma once

#include "store/Database.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kelvor::store {

constexpr int kSchemaVersion = 6;

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
