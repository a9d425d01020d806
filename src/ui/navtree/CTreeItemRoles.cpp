// The roles a CTreeItem keeps itself. QTreeWidgetItem keeps each role of a
// column as a variant in a list grown one role at a time, and the label in a
// list of its own: with the entry's key, its copy, icons, font and read
// state that came to over 400 bytes an entry, for 200,000 entries.
#include "navtree/CLeftView.h"

#include "tree/DescriptionsOnDisk.h"

#include <QFont>

namespace {

// Each entry's font is the default one made bold or not (setUnreadLook):
// the two are kept once, where each entry would hold a copy of its own.
const QFont& sharedFont(bool bold) {
    static const QFont fonts[2] = {[] {
                                       QFont f;
                                       f.setBold(false);
                                       return f;
                                   }(),
                                   [] {
                                       QFont f;
                                       f.setBold(true);
                                       return f;
                                   }()};
    return fonts[bold];
}

// -1 for a font that is not one of the shared ones.
signed char sharedFontIndex(const QVariant& value) {
    if (value.typeId() != QMetaType::QFont)
        return -1;
    QFont font = value.value<QFont>();
    return font == sharedFont(font.bold()) ? font.bold() : -1;
}

bool isString(const QVariant& value) {
    return value.typeId() == QMetaType::QString;
}

bool fitsIconIndex(int index) {
    return index > -128 && index < 128;
}

bool fitsIconIndex(const QVariant& value) {
    return value.typeId() == QMetaType::Int && fitsIconIndex(value.toInt());
}

} // namespace

// Only the items of a channel copy read their label and key from the node:
// its document is never edited (nor saved), where an edit of the user's
// own file changes a title that the label keeps until shown again.
bool CTreeItem::nodeIsFixed() const {
    return node && kelvor::tree::descriptionsOnDisk(node.ownerDocument());
}

CTreeItem::OwnStrings& CTreeItem::own() {
    if (!own_)
        own_ = std::make_unique<OwnStrings>();
    return *own_;
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
            return textKept_ == Kept::kByNode ? nodeAttribute("Title") : own_->text;
        break;
    case Qt::DecorationRole:
        if (hasIcon_)
            return icon_;
        break;
    case Qt::FontRole:
        if (font_ >= 0)
            return sharedFont(font_ == 1);
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
            return keyKept_ == Kept::kByNode ? nodeAttribute("Href") : own_->entryKey;
        break;
    case CLeftView::kEntryUnreadRole:
        if (unread_ >= 0)
            return unread_ == 1;
        break;
    }
    *found = false;
    return {};
}

// For an item keeping no label of its own yet: keep clears it first, and a
// new item has none.
void CTreeItem::keepText(const QString& label) {
    bool byNode = !label.isEmpty() && nodeIsFixed() && label == nodeAttribute("Title");
    textKept_ = byNode ? Kept::kByNode : Kept::kInMember;
    if (textKept_ == Kept::kInMember)
        own().text = label;
}

void CTreeItem::setFirstLook(const QString& label, int icon, int selectedIcon) {
    bool small = fitsIconIndex(icon) && fitsIconIndex(selectedIcon);
    if (!small || textKept_ != Kept::kNo || hasIcon_) {
        setText(0, label);
        return CLeftView::setItemIcons(this, icon, selectedIcon);
    }
    keepText(label);
    icon_ = CLeftView::itemIcon(icon, selectedIcon);
    hasIcon_ = true;
    iconIndex_ = static_cast<signed char>(icon);
    selectedIconIndex_ = static_cast<signed char>(selectedIcon);
    emitDataChanged();
}

bool CTreeItem::keep(int role, const QVariant& value) {
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        if (own_)
            own_->text.clear();
        textKept_ = Kept::kNo;
        if (!isString(value))
            return false;
        keepText(value.toString());
        return true;
    }
    case Qt::DecorationRole:
        icon_ = QIcon();
        hasIcon_ = value.typeId() == QMetaType::QIcon;
        if (hasIcon_)
            icon_ = value.value<QIcon>();
        return hasIcon_;
    case Qt::FontRole:
        font_ = sharedFontIndex(value);
        return font_ >= 0;
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
        if (own_)
            own_->entryKey.clear();
        keyKept_ = Kept::kNo;
        if (!isString(value))
            return false;
        // The key of an entry with a link is the link (store::entryKeyOf).
        QString key = value.toString();
        bool byNode = !key.isEmpty() && nodeIsFixed() && key == nodeAttribute("Href");
        keyKept_ = byNode ? Kept::kByNode : Kept::kInMember;
        if (keyKept_ == Kept::kInMember)
            own().entryKey = key;
        return true;
    }
    case CLeftView::kEntryUnreadRole:
        unread_ = value.typeId() == QMetaType::Bool ? value.toBool() : -1;
        return unread_ >= 0;
    }
    return false;
}
