// What is saved of a database SQLite calls damaged: the read marks it can
// still read, and the file itself, moved aside for whoever wants to look.
#pragma once

#include "store/Database.h"

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace kelvor::store {

// channel, entry, read, changed
using Mark = std::tuple<std::string, std::string, int64_t, int64_t>;

// The marks of db that can be read: from both ends of the table, so that a
// damaged page in the middle costs only the marks it held.
std::vector<Mark> readableMarks(Database& db);

// readableMarks of the database at path, opened read-only; none when it
// cannot be opened at all.
std::vector<Mark> salvageMarks(const std::string& path);

// Renames path (and its log) to path + ".broken", or ".broken.1", ".2" …
// when that is taken: an earlier damaged copy is never overwritten. Throws
// StoreError when it cannot, and then nothing was moved.
void moveAside(const std::string& path);

} // namespace kelvor::store
