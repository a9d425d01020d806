#include "store/DamagedStore.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace kelvor::store {
namespace {

// Reads marks in one order until the end or the first damaged page.
void readUntilDamage(Database& db, const char* sql, std::set<Mark>& marks) {
    try {
        Statement select(db, sql);
        while (select.step())
            marks.emplace(select.text(0), select.text(1), select.integer(2), select.integer(3));
    } catch (const StoreError&) {
        // What was read before the damage is kept.
    }
}

bool taken(const std::string& name) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(name, ec)) ||
           fs::exists(fs::symlink_status(name + "-wal", ec));
}

} // namespace

std::vector<Mark> readableMarks(Database& db) {
    std::set<Mark> marks;
    readUntilDamage(
        db, "SELECT channel, entry, read, changed FROM readmarks ORDER BY channel, entry", marks);
    readUntilDamage(db,
                    "SELECT channel, entry, read, changed FROM readmarks "
                    "ORDER BY channel DESC, entry DESC",
                    marks);
    return {marks.begin(), marks.end()};
}

std::vector<Mark> salvageMarks(const std::string& path) {
    try {
        Database broken(path, Access::ReadOnly);
        return readableMarks(broken);
    } catch (const StoreError&) {
        return {};
    }
}

void moveAside(const std::string& path) {
    std::string aside = path + ".broken";
    for (int number = 1; taken(aside); ++number)
        aside = path + ".broken." + std::to_string(number);
    if (::rename(path.c_str(), aside.c_str()) != 0)
        throw StoreError(SQLITE_CANTOPEN,
                         "cannot move " + path + " aside: " + std::strerror(errno));
    // The log goes with its file, which is incomplete without it; left
    // behind, a new database would take it for its own.
    std::error_code ec;
    fs::rename(path + "-wal", aside + "-wal", ec);
    if (ec)
        fs::remove(path + "-wal", ec);
    fs::remove(path + "-shm", ec);
}

} // namespace kelvor::store
