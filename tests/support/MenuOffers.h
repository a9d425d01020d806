// Whether the tree's context menu for an item holds a command.
#pragma once

#include "navtree/CLeftView.h"

#include <QAction>
#include <QMenu>

#include <memory>

namespace kelvor::test {

inline bool offers(CLeftView& view, QTreeWidgetItem* item, int id) {
    std::unique_ptr<QMenu> menu(view.BuildContextMenu(item));
    for (QAction* action : menu->actions())
        if (action->data().toInt() == id)
            return true;
    return false;
}

} // namespace kelvor::test
