// The temporary files of AtomicFileWriter, and the ones a killed write
// leaves behind: ".NAME.kelvor-tmp-XXXXXX" beside NAME, a name nobody but
// this program gives a file, so that no file of the user's is ever taken
// for one.
#pragma once

#include <string>

namespace kelvor::platform {

// The mkstemp pattern of the temporary file that replaces path: hidden, in
// the same folder, NAME cut short when the whole would be too long a name.
std::string temporaryPatternFor(const std::string& path);

// Creates a file from a mkstemp pattern (filled in) and holds an exclusive
// lock on it for as long as the returned descriptor is open, so a sweep of
// another process (or of clear cache) never takes a file that is still
// being written. -1 with errno when it cannot be created.
int createTemporaryFile(std::string& pattern);

// Whether name is one temporaryPatternFor makes. "fav.xml.backup",
// "links.xml.202401" and the like are the user's.
bool isTemporaryFileName(const std::string& name);

// Removes the regular files directly in folder whose names are temporary
// file names and that no writer holds; with onlyOlderThanProcess, only those
// last written before this process started. A folder that really lies
// outside home (a linked category folder) is left alone. Returns how many
// went.
int removeLeftoverTemporaries(const std::string& folder, const std::string& home,
                              bool onlyOlderThanProcess);

// removeLeftoverTemporaries(folder, programFolder(), true) the first time a
// folder is asked for in this process; nothing afterwards (leftovers only
// appear when a process dies, so one look per folder and run is enough).
// Without a home folder nothing is swept.
void removeLeftoverTemporariesOnce(const std::string& folder);

} // namespace kelvor::platform
