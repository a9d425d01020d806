#include "frame/CommandIds.h"
#include "navtree/CLeftView.h"
#include "frame/CommandGuard.h"

namespace cmd = kelvor::cmd;

namespace {

bool dispatch(CLeftView& view, int id) {
    if (id >= cmd::kSendToFirst && id <= cmd::kSendToLast) {
        view.OnSendTo(id);
        return true;
    }
    switch (id) {
    case cmd::kNewItem:
        view.OnNewItem();
        return true;
    case cmd::kProperties:
        view.OnProperties();
        return true;
    case cmd::kDeleteItem:
        view.OnDeleteItem();
        return true;
    case cmd::kPasteItem:
        view.OnPasteItem();
        return true;
    case cmd::kCopyItem:
        view.OnCopyItem();
        return true;
    case cmd::kRefresh:
        view.OnRefresh();
        return true;
    case cmd::kNewTextItem:
        view.OnNewTextItem();
        return true;
    case cmd::kNewLinkItem:
        view.OnNewLinkItem();
        return true;
    case cmd::kNewChannelItem:
        view.OnNewChannelItem();
        return true;
    case cmd::kSetDescFromClipboard:
        view.OnSetDescFromClipboard();
        return true;
    case cmd::kSetLinkFromClipboard:
        view.OnSetLinkFromClipboard();
        return true;
    case cmd::kSetChannelFromClipboard:
        view.OnSetChannelFromClipboard();
        return true;
    case cmd::kOpenItem:
        view.OnOpenItem();
        return true;
    case cmd::kViewItem:
        view.OnViewItem();
        return true;
    case cmd::kCopyLink:
        view.OnCopyLink();
        return true;
    case cmd::kPasteChildren:
        view.OnPasteChildren();
        return true;
    case cmd::kNewTextChild:
        view.OnNewTextChild();
        return true;
    case cmd::kOpenInNewWindow:
        view.OnOpenInNewWindow();
        return true;
    case cmd::kMarkRead:
    case cmd::kMarkUnread:
        view.SetEntryRead(view.currentItem(), id == cmd::kMarkRead);
        return true;
    case cmd::kMarkAllRead:
        view.MarkSelectedRead();
        return true;
    case cmd::kStarEntry:
    case cmd::kUnstarEntry:
        view.SetEntryStarred(view.currentItem(), id == cmd::kStarEntry);
        return true;
    case cmd::kNextUnread:
    case cmd::kPrevUnread:
        view.GoToUnread(id == cmd::kNextUnread);
        return true;
    case cmd::kToggleRead:
        view.ToggleSelectedRead();
        return true;
    default:
        return false;
    }
}

// What undoing a command's edits is called ("撤销粘贴"); "" lets the
// handler name it, or call it an edit.
std::string undoNameOf(int id) {
    if (id >= cmd::kSendToFirst && id <= cmd::kSendToLast)
        return "发送到";
    switch (id) {
    case cmd::kNewItem:
    case cmd::kNewTextItem:
    case cmd::kNewLinkItem:
    case cmd::kNewChannelItem:
    case cmd::kNewTextChild:
        return "新建项目";
    case cmd::kProperties:
        return "修改属性";
    case cmd::kPasteItem:
        return "粘贴项目";
    case cmd::kPasteChildren:
        return "粘贴子项目";
    case cmd::kSetDescFromClipboard:
    case cmd::kSetLinkFromClipboard:
    case cmd::kSetChannelFromClipboard:
        return "从剪贴板设置";
    default:
        return "";
    }
}

} // namespace

bool CLeftView::handleCommand(int id) {
    if (id == cmd::kEditUndo) {
        Undo();
        return true;
    }
    // A command that fails half-way still was the tree's command.
    bool handled = true;
    UndoGroup undo(*this, undoNameOf(id));
    kelvor::tree::runGuarded([&] { handled = dispatch(*this, id); });
    return handled;
}
