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

} // namespace kelvor::tree
