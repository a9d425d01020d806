// What a command that brings the index up to date says while it works: a
// first index of a large collection takes a while, and a silent command
// looks stuck.
#pragma once

#include "store/Indexer.h"

namespace kelvor::cli {

// Tells on stderr, at most twice a second, how far the update has got.
store::IndexProgress indexProgressOnStderr(const char* command);

} // namespace kelvor::cli
