#include "app/CommandIds.h"
#include "tree/CLeftView.h"

namespace cmd = kelvor::cmd;

bool CLeftView::handleCommand(int id) {
    if (id >= cmd::kSendToFirst && id <= cmd::kSendToLast) {
        OnSendTo(id);
        return true;
    }
    switch (id) {
    case cmd::kNewItem:
        OnNewItem();
        return true;
    case cmd::kProperties:
        OnProperties();
        return true;
    case cmd::kDeleteItem:
        OnDeleteItem();
        return true;
    case cmd::kPasteItem:
        OnPasteItem();
        return true;
    case cmd::kCopyItem:
        OnCopyItem();
        return true;
    case cmd::kRefresh:
        OnRefresh();
        return true;
    case cmd::kNewTextItem:
        OnNewTextItem();
        return true;
    case cmd::kNewLinkItem:
        OnNewLinkItem();
        return true;
    case cmd::kNewChannelItem:
        OnNewChannelItem();
        return true;
    case cmd::kSetDescFromClipboard:
        OnSetDescFromClipboard();
        return true;
    case cmd::kSetLinkFromClipboard:
        OnSetLinkFromClipboard();
        return true;
    case cmd::kSetChannelFromClipboard:
        OnSetChannelFromClipboard();
        return true;
    case cmd::kOpenItem:
        OnOpenItem();
        return true;
    case cmd::kViewItem:
        OnViewItem();
        return true;
    case cmd::kCopyLink:
        OnCopyLink();
        return true;
    case cmd::kPasteChildren:
        OnPasteChildren();
        return true;
    case cmd::kNewTextChild:
        OnNewTextChild();
        return true;
    case cmd::kOpenInNewWindow:
        OnOpenInNewWindow();
        return true;
    default:
        return false;
    }
}
