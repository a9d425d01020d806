// Walking the TreeNodes of a tree file in document order, each with its
// position: "2.0.5" is the sixth TreeNode child of the first of the third
// of the root. The index, the read marks and the tree all find an item again
// by that position, so there is one walk that names it.
#pragma once

#include "platform/XmlDom.h"

#include <functional>
#include <string>

namespace kelvor::tree {

// Called for each TreeNode; depth is 0 for the children of the walk's start.
using TreeNodeVisit =
    std::function<void(const xml::Node& node, const std::string& position, size_t depth)>;

// Every TreeNode under parent, whose own position is parentPosition ("" for
// the root). Iterative, so that deep nesting cannot exhaust the stack.
void forEachTreeNode(const xml::Node& parent, const std::string& parentPosition,
                     const TreeNodeVisit& visit);

} // namespace kelvor::tree
