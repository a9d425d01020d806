// Draws a channel's unread count after its title, and a star before the
// title of a starred entry. Both are only painted: the item's text stays
// the stored Title, which is what gets written back.
#pragma once

#include <QStyledItemDelegate>

class CUnreadDelegate : public QStyledItemDelegate {
  public:
    CUnreadDelegate(int countRole, int starRole, QObject* parent)
        : QStyledItemDelegate(parent), countRole_(countRole), starRole_(starRole) {}

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    int countRole_, starRole_;
};
