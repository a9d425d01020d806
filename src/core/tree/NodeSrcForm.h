// How a pasted item refers to a local tree file: relative to the home folder
// when the file lies inside it, so the collection can move as a whole.
#pragma once

#include <string>

namespace kelvor::tree {

// resolved: a local source as channel resolution gives it (a plain absolute
// path or a "file:///" address). Inside programFolder it becomes
// "/fav/x.xml"; any other absolute path becomes "file:///abs/path", because a
// bare "/..." in NodeSrc means "inside the home folder". Anything else is
// returned unchanged.
std::string storedNodeSrc(const std::string& resolved, const std::string& programFolder);

// Backslashes of files written elsewhere made "/".
std::string forwardSlashes(std::string path);

// The local file a NodeSrc names: "/x" lies in home, "file:///abs" is that
// path, any other scheme names no local file (""), and the rest is relative
// to folder (the folder of the file that holds it). Not normalised: whoever
// needs the file inside home checks with platform::isInsideFolder.
std::string localPathOfNodeSrc(const std::string& nodeSrc, const std::string& folder,
                               const std::string& home);

} // namespace kelvor::tree
