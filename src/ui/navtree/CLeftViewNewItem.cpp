// The properties command and the new-item command, both through CDlgTreePro,
// and the new category files the new-item command makes.
#include "feeds/CategoryImport.h"
#include "frame/FrameInterface.h"
#include "platform/HomeFolder.h"
#include "navtree/CDlgTreePro.h"
#include "navtree/CLeftView.h"
#include "tree/ChannelSource.h"
#include "tree/Strings.h"
#include "tree/TreeFormat.h"

#include <QTreeWidgetItemIterator>

#include <filesystem>

using kelvor::xml::Node;
namespace tree = kelvor::tree;
namespace str = kelvor::str;

namespace {

enum SaveMode { kCurrentItem = 1, kChildItem = 2, kFavorites = 3, kHot = 4 };

// The item that shows the node now. While a modal dialog runs, downloads
// completing in the background may rebuild parts of the tree.
QTreeWidgetItem* itemShowing(CLeftView& view, const Node& node) {
    for (QTreeWidgetItemIterator it(&view); *it; ++it)
        if (CLeftView::nodeOf(*it) == node)
            return *it;
    return nullptr;
}

// The local file a category made beside `node` from the dialog's fields
// would be: resolved exactly as the new item will be, on a stand-in that
// never joins the tree.
std::string categoryFileOf(const Node& node, const CDlgTreePro& fields) {
    Node probe = node.ownerDocument().createElement("TreeNode");
    probe.setAttribute("Title", fields.title);
    if (!fields.fileName.empty())
        probe.setAttribute("NodeSrc", fields.fileName);
    if (!fields.rss.empty())
        probe.setAttribute("Rss", fields.rss);
    std::string source, cacheFile, feed;
    if (tree::ResolveChannelSource(probe, source, cacheFile, feed) != tree::kLocalFile)
        return {};
    return kelvor::platform::pathOfFileAddress(source);
}

} // namespace

void CLeftView::OnProperties() {
    QTreeWidgetItem* item = currentItem();
    Node node = nodeOf(item);
    if (!node)
        return;
    CDlgTreePro dialog(window());
    dialog.title = GetNodeAttribute(node, "Title");
    dialog.href = GetNodeAttribute(node, "Href");
    dialog.rss = GetNodeAttribute(node, "Rss");
    dialog.fileName = GetNodeAttribute(node, "NodeSrc");
    dialog.desc = GetNodeDescription(node);
    dialog.okEnabled = GetOwnerTreeInfo(node, dialog.treeType, dialog.baseUrl);
    if (dialog.DoModal() != CDlgTreePro::kIdOk)
        return;
    ApplyItemFields(node, dialog.title, dialog.href, dialog.fileName, dialog.rss, dialog.desc);
    if (QTreeWidgetItem* shown = itemShowing(*this, node))
        shown->setText(0, QString::fromStdString(dialog.title));
}

void CLeftView::OnNewItem() {
    Node node = nodeOf(currentItem());
    CDlgTreePro dialog(window());
    if (!node || !GetOwnerTreeInfo(node, dialog.treeType, dialog.baseUrl)) {
        kelvor::app::messageBox(str::kNotEditable);
        return;
    }
    dialog.categoryFile = [node](const CDlgTreePro& fields) {
        return categoryFileOf(node, fields);
    };
    if (dialog.DoModal() != CDlgTreePro::kIdOk)
        return;
    QTreeWidgetItem* selected = itemShowing(*this, node);
    if (!selected)
        return;
    int mode = dialog.saveMode;
    bool asChild = mode == kChildItem;
    Node created =
        CreateItemNode(node, dialog.title, dialog.href, dialog.fileName, dialog.rss, dialog.desc, asChild);
    if (!created)
        return;
    // The icon tells how the item was made (a page beside, or a new folder),
    // until the next load shows it by its kind.
    // A channel shows as one at once.
    int icon = mode == kCurrentItem ? tree::kIconLink : tree::kIconFolder;
    InsertBeside(selected, created, asChild,
                 tree::itemKindOf(created) == tree::ItemKind::Channel ? -1 : icon);
    if (mode != kFavorites && mode != kHot)
        return;
    std::string source, cacheFile, feed;
    if (tree::ResolveChannelSource(created, source, cacheFile, feed) != tree::kLocalFile)
        return;
    // The user agreed in the dialog to show an existing file; its items stay.
    std::error_code error;
    if (std::filesystem::is_regular_file(kelvor::platform::pathOfFileAddress(source), error))
        return;
    if (!CreateCategoryFile(source, dialog.title, mode == kHot))
        kelvor::app::messageBox(str::kCreateFileFailed);
}

namespace {

bool isFavoritesFile(const std::string& path) {
    std::error_code error;
    std::filesystem::path favorites(kelvor::platform::programFolder() + "/fav/fav.xml");
    return std::filesystem::equivalent(kelvor::platform::pathOfFileAddress(path), favorites, error);
}

} // namespace

bool CLeftView::ListUnderLoadedFavorites(const std::string& title, const std::string& nodeSrc) {
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        auto* favorites = dynamic_cast<CTreeItem*>(*it);
        std::string source, cacheFile, feed;
        if (!favorites || !favorites->expandedOnce || GetNodeAttribute(favorites->node, "NodeSrc").empty() ||
            tree::ResolveChannelSource(favorites->node, source, cacheFile, feed) != tree::kLocalFile ||
            !isFavoritesFile(source))
            continue;
        for (int i = 0; i < favorites->childCount(); ++i) {
            Node sibling = nodeOf(favorites->child(i));
            if (!sibling)
                continue;
            Node node = sibling.ownerDocument().createElement("TreeNode");
            node.setAttribute("Title", title);
            node.setAttribute("NodeSrc", nodeSrc);
            sibling.parentNode().appendChild(node);
            SaveOwnerDocument(node);
            InsertNodeItem(node, title, tree::appearanceOf(node, false).icon, tree::kIconFolderOpen,
                           favorites, kInsertLast);
            return true;
        }
        // Shown but empty: no item holds the file's document, so the file
        // is changed on disk and shown again.
        kelvor::feeds::listCategoryInFavorites(kelvor::platform::programFolder(), nodeSrc, title);
        DeleteChildItems(favorites);
        LoadTreeFile(source, favorites);
        return true;
    }
    return false;
}

bool CLeftView::CreateCategoryFile(const std::string& path, const std::string& title, bool isHot) {
    std::error_code error;
    if (std::filesystem::exists(kelvor::platform::pathOfFileAddress(path), error))
        return false; // never written over: it may hold the user's items
    kelvor::xml::Document doc = kelvor::xml::Document::create();
    if (!doc.loadXML(isHot ? str::kHotTemplate : str::kFavTemplate))
        return false;
    // Set through the DOM, so "&", "<" or a quote in the title stay text.
    doc.documentElement().setAttribute("Title", title);
    try {
        doc.save(path);
    } catch (const kelvor::xml::DomError&) {
        return false;
    }
    return true;
}
