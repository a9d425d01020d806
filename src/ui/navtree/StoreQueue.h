// The tree's work on kelvor.db (indexing a file the tree just wrote, writing
// read marks, counting unread entries) runs on the store's worker thread, in
// the order given, at idle CPU priority. The window never waits for the
// database; read marks still queued at close are written before it ends.
#pragma once

#include "store/StoreWorker.h"

using StoreQueue = kelvor::store::StoreWorker;
