// The channels of a sync category (fav/sync-SERVER.xml, written by the sync
// with a Tiny Tiny RSS server): their copies are the sync's to write, so
// nothing downloads them from the feeds' own sites.
#pragma once

#include <set>
#include <string>

namespace kelvor::collection {

// True for a sync category file of the home folder's fav/.
bool isSyncCategoryFile(const std::string& path);

// Every sync category file of the home folder, normalised.
std::set<std::string> syncCategoryFiles(const std::string& home);

// The copies (normalised paths) of the channels those files list.
std::set<std::string> syncedCopies(const std::string& home);

} // namespace kelvor::collection
