// The roles a CTreeItem keeps itself. QTreeWidgetItem keeps each role of a
// column as a variant in a list grown one role at a time, and the label in a
// list of its own: with the entry's key, its copy, icons, font and read
// state that came to over 400 bytes an entry, for 200,000 entries.
#include "navtree/CLeftView.h"

#include "tree/DescriptionsOnDisk.h"

namespace {

// Each entry's font is the default one made bold or not (setUnreadLook):
// equal fonts share one, where each would hold a copy of its own.
QFont sharedFont(const QFont& font) {
    static const QFont bold = [] {
        QFont f;
        f.setBold(true);
        return f;
    }();
    static const QFont normal = [] {
        QFont f;
        f.setBold(false);
        return f;
    }();
    if (font == bold)
        return bold;
    if (font == normal)
        return normal;
    return font;
}

bool isString(const QVariant& value) {
    return value.typeId() == QMetaType::QString;
}

bool fitsIconIndex(const QVariant& value) {
    bool isInt = value.typeId() == QMetaType::Int;
    return isInt && value.toInt() > -128 && value.toInt() < 128;
}

} // namespace

// Only the items of a channel copy read their label and key from the node:
// its document is never edited (nor saved), where an edit of the user's
// own file changes a title that the label keeps until shown again.
bool CTreeItem::nodeIsFixed() const {
    return node && kelvor::tree::descriptionsOnDisk(node.ownerDocument());
}

QString CTreeItem::nodeAttribute(const char* name) const {
    if (!node)
        return {};
    auto value = node.attribute(name);
    return value ? QString::fromStdString(*value) : QString();
}

QVariant CTreeItem::data(int column, int role) const {
    if (column == 0) {
        bool found = false;
        QVariant value = kept(role, &found);
        if (found)
            return value;
    }
    return QTreeWidgetItem::data(column, role);
}

void CTreeItem::setData(int column, int role, const QVariant& value) {
    if (column != 0)
        return QTreeWidgetItem::setData(column, role, value);
    bool found = false;
    QVariant old = kept(role, &found);
    if (found && old == value && old.isValid() == value.isValid())
        return;
    if (!keep(role, value))
        return QTreeWidgetItem::setData(column, role, value);
    emitDataChanged();
}

QVariant CTreeItem::kept(int role, bool* found) const {
    *found = true;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (textKept_ != Kept::kNo)
            return textKept_ == Kept::kByNode ? nodeAttribute("Title") : text_;
        break;
    case Qt::DecorationRole:
        if (hasIcon_)
            return icon_;
        break;
    case Qt::FontRole:
        if (hasFont_)
            return font_;
        break;
    case CLeftView::kIconRole:
        if (iconIndex_ != kNoIcon)
            return int(iconIndex_);
        break;
    case CLeftView::kSelectedIconRole:
        if (selectedIconIndex_ != kNoIcon)
            return int(selectedIconIndex_);
        break;
    case CLeftView::kCacheFileRole:
        if (hasCacheFile_)
            return cacheFile_;
        break;
    case CLeftView::kEntryKeyRole:
        if (keyKept_ != Kept::kNo)
            return keyKept_ == Kept::kByNode ? nodeAttribute("Href") : entryKey_;
        break;
    case CLeftView::kEntryUnreadRole:
        if (unread_ >= 0)
            return unread_ == 1;
        break;
    }
    *found = false;
    return {};
}

bool CTreeItem::keep(int role, const QVariant& value) {
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        text_.clear();
        textKept_ = Kept::kNo;
        if (!isString(value))
            return false;
        QString label = value.toString();
        bool byNode = !label.isEmpty() && nodeIsFixed() && label == nodeAttribute("Title");
        textKept_ = byNode ? Kept::kByNode : Kept::kInMember;
        if (textKept_ == Kept::kInMember)
            text_ = label;
        return true;
    }
    case Qt::DecorationRole:
        icon_ = QIcon();
        hasIcon_ = value.typeId() == QMetaType::QIcon;
        if (hasIcon_)
            icon_ = value.value<QIcon>();
        return hasIcon_;
    case Qt::FontRole:
        font_ = QFont();
        hasFont_ = value.typeId() == QMetaType::QFont;
        if (hasFont_)
            font_ = sharedFont(value.value<QFont>());
        return hasFont_;
    case CLeftView::kIconRole:
    case CLeftView::kSelectedIconRole: {
        signed char& index = role == CLeftView::kIconRole ? iconIndex_ : selectedIconIndex_;
        index = fitsIconIndex(value) ? static_cast<signed char>(value.toInt()) : kNoIcon;
        return index != kNoIcon;
    }
    case CLeftView::kCacheFileRole:
        cacheFile_.clear();
        hasCacheFile_ = isString(value);
        if (hasCacheFile_)
            cacheFile_ = value.toString();
        return hasCacheFile_;
    case CLeftView::kEntryKeyRole: {
        entryKey_.clear();
        keyKept_ = Kept::kNo;
        if (!isString(value))
            return false;
        // The key of an entry with a link is the link (store::entryKeyOf).
        QString key = value.toString();
        bool byNode = !key.isEmpty() && nodeIsFixed() && key == nodeAttribute("Href");
        keyKept_ = byNode ? Kept::kByNode : Kept::kInMember;
        if (keyKept_ == Kept::kInMember)
            entryKey_ = key;
        return true;
    }
    case CLeftView::kEntryUnreadRole:
        unread_ = value.typeId() == QMetaType::Bool ? value.toBool() : -1;
        return unread_ >= 0;
    }
    return false;
}
