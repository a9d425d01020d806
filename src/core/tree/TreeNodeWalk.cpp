#include "tree/TreeNodeWalk.h"

#include <vector>

namespace kelvor::tree {

void forEachTreeNode(const xml::Node& parent, const std::string& parentPosition,
                     const TreeNodeVisit& visit) {
    struct Level {
        xml::Node next;
        std::string position;
        int index = 0;
    };
    std::vector<Level> levels{{parent.firstChild(), parentPosition, 0}};
    while (!levels.empty()) {
        Level& level = levels.back();
        xml::Node node = level.next;
        if (!node) {
            levels.pop_back();
            continue;
        }
        level.next = node.nextSibling();
        if (!node.nameIs("TreeNode"))
            continue;
        int index = level.index++;
        std::string position = level.position.empty()
                                   ? std::to_string(index)
                                   : level.position + "." + std::to_string(index);
        visit(node, position, levels.size() - 1);
        levels.push_back({node.firstChild(), position, 0}); // may move `level`
    }
}

} // namespace kelvor::tree
