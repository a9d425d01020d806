#include "navtree/CLeftView.h"

#include "collection/CollectionService.h"
#include "frame/CommandGuard.h"
#include "frame/FrameInterface.h"
#include "navtree/CUnreadDelegate.h"
#include "navtree/HotHeadlines.h"
#include "platform/HomeFolder.h"
#include "tree/ChannelSource.h"
#include "tree/CopyFinder.h"
#include "tree/DescriptionsOnDisk.h"
#include "tree/Strings.h"
#include "tree/TreeFormat.h"

#include <QApplication>
#include <QHeaderView>
#include <QIcon>

#include <array>

using kelvor::xml::Document;
using kelvor::xml::Node;
namespace tree = kelvor::tree;

CTreeItem::CTreeItem(CLeftView* view) : view_(view) {}

CTreeItem::~CTreeItem() {
    if (view_)
        view_->forgetItem(this);
}

CLeftView::CLeftView(QWidget* parent) : QTreeWidget(parent) {
    kelvor::xml::initialize();
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(true);
    setAnimated(false);
    header()->setStretchLastSection(true);
    connect(this, &QTreeWidget::itemExpanded, this, &CLeftView::onExpanded);
    setItemDelegate(new CUnreadDelegate(kUnreadCountRole, kStarredRole, this));
}

CLeftView::~CLeftView() {
    // The finder and a service of its own go first: no answer may reach a
    // half-destroyed view.
    copyFinder_.reset();
    hotHeadlines_.reset();
    ownCollection_.reset();
    tearingDown_ = true;
    clear();
}

namespace {
QString iconPath(int index) {
    static const std::array<const char*, tree::kIconCount> names = {
        "0-folder", "1-folder-open", "2-link", "3-channel", "4-hot",
        "5-fav",    "6-rss",         "7-url",  "8-update",  "9-text"};
    return QStringLiteral(":/icons/tree/%1.svg").arg(QLatin1String(names[index]));
}
bool validIcon(int index) {
    return index >= 0 && index < tree::kIconCount;
}
} // namespace

QIcon CLeftView::itemIcon(int icon, int selectedIcon) {
    // The view draws the Selected mode of an icon for the selected item, so
    // one QIcon carries both pictures. Ten by ten pairs at most.
    static QIcon cache[tree::kIconCount][tree::kIconCount];
    if (!validIcon(icon) || !validIcon(selectedIcon))
        return {};
    QIcon& entry = cache[icon][selectedIcon];
    if (entry.isNull()) {
        entry.addFile(iconPath(icon), QSize(), QIcon::Normal);
        entry.addFile(iconPath(selectedIcon), QSize(), QIcon::Selected);
    }
    return entry;
}

void CLeftView::setItemIcons(QTreeWidgetItem* item, int icon, int selectedIcon) {
    item->setIcon(0, itemIcon(icon, selectedIcon));
    item->setData(0, kIconRole, icon);
    item->setData(0, kSelectedIconRole, selectedIcon);
}

int CLeftView::iconOf(QTreeWidgetItem* item) {
    return item->data(0, kIconRole).toInt();
}
int CLeftView::selectedIconOf(QTreeWidgetItem* item) {
    return item->data(0, kSelectedIconRole).toInt();
}

Node CLeftView::nodeOf(QTreeWidgetItem* item) {
    auto* treeItem = dynamic_cast<CTreeItem*>(item);
    return treeItem ? treeItem->node : Node();
}

std::string CLeftView::GetNodeAttribute(const Node& node, const char* name) {
    return tree::GetNodeAttribute(node, name);
}

std::string CLeftView::GetNodeDescription(const Node& node) {
    return tree::descriptionOf(node);
}

void CLeftView::forgetItem(QTreeWidgetItem* item) {
    if (tearingDown_)
        return;
    if (copiedItem == item)
        copiedItem = nullptr;
    categories.erase(
        std::remove_if(categories.begin(), categories.end(),
                       [item](const CategoryEntry& entry) { return entry.item == item; }),
        categories.end());
    if (CollectionService* service = collection_ ? collection_ : ownCollection_.get())
        service->forgetRequester(item);
    if (hotHeadlines_)
        hotHeadlines_->asked.erase(item);
    forgetItemInMarks(item);
}

// ---- start-up ---------------------------------------------------------------

void CLeftView::OnInitialUpdate() {
    LoadTreeFile(kelvor::platform::indexFile(), invisibleRootItem());
    QTreeWidgetItem* first = topLevelItem(0);
    std::string home, index, about;
    ReadTreeRootAttributes(kelvor::platform::indexFile(), &home, &index, &about);
    if (index.empty())
        index = kelvor::platform::programFolder() + "/fav/hot.xml";
    if (auto* frame = kelvor::app::mainFrame())
        frame->NavigateTo(index);
    if (first)
        first->setExpanded(true);
}

// ---- loading ------------------------------------------------------------------

bool CLeftView::LoadTreeFile(const std::string& path, QTreeWidgetItem* parent, LoadMode mode) {
    bool cache = tree::isCachePath(path, kelvor::platform::programFolder());
    Document doc = Document::create();
    if (!(cache ? tree::loadLeavingDescriptionsOnDisk(doc, path) : doc.load(path))) {
        kelvor::app::messageBox(kelvor::xml::formatParseError(doc.parseError()),
                                std::string(kelvor::str::kLoadFileCaption) + path);
        return false;
    }
    Node root = doc.documentElement();
    if (!root) {
        kelvor::app::messageBox(kelvor::str::kEmptyDocument, kelvor::str::kEmptyDocumentCaption);
        return false;
    }
    if (!root.nameIs("Tree") || !root.hasChildNodes())
        return true;
    std::string type = GetNodeAttribute(root, "Type");
    if (tree::isCategoryType(type)) {
        bool known =
            std::any_of(categories.begin(), categories.end(),
                        [&path](const CategoryEntry& entry) { return entry.path == path; });
        if (!known)
            categories.push_back(
                {parent, path, parent ? parent->text(0).toStdString() : std::string()});
    }
    hotUpdateMode = mode == LoadMode::kAllHeadlines ? HeadlineUpdates::kAll
                    : type == "hot"                 ? HeadlineUpdates::kExpired
                                                    : HeadlineUpdates::kNone;
    QTreeWidgetItem* into = parent ? parent : invisibleRootItem();
    int firstNew = into->childCount();
    if (Node first = root.firstChild())
        PopulateItems(first, parent);
    if (cache) {
        TrackEntries(into, path, firstNew);
        tree::leaveDatesOnDisk(doc);
        // Last, as what came before reads and drops attributes: a thousand
        // channels open hold 200,000 entries, each with a title and a link.
        doc.packAttributes();
    }
    return true;
}

void CLeftView::ShowStatus(const std::string& text) {
    if (auto* frame = kelvor::app::mainFrame())
        frame->SetStatusText(text);
}

QList<QTreeWidgetItem*> CLeftView::NodeChildren(QTreeWidgetItem* parent) {
    QList<QTreeWidgetItem*> children;
    for (int i = 0; i < parent->childCount(); ++i)
        if (!nodeOf(parent->child(i)).isNull())
            children.append(parent->child(i));
    return children;
}

bool CLeftView::IsWithin(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* item) {
    for (; item; item = item->parent())
        if (item == ancestor)
            return true;
    return false;
}

QTreeWidgetItem* CLeftView::addPlaceholder(QTreeWidgetItem* parent, int selectedIcon) {
    auto* placeholder = makePlaceholder(selectedIcon);
    parent->addChild(placeholder);
    return placeholder;
}

QTreeWidgetItem* CLeftView::makePlaceholder(int selectedIcon) {
    static const QString loading = QString::fromUtf8(kelvor::str::kLoading);
    auto* placeholder = new CTreeItem(this);
    placeholder->setFirstLook(loading, tree::kIconUpdate, selectedIcon);
    return placeholder;
}

void CLeftView::PopulateItems(const Node& first, QTreeWidgetItem* parent) {
    if (!parent)
        parent = invisibleRootItem();
    // Items are built first and added in one go: far cheaper for the view
    // than one insertion per item.
    QList<QTreeWidgetItem*> batch, hotChannels;
    for (Node node = first; node; node = node.nextSibling()) {
        if (!node.nameIs("TreeNode"))
            continue;
        tree::ItemAppearance look =
            tree::appearanceOf(node, hotUpdateMode != HeadlineUpdates::kNone);
        auto* item = new CTreeItem(this);
        item->node = node; // first: a label that is the node's title is not kept twice
        item->setFirstLook(QString::fromStdString(look.label), look.icon, look.selectedIcon);
        if (look.expandable)
            item->addChild(makePlaceholder(look.selectedIcon));
        if (look.channel)
            TrackChannel(item);
        batch.append(item);
        if (hotUpdateMode != HeadlineUpdates::kNone && look.channel)
            hotChannels.append(item);
    }
    parent->addChildren(batch);
    // A headline download names its item: the items are in the tree first.
    if (!hotChannels.isEmpty())
        UpdateHeadlines(hotChannels);
}

bool CLeftView::ReadTreeRootAttributes(const std::string& path, std::string* home,
                                       std::string* index, std::string* about) {
    Document doc = Document::create();
    doc.load(path);
    Node root = doc.documentElement();
    if (!root)
        return false;
    if (auto value = root.attribute("Home"); value && home)
        *home = *value;
    if (auto value = root.attribute("Index"); value && index)
        *index = *value;
    if (auto value = root.attribute("About"); value && about)
        *about = *value;
    return true;
}

// ---- expansion ----------------------------------------------------------------

void CLeftView::onExpanded(QTreeWidgetItem* item) {
    if (isHistoryLine(item)) {
        expandHistoryLine(item);
        return;
    }
    tree::runGuarded([&] { OnItemExpanding(item); });
}

void CLeftView::OnItemExpanding(QTreeWidgetItem* item) {
    auto* treeItem = dynamic_cast<CTreeItem*>(item);
    if (!treeItem || !treeItem->node || treeItem->expandedOnce)
        return;
    treeItem->expandedOnce = true;
    Node node = treeItem->node;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    setUpdatesEnabled(false);
    try {
        if (GetNodeAttribute(node, "NodeSrc").empty() && GetNodeAttribute(node, "Rss").empty()) {
            if (Node first = node.firstChild()) {
                DeleteFirstChild(item);
                PopulateItems(first, item);
            }
        } else {
            ExpandChannel(item, node);
        }
    } catch (...) {
        setUpdatesEnabled(true);
        QApplication::restoreOverrideCursor();
        throw;
    }
    setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
}

void CLeftView::DeleteFirstChild(QTreeWidgetItem* item) {
    if (item && item->childCount() > 0)
        delete item->child(0);
}

void CLeftView::DeleteChildItems(QTreeWidgetItem* item) {
    if (!item)
        return;
    const QList<QTreeWidgetItem*> children = item->takeChildren();
    qDeleteAll(children);
}

void CLeftView::DestroyWindow() {
    QTreeWidgetItem* first = topLevelItem(0);
    if (!first || first->childCount() == 0)
        return;
    Node node = nodeOf(first->child(0));
    if (!node)
        return;
    Document doc = node.ownerDocument();
    std::string url = doc.url();
    if (url.empty())
        return;
    try {
        doc.save(url);
    } catch (const kelvor::xml::DomError&) {
        // Closing must not be held up by a folder that became read-only; the
        // edits were saved when they were made.
    }
}
