// Undo of the tree's edits. Every edit saves its file at once, so what a
// file held before an edit is what is on disk just before the save: each
// step keeps those bytes, and undoing writes them back (as any edit is
// written) and shows the file again wherever the tree shows it. The saves
// of one command (a paste of several children) make one step.
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "platform/AtomicFile.h"
#include "platform/HomeFolder.h"
#include "tree/Strings.h"

#include <QScrollBar>
#include <QSet>
#include <QSignalBlocker>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

constexpr size_t kUndoSteps = 50;

} // namespace

CLeftView::UndoGroup::UndoGroup(CLeftView& view, std::string what) : view_(view) {
    if (view_.undoDepth_++ == 0)
        view_.openStep_ = UndoStep{std::move(what), {}};
    else if (view_.openStep_.what.empty())
        view_.openStep_.what = std::move(what); // the command let its handler name it
}

CLeftView::UndoGroup::~UndoGroup() {
    if (--view_.undoDepth_ == 0)
        view_.closeUndoStep();
}

void CLeftView::rememberBeforeSave(const std::string& file) {
    if (file.empty())
        return;
    UndoFile before{kelvor::platform::normalPath(file), {}};
    if (!kelvor::platform::readWholeFile(before.path, before.bytes))
        return; // a file that was not there has nothing to go back to
    if (undoDepth_ == 0) {
        openStep_ = UndoStep{"编辑", {std::move(before)}};
        closeUndoStep();
        return;
    }
    auto& files = openStep_.files;
    bool known = std::any_of(files.begin(), files.end(),
                             [&before](const UndoFile& file) { return file.path == before.path; });
    if (!known)
        files.push_back(std::move(before)); // the first save of the command has the old bytes
}

void CLeftView::closeUndoStep() {
    if (openStep_.files.empty())
        return;
    if (openStep_.what.empty())
        openStep_.what = "编辑";
    undoSteps_.push_back(std::move(openStep_));
    openStep_ = {};
    if (undoSteps_.size() > kUndoSteps)
        undoSteps_.pop_front();
}

std::string CLeftView::UndoText() const {
    return undoSteps_.empty() ? std::string() : "撤销" + undoSteps_.back().what;
}

bool CLeftView::Undo() {
    if (undoSteps_.empty()) {
        ShowStatus("没有可以撤销的编辑");
        return false;
    }
    UndoStep step = std::move(undoSteps_.back());
    undoSteps_.pop_back();
    for (const UndoFile& file : step.files) {
        std::string error;
        if (!kelvor::platform::writeFileAtomically(file.path, file.bytes, &error)) {
            kelvor::app::messageBox(std::string(kelvor::str::kSaveFailed) + file.path);
            continue;
        }
        showFileAgain(file.path);
        IndexFileLater(file.path);
    }
    ShowStatus("已撤销" + step.what);
    return true;
}

namespace {

// Items under a place by their titles from it down: what a reload of the
// place can find again.
using TitlePath = QStringList;

void walkLoaded(QTreeWidgetItem* item, TitlePath path,
                const std::function<void(QTreeWidgetItem*, const TitlePath&)>& visit) {
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        if (!CLeftView::nodeOf(child))
            continue; // a placeholder
        TitlePath childPath = path;
        childPath << child->text(0);
        visit(child, childPath);
        walkLoaded(child, childPath, visit);
    }
}

} // namespace

// Every place the tree shows the file's items is loaded from it again.
// What was expanded there is expanded again, and the item the undo brought
// back (or else the one selected before) is selected. Done `quietly` (the
// file changed behind the user's back) only the selection comes back, with
// no signal, and the scroll position stays.
void CLeftView::showFileAgain(const std::string& file, bool quietly) {
    std::vector<QTreeWidgetItem*> places;
    for (const CategoryEntry& category : categories)
        if (kelvor::platform::normalPath(category.path) == file)
            places.push_back(category.item ? category.item : invisibleRootItem());
    if (places.empty())
        if (QTreeWidgetItem* leading = itemLeadingTo(file))
            places.push_back(leading);
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    int scroll = verticalScrollBar()->value();
    std::optional<QSignalBlocker> quiet;
    if (quietly)
        quiet.emplace(this); // the frame must not take it for the user's choice
    for (QTreeWidgetItem* place : places) {
        QSet<TitlePath> before, expanded;
        TitlePath selected;
        walkLoaded(place, {}, [&](QTreeWidgetItem* item, const TitlePath& path) {
            before.insert(path);
            if (item->isExpanded())
                expanded.insert(path);
            if (item == currentItem())
                selected = path;
        });
        DeleteChildItems(place);
        LoadTreeFile(file, place == invisibleRootItem() ? nullptr : place);
        if (auto* loaded = dynamic_cast<CTreeItem*>(place))
            loaded->expandedOnce = true;
        QTreeWidgetItem* brought = nullptr;
        QTreeWidgetItem* again = nullptr;
        walkLoaded(place, {}, [&](QTreeWidgetItem* item, const TitlePath& path) {
            if (expanded.contains(path)) {
                item->setExpanded(true); // loads its children, walked next
                if (quietly)
                    onExpanded(item); // what the blocked signal would have done
            }
            if (!brought && !before.contains(path))
                brought = item;
            if (!again && !selected.isEmpty() && path == selected)
                again = item;
        });
        if (quietly && again)
            setCurrentItem(again);
        else if (QTreeWidgetItem* select = quietly ? nullptr : brought ? brought : again) {
            setCurrentItem(select);
            scrollToItem(select);
        }
    }
    if (quietly)
        verticalScrollBar()->setValue(scroll);
}
