// Draws a channel's unread count after its title. The count is only painted:
// the item's text stays the stored Title, which is what gets written back.
#pragma once

#include <QStyledItemDelegate>

class CUnreadDelegate : public QStyledItemDelegate {
  public:
    CUnreadDelegate(int countRole, QObject* parent)
        : QStyledItemDelegate(parent), countRole_(countRole) {}

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    int countRole_;
};
