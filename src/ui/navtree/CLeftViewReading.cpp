// Reading with the keyboard: the next or previous unread entry among the
// channels of the selected one's category, read/unread of an entry, and
// the keys the tree keeps for itself (Space at a page's end, F5).
#include "frame/CommandGuard.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"

#include <QKeyEvent>
#include <QPointer>

#include <algorithm>
#include <vector>

namespace {

bool isChannel(QTreeWidgetItem* item) {
    return item && !CLeftView::IsEntry(item) &&
           item->data(0, CLeftView::kCacheFileRole).isValid() && CLeftView::nodeOf(item);
}

// The channel an entry belongs to: its parent, or the channel above the
// "updating" line it was loaded under.
QTreeWidgetItem* channelOfEntry(QTreeWidgetItem* entry) {
    QTreeWidgetItem* parent = entry->parent();
    if (parent && !CLeftView::nodeOf(parent))
        parent = parent->parent();
    return parent;
}

std::vector<QTreeWidgetItem*> entriesOf(QTreeWidgetItem* channel) {
    std::vector<QTreeWidgetItem*> entries;
    for (int i = 0; i < channel->childCount(); ++i) {
        QTreeWidgetItem* child = channel->child(i);
        if (CLeftView::IsEntry(child))
            entries.push_back(child);
        for (int j = 0; !CLeftView::nodeOf(child) && j < child->childCount(); ++j)
            if (CLeftView::IsEntry(child->child(j)))
                entries.push_back(child->child(j));
    }
    return entries;
}

// The channels below `scope`, in the order the tree shows them (entries
// are not walked into).
void collectChannels(QTreeWidgetItem* scope, std::vector<QTreeWidgetItem*>& channels) {
    for (int i = 0; i < scope->childCount(); ++i) {
        QTreeWidgetItem* child = scope->child(i);
        if (isChannel(child))
            channels.push_back(child);
        else if (CLeftView::nodeOf(child) && !CLeftView::IsEntry(child))
            collectChannels(child, channels);
    }
}

} // namespace

bool CLeftView::GoToUnread(bool forward) {
    unreadWalk_ = {};
    settleCopiesBeingLocated();
    QTreeWidgetItem* current = currentItem();
    if (!current)
        return false;
    QTreeWidgetItem* channel = IsEntry(current) ? channelOfEntry(current) : current;
    // The category: the channel's folder, the folder selected, or the one
    // holding a link or note that is selected.
    std::vector<QTreeWidgetItem*> channels;
    QTreeWidgetItem* scope = isChannel(channel) ? channel->parent() : current;
    if (scope == current)
        collectChannels(scope, channels);
    if (channels.empty() && scope == current)
        scope = current->parent();
    if (!scope)
        scope = invisibleRootItem();
    if (channels.empty())
        collectChannels(scope, channels);
    if (!forward)
        std::reverse(channels.begin(), channels.end());
    auto from = std::find(channels.begin(), channels.end(), channel);
    bool withinCurrent = from != channels.end();
    for (auto it = withinCurrent ? from : channels.begin(); it != channels.end(); ++it) {
        QTreeWidgetItem* candidate = *it;
        // A channel not opened yet shows its entries once expanded (from its
        // copy at once; one that must download first is passed over).
        if (UnreadCountOf(candidate) != 0 && !candidate->isExpanded())
            candidate->setExpanded(true);
        std::vector<QTreeWidgetItem*> entries = entriesOf(candidate);
        if (!forward)
            std::reverse(entries.begin(), entries.end());
        // Entries just loaded are bold or not once the store has answered
        // for their channel: the walk goes on from here then.
        bool known = std::all_of(entries.begin(), entries.end(), [](QTreeWidgetItem* entry) {
            return entry->data(0, kEntryUnreadRole).isValid();
        });
        if (!known) {
            unreadWalk_ = {forward, candidate->data(0, kCacheFileRole).toString().toStdString()};
            return true;
        }
        auto start = entries.begin();
        if (candidate == channel && IsEntry(current)) {
            start = std::find(entries.begin(), entries.end(), current);
            if (start != entries.end())
                ++start;
        }
        for (auto entry = start; entry != entries.end(); ++entry) {
            if (!IsEntryUnread(*entry))
                continue;
            setCurrentItem(*entry);
            scrollToItem(*entry);
            OnItemClick(*entry);
            return true;
        }
    }
    ShowStatus(forward ? "后面没有未读条目了" : "前面没有未读条目了");
    return false;
}

void CLeftView::continueUnreadWalk(const std::string& cacheFile) {
    if (!unreadWalk_.cacheFile.empty() && unreadWalk_.cacheFile == cacheFile)
        kelvor::tree::runGuarded([this] { GoToUnread(unreadWalk_.forward); });
}

void CLeftView::SetUnreadOnly(bool on) {
    unreadOnly_ = on;
    std::vector<QTreeWidgetItem*> channels;
    collectChannels(invisibleRootItem(), channels);
    for (QTreeWidgetItem* channel : channels)
        showEntriesAsChosen(channel);
}

void CLeftView::showEntriesAsChosen(QTreeWidgetItem* channel) {
    QTreeWidgetItem* current = currentItem();
    for (QTreeWidgetItem* entry : entriesOf(channel)) {
        bool read = entry->data(0, kEntryUnreadRole).isValid() && !IsEntryUnread(entry);
        entry->setHidden(unreadOnly_ && read && entry != current);
    }
}

void CLeftView::ToggleSelectedRead() {
    QTreeWidgetItem* item = currentItem();
    if (IsEntry(item))
        SetEntryRead(item, IsEntryUnread(item));
}

void CLeftView::MarkSelectedRead() {
    QTreeWidgetItem* item = currentItem();
    MarkAllRead(IsEntry(item) ? channelOfEntry(item) : item);
}

// Keys the window would otherwise take for its own commands.
bool CLeftView::isTreeKey(const QKeyEvent* event) {
    Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier)
        return event->key() == Qt::Key_Z; // the tree's undo, not the page's
    return modifiers == Qt::NoModifier && (event->key() == Qt::Key_F5 || event->key() == Qt::Key_Space);
}

bool CLeftView::handleReadingKey(QKeyEvent* event) {
    if (!isTreeKey(event))
        return false;
    if (event->key() == Qt::Key_Z) {
        kelvor::tree::runGuarded([this] { Undo(); });
        return true;
    }
    if (event->key() == Qt::Key_F5) {
        // Every channel in view, as 立即更新 does.
        StartBackgroundUpdate();
        return true;
    }
    // Space reads on: the page scrolls while it can, then the next unread
    // entry opens.
    QPointer<CLeftView> self(this); // the page answers later
    auto next = [self] {
        if (self)
            kelvor::tree::runGuarded([&self] { self->GoToUnread(true); });
    };
    if (auto* frame = kelvor::app::mainFrame())
        frame->ScrollPageOrAtEnd(next);
    else
        next();
    return true;
}
