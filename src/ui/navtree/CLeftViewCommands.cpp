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

} // namespace

bool CLeftView::handleCommand(int id) {
    // A command that fails half-way still was the tree's command.
    bool handled = true;
    kelvor::tree::runGuarded([&] { handled = dispatch(*this, id); });
    return handled;
}
