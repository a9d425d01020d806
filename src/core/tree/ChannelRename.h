// A channel's copy is named after its title, so a new title would leave the
// old copy behind, unread by anyone, and the channel without entries or a
// count until it is downloaded again. The copy goes with the title instead.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace kelvor::tree {

// The copy the channel at `node` has now ("" when it has none, or is no
// channel downloaded from an address).
std::string existingCopyOf(const xml::Node& node);

// After the node's title changed (its address did not): moves `oldCopy` to where the node's copy
// belongs now, or copies it there when `keepOld` (another item still shows
// it). When a copy of the same address already waits there, the old one is
// only removed (unless kept). Returns the node's copy now, "" when it has
// none; nothing happens when the copy's place did not change.
std::string carryCopyAfterRename(const std::string& oldCopy, const xml::Node& node, bool keepOld);

} // namespace kelvor::tree
