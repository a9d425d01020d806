// Giving the pages that refreshes free back to the disk: every refresh of a
// channel replaces rows, and without this the file only ever grows.
#pragma once

#include "store/Store.h"

namespace kelvor::store {

// Once free pages pass a tenth of kelvor.db, they are given back. A store
// made before that was possible is rewritten once (VACUUM) to allow it. A
// busy store or a full disk leaves it for the next time; only damage found
// on the way is thrown.
void reclaimSpace(Store& store);

} // namespace kelvor::store
