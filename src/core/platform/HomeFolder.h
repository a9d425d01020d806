// The home folder: where fav/, rss/, url/ and the style sheets live (the
// "program folder" of the rest of the code).
#pragma once

#include <optional>
#include <string>

namespace kelvor::platform {

// The home folder as an absolute path without a trailing "/". Empty until
// setProgramFolder is called.
const std::string& programFolder();
void setProgramFolder(const std::string& folder);

// The home folder's index.xml, the root of the tree.
std::string indexFile();

// A relative path (a tree file's, a local feed's) as the home folder's: the
// program never relies on its current directory. Absolute paths, addresses
// with a scheme and anything before a home folder is set stay as they are.
std::string inHomeFolder(const std::string& path);

// Where the home folder is: --home DIR, else $KELVOR_HOME, else the
// executable's folder when it holds an index.xml, else the user's data folder.
std::string chooseHomeFolder(const std::optional<std::string>& homeArgument,
                             const char* homeEnvironment, const std::string& executableFolder,
                             const std::string& userDataFolder);

// $XDG_DATA_HOME/Kelvor, or ~/.local/share/Kelvor.
std::string defaultUserDataFolder();

// The starter collection shipped with the program (installed copy, or the
// source tree's data/ folder for a build that was not installed).
std::string starterCollectionFolder(const std::string& executableFolder);

// Copies the starter collection into home when home has no index.xml yet,
// and makes sure fav/, rss/ and url/ exist. A read-only home is left as it
// is. False with *error on failure.
bool prepareHomeFolder(const std::string& home, const std::string& starterFolder,
                       std::string* error);

// Makes the home folder known to the rest of the program.
// Returns false with *error when it cannot be prepared.
bool enterHomeFolder(const std::optional<std::string>& homeArgument,
                     const std::string& executablePath, std::string* error);

std::string folderOf(const std::string& path); // up to, not including, the last "/"

// A file's path as it is compared everywhere: absolute, without "." or
// ".." steps (read lexically, links are not followed).
std::string normalPath(const std::string& path);

// "/abs/path" for a "file:///abs/path" address; any other text unchanged.
std::string pathOfFileAddress(const std::string& address);

// Whether path is folder or lies below it, both read lexically ("a/../b"
// is "b"): a whole name must match, "/home/k2" is not inside "/home/k".
bool isInsideFolder(const std::string& path, const std::string& folder);

} // namespace kelvor::platform
