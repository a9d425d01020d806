// The temporary files of AtomicFileWriter, and the ones a killed write
// leaves behind: NAME.XXXXXX beside NAME, never renamed over it.
#pragma once

#include <string>

namespace kelvor::platform {

// Creates a file from a mkstemp pattern ("path.XXXXXX", filled in) and holds
// an exclusive lock on it for as long as the returned descriptor is open, so
// a sweep of another process (or of clear cache) never takes a file that is
// still being written. -1 with errno when it cannot be created.
int createTemporaryFile(std::string& pattern);

// A name our writer gives its temporary files in the folders it sweeps: a
// tree file or style sheet ("cat.xml", "rss.xsl", any case) + "." + six
// letters or digits. Only those kinds of file are written there; a user's
// "notes.backup" is not ours to remove.
bool isTemporaryFileName(const std::string& name);

// Removes the regular files directly in folder whose names are temporary
// file names and that no writer holds; with onlyOlderThanProcess, only those
// last written before this process started. Returns how many went.
int removeLeftoverTemporaries(const std::string& folder, bool onlyOlderThanProcess);

// removeLeftoverTemporaries(folder, true) the first time a folder is asked
// for in this process; nothing afterwards (leftovers only appear when a
// process dies, so one look per folder and run is enough).
void removeLeftoverTemporariesOnce(const std::string& folder);

} // namespace kelvor::platform
