// How a command that reads the index first brings it up to date.
#pragma once

#include "store/Store.h"

namespace kelvor::cli {

// Indexes what changed, saying on stderr at most twice a second how far it
// has got (a first index of a large collection takes a while, and a silent
// command looks stuck). A damaged store is thrown on, to be repaired; any
// other failure is said and left: what was indexed before is still there.
void updateIndexFor(const char* command, store::Store& db);

} // namespace kelvor::cli
