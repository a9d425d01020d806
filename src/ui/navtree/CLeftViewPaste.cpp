// The tree's context menu, and moving items: copy, paste before an item,
// paste a copied item's children, send to a category. Copying remembers only
// the tree item; its node is read when the paste happens.
#include "frame/CommandIds.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"
#include "tree/ChannelSource.h"
#include "tree/ItemLink.h"
#include "tree/NodeSrcForm.h"
#include "tree/Strings.h"

#include <QMenu>

#include <memory>

using kelvor::xml::Node;
namespace cmd = kelvor::cmd;
namespace tree = kelvor::tree;

namespace {

// ---- menu 131 ----

QAction* addCommand(QMenu* menu, const char* text, int id) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setData(id);
    return action;
}

QMenu* clipboardSubmenu(QMenu* parent) {
    QMenu* sub = parent->addMenu(QStringLiteral("从剪贴板"));
    addCommand(sub, "新建文本项目(&T)", cmd::kNewTextItem);
    addCommand(sub, "新建链接项目(&U)", cmd::kNewLinkItem);
    addCommand(sub, "新建频道项目(&R)", cmd::kNewChannelItem);
    addCommand(sub, "新建文本子项(&J)", cmd::kNewTextChild);
    sub->addSeparator();
    addCommand(sub, "设置频道属性(&P)", cmd::kSetChannelFromClipboard);
    addCommand(sub, "设置描述属性(&M)", cmd::kSetDescFromClipboard);
    addCommand(sub, "设置链接属性(&L)", cmd::kSetLinkFromClipboard);
    return sub;
}

QMenu* fullContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    addCommand(menu, "打开(&O)", cmd::kOpenItem);
    addCommand(menu, "新窗口中打开(&P)", cmd::kOpenInNewWindow);
    addCommand(menu, "查看(&V)", cmd::kViewItem);
    menu->addSeparator();
    addCommand(menu, "新建项目(&N)", cmd::kNewItem);
    clipboardSubmenu(menu);
    menu->addSeparator();
    addCommand(menu, "复制项目(&C)", cmd::kCopyItem);
    addCommand(menu, "粘贴项目(&H)", cmd::kPasteItem);
    addCommand(menu, "粘贴子项(&A)", cmd::kPasteChildren);
    addCommand(menu, "删除项目(&D)   CTRL+DELETE", cmd::kDeleteItem);
    menu->addSeparator();
    addCommand(menu, "复制链接到剪贴板(&U)", cmd::kCopyLink);
    addCommand(menu, "刷新(&R)", cmd::kRefresh);
    menu->addSeparator();
    addCommand(menu, "属性(&P)", cmd::kProperties);
    return menu;
}

QAction* findCommand(QMenu* menu, int id) {
    for (QAction* action : menu->actions())
        if (!action->menu() && action->data().isValid() && action->data().toInt() == id)
            return action;
    return nullptr;
}

void removeCommand(QMenu* menu, int id) {
    if (QAction* action = findCommand(menu, id)) {
        menu->removeAction(action);
        delete action;
    }
}

QString menuText(const std::string& title) {
    // A category called "A&B" must not lose its "&" to a mnemonic.
    return QString::fromStdString(title).replace(QLatin1Char('&'), QLatin1String("&&"));
}

void addSendToSubmenu(QMenu* menu, const std::vector<CategoryEntry>& categories) {
    auto* sendTo = new QMenu(QStringLiteral("发送到"), menu);
    int count = std::min<int>(static_cast<int>(categories.size()),
                              cmd::kSendToLast - cmd::kSendToFirst + 1);
    for (int i = 0; i < count; ++i)
        addCommand(sendTo, "", cmd::kSendToFirst + i)->setText(menuText(categories[i].title));
    menu->insertMenu(findCommand(menu, cmd::kRefresh), sendTo);
}

// Entries can be marked one by one; a channel or a category marks every
// loaded channel at or under it.
void addMarkCommands(QMenu* menu, QTreeWidgetItem* item) {
    if (!item)
        return;
    QAction* before = findCommand(menu, cmd::kRefresh);
    auto insert = [&](const char* text, int id) {
        auto* action = new QAction(QString::fromUtf8(text), menu);
        action->setData(id);
        menu->insertAction(before, action);
    };
    if (CLeftView::IsEntry(item)) {
        insert("标记为已读", cmd::kMarkRead);
        insert("标记为未读", cmd::kMarkUnread);
        if (CLeftView::IsSyncedEntry(item) && CLeftView::IsEntryStarred(item))
            insert("取消星标", cmd::kUnstarEntry);
        else if (CLeftView::IsSyncedEntry(item))
            insert("加星标", cmd::kStarEntry);
    } else if (item->childCount() > 0 || CLeftView::UnreadCountOf(item) >= 0) {
        insert("全部标记为已读", cmd::kMarkAllRead);
    }
}

void popUpMenu(CLeftView& view, QTreeWidgetItem* item, const QPoint& globalPos) {
    std::unique_ptr<QMenu> menu(view.BuildContextMenu(item));
    QAction* chosen = menu->exec(globalPos);
    if (chosen && chosen->data().isValid()) {
        int id = chosen->data().toInt();
        menu.reset(); // the command may open a dialog of its own
        view.handleCommand(id);
    }
}

// ---- what a paste copies ----

struct PastedItem {
    std::string title, href, nodeSrc, rss, desc;
};

// The five fields that travel, with a local NodeSrc in its stored form.
PastedItem pastedFieldsOf(const Node& source) {
    PastedItem item;
    item.title = CLeftView::GetNodeAttribute(source, "Title");
    // Pasted into a category, a stranger's script would become the user's own.
    item.href = tree::openableHref(source);
    std::string cacheFile;
    int result = tree::ResolveChannelSource(source, item.nodeSrc, cacheFile, item.rss);
    if (result == tree::kLocalFile)
        item.nodeSrc = tree::storedNodeSrc(item.nodeSrc, kelvor::platform::programFolder());
    item.desc = CLeftView::GetNodeDescription(source);
    return item;
}

} // namespace

// ---- context menu -----------------------------------------------------------------

QMenu* CLeftView::BuildContextMenu(QTreeWidgetItem* item) {
    QMenu* menu = fullContextMenu(this);
    Node node = nodeOf(item);
    if (!node || !IsEditableNode(node)) {
        for (int id : {cmd::kNewItem, cmd::kDeleteItem, cmd::kPasteItem, cmd::kPasteChildren})
            removeCommand(menu, id);
    }
    if (!copiedItem) {
        removeCommand(menu, cmd::kPasteItem);
        removeCommand(menu, cmd::kPasteChildren);
    }
    if (!node || GetNodeAttribute(node, "Href").empty())
        removeCommand(menu, cmd::kOpenInNewWindow);
    addSendToSubmenu(menu, categories);
    addMarkCommands(menu, item);
    return menu;
}

void CLeftView::OnItemRightClick(const QPoint& viewportPos) {
    QTreeWidgetItem* hit = itemAt(viewportPos);
    setCurrentItem(hit);
    if (!hit)
        clearSelection();
    if (!hit || labelItemAt(viewportPos) != hit || !nodeOf(hit))
        return;
    popUpMenu(*this, hit, viewport()->mapToGlobal(viewportPos));
}

// ---- copy and paste -----------------------------------------------------------------

void CLeftView::OnCopyItem() {
    copiedItem = currentItem();
}

QTreeWidgetItem* CLeftView::PasteItem(QTreeWidgetItem* source, QTreeWidgetItem* destination,
                                      bool asChild) {
    Node sourceNode = nodeOf(source);
    Node destinationNode = nodeOf(destination);
    if (!sourceNode || !destinationNode)
        return nullptr;
    if (!IsEditableNode(destinationNode)) {
        kelvor::app::messageBox(kelvor::str::kNotEditable);
        return nullptr;
    }
    PastedItem fields = pastedFieldsOf(sourceNode);
    Node created = CreateItemNode(destinationNode, fields.title, fields.href, fields.nodeSrc,
                                  fields.rss, fields.desc, asChild);
    return created ? InsertBeside(destination, created, asChild) : nullptr;
}

void CLeftView::OnPasteItem() {
    QTreeWidgetItem* source = copiedItem;
    copiedItem = nullptr; // one copy, one paste, whatever happens
    PasteItem(source, currentItem(), false);
}

void CLeftView::OnPasteChildren() {
    QTreeWidgetItem* target = currentItem();
    Node targetNode = nodeOf(target);
    if (!targetNode || !IsEditableNode(targetNode)) {
        kelvor::app::messageBox(kelvor::str::kNotEditable);
        return;
    }
    // Only the children there are now: pasting into one of them adds more.
    std::vector<QTreeWidgetItem*> children;
    for (int i = 0; copiedItem && i < copiedItem->childCount(); ++i)
        children.push_back(copiedItem->child(i));
    for (QTreeWidgetItem* child : children) {
        // A message box during a save lets other events run; skip what went.
        if (!copiedItem || copiedItem->indexOfChild(child) < 0)
            continue;
        PasteItem(child, target, false);
    }
    SaveOwnerDocument(targetNode);
    copiedItem = nullptr;
}

// ---- send to ----------------------------------------------------------------------

void CLeftView::OnSendTo(int commandId) {
    size_t index = static_cast<size_t>(commandId - cmd::kSendToFirst);
    if (commandId < cmd::kSendToFirst || index >= categories.size())
        return;
    QTreeWidgetItem* category = categories[index].item;
    QTreeWidgetItem* first = category ? category->child(0) : nullptr;
    if (!first) {
        categories.erase(categories.begin() + static_cast<long>(index));
        return;
    }
    Node firstNode = nodeOf(first);
    if (!firstNode)
        return;
    if (Node node = nodeOf(currentItem())) {
        PastedItem fields = pastedFieldsOf(node);
        Node created = CreateItemNode(firstNode, fields.title, fields.href, fields.nodeSrc,
                                      fields.rss, fields.desc, false);
        if (created)
            InsertBeside(first, created, false);
    }
    copiedItem = nullptr;
}
