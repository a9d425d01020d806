// The open and selected items, kept from one run to the next. Items are
// built lazily and rebuilt from the files at every start, so an item is
// named by where its TreeNode sits, one position among siblings per level,
// with the node's title at each level to tell whether the file still has
// the same item there. A path is a compact JSON array: [[0,"我的收藏"],[1,"常去的网站"]].
#include "navtree/CLeftView.h"

#include "platform/HomeFolder.h"
#include "platform/Log.h"
#include "tree/ChannelSource.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <filesystem>
#include <set>

using kelvor::xml::Node;
namespace tree = kelvor::tree;

namespace {

struct Step {
    int position = 0;
    QString title;
};
using Path = QList<Step>;

QString titleOf(QTreeWidgetItem* item) {
    return QString::fromStdString(CLeftView::GetNodeAttribute(CLeftView::nodeOf(item), "Title"));
}

QString encode(const Path& path) {
    QJsonArray steps;
    for (const Step& step : path)
        steps.append(QJsonArray{step.position, step.title});
    return QString::fromUtf8(QJsonDocument(steps).toJson(QJsonDocument::Compact));
}

// Empty for anything that is not a path (a hand-edited settings file).
Path decode(const QString& text) {
    Path path;
    const QJsonArray steps = QJsonDocument::fromJson(text.toUtf8()).array();
    for (const auto& value : steps) {
        QJsonArray step = value.toArray();
        if (step.size() != 2 || !step[0].isDouble() || !step[1].isString())
            return {};
        path.append({step[0].toInt(), step[1].toString()});
    }
    return path;
}

void collectExpanded(QTreeWidgetItem* parent, Path& prefix, QStringList& paths) {
    const QList<QTreeWidgetItem*> children = CLeftView::NodeChildren(parent);
    for (int i = 0; i < children.size(); ++i) {
        if (!children[i]->isExpanded())
            continue;
        prefix.append({i, titleOf(children[i])});
        paths << encode(prefix);
        collectExpanded(children[i], prefix, paths);
        prefix.removeLast();
    }
}

// Expanding a sub-tree whose local file is gone would say so in a message
// box; at start-up the item is passed over instead. A channel's missing copy
// is only downloaded again.
bool opensQuietly(QTreeWidgetItem* item) {
    Node node = CLeftView::nodeOf(item);
    if (node.isNull())
        return false;
    if (!node.hasAttribute("NodeSrc") && !node.hasAttribute("Rss"))
        return true;
    std::string source, cacheFile, feed;
    try {
        if (tree::ResolveChannelSource(node, source, cacheFile, feed) != tree::kLocalFile)
            return true;
    } catch (...) {
        kelvor::platform::logCurrentFailure("opening an item of the last session");
        return false;
    }
    std::error_code ec;
    return std::filesystem::is_regular_file(kelvor::platform::pathOfFileAddress(source), ec);
}

// The item at the path among those built so far, or nullptr.
QTreeWidgetItem* itemOnPath(QTreeWidgetItem* root, const Path& path) {
    QTreeWidgetItem* at = root;
    for (const Step& step : path) {
        const QList<QTreeWidgetItem*> children = CLeftView::NodeChildren(at);
        if (step.position < 0 || step.position >= children.size() ||
            titleOf(children[step.position]) != step.title)
            return nullptr;
        at = children[step.position];
    }
    return at == root ? nullptr : at;
}

} // namespace

// Rows are looked at by their place: an item asked whether it is expanded
// first finds its own row among its parent's children, which over a
// category of a thousand channels came to half a million comparisons.
void CLeftView::collapseUnwanted(QTreeWidgetItem* parent,
                                 const std::set<QTreeWidgetItem*>& wanted) {
    QModelIndex parentIndex = parent == invisibleRootItem() ? QModelIndex() : indexFromItem(parent);
    for (int row = 0; row < parent->childCount(); ++row) {
        QTreeWidgetItem* child = parent->child(row);
        if (nodeOf(child).isNull() || !isExpanded(model()->index(row, 0, parentIndex)))
            continue;
        if (wanted.count(child))
            collapseUnwanted(child, wanted);
        else
            child->setExpanded(false);
    }
}

QStringList CLeftView::expandedPaths() const {
    QStringList paths;
    Path prefix;
    collectExpanded(invisibleRootItem(), prefix, paths);
    return paths;
}

void CLeftView::restoreExpanded(const QStringList& paths) {
    std::set<QTreeWidgetItem*> wanted;
    // Parents come first, so each item's parent has been built by the time
    // the item is looked for; a parent that was skipped leaves its items
    // nowhere to be found.
    for (const QString& text : paths) {
        Path path = decode(text);
        QTreeWidgetItem* item = path.isEmpty() ? nullptr : itemOnPath(invisibleRootItem(), path);
        if (!item || (item->parent() && !wanted.count(item->parent())) || !opensQuietly(item))
            continue;
        item->setExpanded(true);
        wanted.insert(item);
    }
    // What the start opened by itself and the user had closed closes again.
    collapseUnwanted(invisibleRootItem(), wanted);
}

QString CLeftView::selectedPath() const {
    QTreeWidgetItem* item = currentItem();
    if (!item || !item->isSelected() || nodeOf(item).isNull())
        return {};
    Path path;
    for (QTreeWidgetItem* at = item; at; at = at->parent()) {
        QTreeWidgetItem* parent = at->parent() ? at->parent() : invisibleRootItem();
        path.prepend({int(CLeftView::NodeChildren(parent).indexOf(at)), titleOf(at)});
    }
    return encode(path);
}

bool CLeftView::restoreSelection(const QString& text) {
    Path path = decode(text);
    QTreeWidgetItem* item = path.isEmpty() ? nullptr : itemOnPath(invisibleRootItem(), path);
    for (QTreeWidgetItem* at = item ? item->parent() : nullptr; at; at = at->parent())
        if (!at->isExpanded())
            return false;
    if (!item)
        return false;
    setCurrentItem(item);
    scrollToItem(item);
    return true;
}
