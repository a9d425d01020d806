// The numbered versions of kelvor.db's tables and how a file on disk is
// brought to the current one.
#pragma once

#include "store/Database.h"

#include <memory>
#include <string>

namespace kelvor::store {

constexpr int kSchemaVersion = 2;

// What opening found; the index of a database that was not simply opened is
// empty and fills from the files on the next update.
enum class OpenOutcome { Opened, Created, Upgraded, Replaced, Rebuilt };

// Opens the database at path in WAL mode at the current version: creates it,
// upgrades an older one in place, starts a newer or unknown one again, and
// moves a damaged one aside as path + ".broken". Read marks that can still be
// read are carried over. Throws StoreError only when no database can be made.
std::unique_ptr<Database> openSchema(const std::string& path, OpenOutcome* outcome = nullptr);

} // namespace kelvor::store
