#include "navtree/CUnreadDelegate.h"

void CUnreadDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(starRole_).toBool())
        option->text = QStringLiteral("★ ") + option->text;
    int count = index.data(countRole_).toInt();
    if (count > 0)
        option->text += QStringLiteral(" (%1)").arg(count);
}
