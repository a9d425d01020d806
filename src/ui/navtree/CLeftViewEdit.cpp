// Editing: node writing with save-and-report, creation from the clipboard,
// setting fields from the clipboard, and deleting items.
#include "frame/FrameInterface.h"
#include "collection/CollectionService.h"
#include "navtree/CLeftView.h"
#include "tree/ChannelRename.h"
#include "tree/NodeWriting.h"
#include "tree/Strings.h"
#include "tree/TitleCut.h"
#include "tree/TreeFormat.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstdint>

using kelvor::xml::Node;
namespace tree = kelvor::tree;
namespace str = kelvor::str;

namespace {
constexpr size_t kTitleBytes = 50;

void refuseNotEditable() { kelvor::app::messageBox(str::kNotEditable); }
} // namespace

// The tree control's TVI_FIRST / TVI_LAST: no real item ever has these values.
QTreeWidgetItem* const CLeftView::kInsertFirst = nullptr;
QTreeWidgetItem* const CLeftView::kInsertLast = reinterpret_cast<QTreeWidgetItem*>(UINTPTR_MAX);

// ---- node writing -------------------------------------------------------------

Node CLeftView::CreateItemNode(const Node& reference, const std::string& title, const std::string& href,
                               const std::string& nodeSrc, const std::string& rss, const std::string& desc,
                               bool asChild) {
    if (!reference)
        return Node();
    Node node = tree::createItemNode(reference, {title, href, nodeSrc, rss, desc}, asChild);
    SaveOwnerDocument(node);
    return node;
}

bool CLeftView::ApplyItemFields(const Node& node, const std::string& title, const std::string& href,
                                const std::string& nodeSrc, const std::string& rss, const std::string& desc) {
    if (!node)
        return false;
    std::string address = GetNodeAttribute(node, "Rss");
    // Only a new title moves a copy; other edits need not look for one.
    bool renamed = !title.empty() && title != GetNodeAttribute(node, "Title");
    std::string oldCopy = renamed ? tree::existingCopyOf(node) : std::string();
    tree::applyItemFields(node, {title, href, nodeSrc, rss, desc});
    SaveOwnerDocument(node);
    if (!oldCopy.empty() && GetNodeAttribute(node, "Rss") == address)
        carryCopyOfRenamed(node, oldCopy);
    return true;
}

void CLeftView::carryCopyOfRenamed(const Node& node, const std::string& oldCopy) {
    QTreeWidgetItem* item = nullptr;
    bool sharedElsewhere = false;
    auto range = channelItems_.equal_range(oldCopy);
    for (auto it = range.first; it != range.second; ++it) {
        if (nodeOf(it->second) == node)
            item = it->second;
        else
            sharedElsewhere = true;
    }
    std::string copy = tree::carryCopyAfterRename(oldCopy, node, sharedElsewhere);
    if (copy.empty() || copy == oldCopy)
        return;
    IndexFileLater(copy);
    if (!item)
        return;
    // The item and its entries follow the copy to its new name.
    forgetItemInMarks(item);
    item->setData(0, kCacheFileRole, QVariant());
    TrackChannel(item);
    auto* loaded = dynamic_cast<CTreeItem*>(item);
    if (loaded && loaded->expandedOnce)
        reloadInBackground(item, copy);
}

void CLeftView::SaveOwnerDocument(const Node& node) {
    rememberBeforeSave(LocalFileOf(node));
    std::string url;
    if (!tree::saveOwnerDocument(node, &url))
        kelvor::app::messageBox(std::string(str::kSaveFailed) + url);
    else
        IndexDocumentLater(node);
}

QTreeWidgetItem* CLeftView::InsertNodeItem(const Node& node, const std::string& title, int image,
                                           int selectedImage, QTreeWidgetItem* parent, QTreeWidgetItem* after) {
    if (!parent)
        parent = invisibleRootItem();
    auto* item = new CTreeItem(this);
    item->setText(0, QString::fromStdString(title));
    setItemIcons(item, image, selectedImage);
    item->node = node;
    int index = parent->childCount();
    if (after == kInsertFirst)
        index = 0;
    else if (after != kInsertLast && parent->indexOfChild(after) >= 0)
        index = parent->indexOfChild(after) + 1;
    parent->insertChild(index, item);
    bool firstChildIsNode = node.hasChildNodes() && node.firstChild().nameIs("TreeNode");
    if (!GetNodeAttribute(node, "NodeSrc").empty() || !GetNodeAttribute(node, "Rss").empty() || firstChildIsNode)
        addPlaceholder(item, selectedImage);
    return item;
}

QTreeWidgetItem* CLeftView::InsertBeside(QTreeWidgetItem* at, const Node& node, bool asChild, int icon) {
    QTreeWidgetItem* parent = asChild ? at : at->parent();
    QTreeWidgetItem* after = kInsertLast;
    if (!asChild) {
        QTreeWidgetItem* siblings = parent ? parent : invisibleRootItem();
        int index = siblings->indexOfChild(at);
        after = index > 0 ? siblings->child(index - 1) : kInsertFirst;
    }
    if (icon < 0)
        icon = tree::appearanceOf(node, false).icon;
    QTreeWidgetItem* item =
        InsertNodeItem(node, GetNodeAttribute(node, "Title"), icon, tree::kIconFolderOpen, parent, after);
    if (item)
        showHeadlineOfNewChannel(item, node);
    return item;
}

bool CLeftView::GetOwnerTreeInfo(const Node& node, std::string& type, std::string& baseUrl) {
    tree::OwnerTreeInfo info = tree::ownerTreeInfo(node);
    type = info.type;
    baseUrl = info.baseUrl;
    return info.editable;
}

bool CLeftView::IsEditableNode(const Node& node) { return node && tree::isEditableNode(node); }

std::string CLeftView::GetClipboardText() {
    // An empty text is no text here: X11 selections often offer "" when the
    // owner has nothing, and an empty title would make a nameless item.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasText() || data->text().isEmpty())
        return str::kNewItemText;
    return data->text().toStdString();
}

// ---- creation from the clipboard ------------------------------------------------

namespace {
enum class ClipboardItem { Text, Link, Channel, TextChild };

void createFromClipboard(CLeftView& view, ClipboardItem kind) {
    QTreeWidgetItem* selected = view.currentItem();
    Node node = CLeftView::nodeOf(selected);
    if (!node || !view.IsEditableNode(node)) {
        refuseNotEditable();
        return;
    }
    std::string text = view.GetClipboardText();
    std::string title, href, rss, desc;
    switch (kind) {
    case ClipboardItem::Text:
    case ClipboardItem::TextChild:
        title = tree::cutToCodePageBytes(text, kTitleBytes);
        desc = text;
        break;
    case ClipboardItem::Link:
        title = "新建链接";
        href = text;
        break;
    case ClipboardItem::Channel:
        title = "新建频道";
        rss = text;
        break;
    }
    bool asChild = kind == ClipboardItem::TextChild;
    Node created = view.CreateItemNode(node, title, href, std::string(), rss, desc, asChild);
    if (created)
        view.InsertBeside(selected, created, asChild);
}
} // namespace

void CLeftView::OnNewTextItem() { createFromClipboard(*this, ClipboardItem::Text); }
void CLeftView::OnNewLinkItem() { createFromClipboard(*this, ClipboardItem::Link); }
void CLeftView::OnNewChannelItem() { createFromClipboard(*this, ClipboardItem::Channel); }
void CLeftView::OnNewTextChild() { createFromClipboard(*this, ClipboardItem::TextChild); }

// ---- setting fields from the clipboard -----------------------------------------
// No editable test: these work on any item with a node, as the menu offers them.

void CLeftView::OnSetDescFromClipboard() {
    if (Node node = nodeOf(currentItem()))
        ApplyItemFields(node, {}, {}, {}, {}, GetClipboardText());
}

void CLeftView::OnSetLinkFromClipboard() {
    if (Node node = nodeOf(currentItem()))
        ApplyItemFields(node, {}, GetClipboardText(), {}, {}, {});
}

void CLeftView::OnSetChannelFromClipboard() {
    if (Node node = nodeOf(currentItem()))
        ApplyItemFields(node, {}, {}, {}, GetClipboardText(), {});
}

// ---- delete ----------------------------------------------------------------------

void CLeftView::OnDeleteItem() {
    QTreeWidgetItem* item = currentItem();
    if (!item)
        return;
    if (CollectionService* service = collection())
        service->forgetFirstDownloadOf(item);
    Node node = nodeOf(item);
    if (!node)
        return;
    if (copiedItem == item)
        copiedItem = nullptr;
    if (!item->parent())
        return; // first-level items stay
    std::string title = item->text(0).toStdString();
    UndoGroup undo(*this, "删除“" + title + "”");
    Node parentNode = node.parentNode();
    if (parentNode)
        parentNode.removeChild(node);
    delete item;
    // The removed node still belongs to its document, so it can be saved
    // through it.
    SaveOwnerDocument(node);
    ShowStatus("已删除“" + title + "”，按 Ctrl+Z 可以撤销");
}
