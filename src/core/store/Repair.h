// Work on the store that mends it on the way: damage SQLite finds at any
// query, not only at open, leads to the rebuild.
#pragma once

#include "store/Indexer.h"
#include "store/Store.h"

namespace kelvor::store {

// Runs work(store); when SQLite finds the database damaged on the way, the
// store is recovered (see Store::recover), filled from the files again, and
// the work runs once more on the new one. Indexes on the calling thread: a
// window's thread recovers by itself and leaves the filling to its indexer.
// *stop ends the filling as it ends updateIndex.
template <class Work>
auto repairing(Store& store, Work&& work, const std::atomic<bool>* stop = nullptr)
    -> decltype(work(store)) {
    try {
        return work(store);
    } catch (const StoreError& error) {
        if (!error.damaged())
            throw;
    }
    store.recover();
    updateIndex(store, stop);
    return work(store);
}

} // namespace kelvor::store
