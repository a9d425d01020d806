// Opening items: clicks on labels, Enter, and the open / view / open in a new
// window / copy link commands. Everything reaches the browser side through
// the main frame's five operations.
#include "frame/CommandGuard.h"
#include "frame/FrameInterface.h"
#include "navtree/CLeftView.h"
#include "platform/AddressPolicy.h"
#include "tree/ChannelSource.h"
#include "tree/ItemLink.h"
#include "tree/Strings.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <algorithm>

using kelvor::xml::Node;
namespace tree = kelvor::tree;

namespace {

kelvor::app::IMainFrame* frame() {
    return kelvor::app::mainFrame();
}

void navigateTo(const std::string& address) {
    if (auto* f = frame())
        f->NavigateTo(address);
}

void showDescriptionOf(const Node& node) {
    std::string desc = CLeftView::GetNodeDescription(node);
    if (auto* f = frame())
        f->ShowDescription(desc.empty() ? kelvor::str::kNoDescription : desc);
}

// A bookmarklet (only the user's own files keep one, see openableHref) acts
// on the page on screen; any other address loads.
void openAddress(const std::string& href) {
    auto* f = frame();
    if (f && kelvor::platform::isScriptAddress(href))
        f->RunBookmarklet(href);
    else
        navigateTo(href);
}

// The item's Href, or else its description.
void openHrefOrDescription(const Node& node) {
    std::string href = tree::openableHref(node);
    if (href.empty())
        showDescriptionOf(node);
    else
        openAddress(href);
}

} // namespace

// ---- hit testing -------------------------------------------------------------

QTreeWidgetItem* CLeftView::labelItemAt(const QPoint& point) const {
    QTreeWidgetItem* item = itemAt(point);
    if (!item)
        return nullptr;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.index = indexFromItem(item);
    option.rect = visualItemRect(item);
    option.text = item->text(0);
    option.icon = item->icon(0);
    option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    // The style gives the text the rest of the row; only the words themselves
    // (plus the focus frame's margin) are the label.
    int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    int width = option.fontMetrics.horizontalAdvance(option.text) + 2 * margin;
    text.setWidth(std::min(text.width(), width));
    return text.contains(point) ? item : nullptr;
}

// ---- mouse and keyboard ----------------------------------------------------------

void CLeftView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    bool endsDoubleClick = releaseEndsDoubleClick_;
    releaseEndsDoubleClick_ = false;
    if (event->button() != Qt::LeftButton || endsDoubleClick)
        return;
    if (QTreeWidgetItem* item = labelItemAt(event->position().toPoint()))
        tree::runGuarded([&] { OnItemClick(item); });
}

void CLeftView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        releaseEndsDoubleClick_ = true;
        if (QTreeWidgetItem* item = labelItemAt(event->position().toPoint()))
            tree::runGuarded([&] { OnItemDblClick(item); });
    }
    // The control's own part: the double click toggles the expansion.
    QTreeWidget::mouseDoubleClickEvent(event);
}

bool CLeftView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && isTreeKey(static_cast<QKeyEvent*>(event))) {
        event->accept(); // the tree's own, not the window's F5
        return true;
    }
    return QTreeWidget::event(event);
}

void CLeftView::keyPressEvent(QKeyEvent* event) {
    if (handleReadingKey(event)) {
        event->accept();
        return;
    }
    bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        // The keyboard user's item is the selected one, wherever the mouse is.
        tree::runGuarded([&] { OnItemClick(currentItem()); });
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        tree::runGuarded([&] { OnDeleteItem(); });
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CLeftView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (event->reason() != QContextMenuEvent::Keyboard) {
        OnItemRightClick(event->pos());
        return;
    }
    // The menu key: the menu of the selected item, under its label.
    QTreeWidgetItem* item = currentItem();
    if (!item)
        return;
    scrollToItem(item);
    QRect row = visualItemRect(item);
    QPoint label(row.left() + iconSize().width() + 8, row.center().y());
    OnItemRightClick(label);
}

// ---- clicks -----------------------------------------------------------------------

void CLeftView::OnItemClick(QTreeWidgetItem* item) {
    if (openHistoryEntry(item))
        return;
    Node node = nodeOf(item);
    if (!node)
        return;
    std::string source, cacheFile, feed;
    int result = tree::ResolveChannelSource(node, source, cacheFile, feed);
    if (!feed.empty()) {
        if (result == tree::kCacheFresh || result == tree::kCacheExpired)
            navigateTo(cacheFile);
        else
            item->setExpanded(true); // loads or downloads it on the first time
        return;
    }
    if (!source.empty() && result == tree::kLocalFile) {
        navigateTo(source);
        return;
    }
    MarkOpened(item);
    openHrefOrDescription(node);
}

void CLeftView::OnItemDblClick(QTreeWidgetItem* item) {
    if (Node node = nodeOf(item)) {
        MarkOpened(item);
        openHrefOrDescription(node);
    }
}

// ---- commands on the selected item ----------------------------------------------

void CLeftView::OnOpenItem() {
    Node node = nodeOf(currentItem());
    if (!node)
        return;
    std::string href = tree::openableHref(node);
    if (href.empty())
        return;
    MarkOpened(currentItem());
    openAddress(href);
}

void CLeftView::OnViewItem() {
    if (Node node = nodeOf(currentItem()))
        showDescriptionOf(node);
}

void CLeftView::OnOpenInNewWindow() {
    Node node = nodeOf(currentItem());
    if (!node)
        return;
    std::string href = tree::openableHref(node);
    auto* f = frame();
    // A bookmarklet has nothing to act on in a new, empty page.
    if (href.empty() || !f || kelvor::platform::isScriptAddress(href))
        return;
    MarkOpened(currentItem());
    f->SetAddressText(href);
    if (CKelvorView* page = f->OpenNewPage(true))
        f->NavigatePage(page, href);
}

void CLeftView::OnCopyLink() {
    Node node = nodeOf(currentItem());
    if (!node)
        return;
    std::string href = tree::openableHref(node);
    if (!href.empty())
        QGuiApplication::clipboard()->setText(QString::fromStdString(href));
}
