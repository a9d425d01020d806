#include "store/Reclaim.h"

namespace kelvor::store {
namespace {

constexpr int kIncremental = 2;    // PRAGMA auto_vacuum's value for INCREMENTAL
constexpr int64_t kFreeShare = 10; // at most one page in this many is left free

int64_t pragmaValue(Database& db, const char* pragma) {
    Statement read(db, pragma);
    return read.step() ? read.integer(0) : 0;
}

} // namespace

void reclaimSpace(Store& store) {
    if (store.inMemory())
        return;
    Database& db = store.db();
    try {
        int64_t free = pragmaValue(db, "PRAGMA freelist_count");
        int64_t pages = pragmaValue(db, "PRAGMA page_count");
        if (free == 0 || free * kFreeShare < pages)
            return;
        if (pragmaValue(db, "PRAGMA auto_vacuum") != kIncremental) {
            // Only a VACUUM changes the mode of a store that has tables; it
            // gives back the free pages as well.
            db.exec("PRAGMA auto_vacuum=INCREMENTAL");
            db.exec("VACUUM");
            return;
        }
        db.exec("PRAGMA incremental_vacuum");
    } catch (const StoreError& error) {
        // Busy, or no room for the copy a VACUUM makes: the next time. A
        // damaged page the move came across is the caller's to repair.
        if (error.damaged())
            throw;
    }
}

} // namespace kelvor::store
