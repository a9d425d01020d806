// A tree item keeps its common roles itself, and takes its label and entry
// key from its node when they are the node's: what is read back, and what the
// view is told, must be what QTreeWidgetItem would give.
#include "navtree/CLeftView.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tree/DescriptionsOnDisk.h"

#include <gtest/gtest.h>

using kelvor::xml::Document;

namespace {

class TreeItemRoles : public ::testing::Test {
  protected:
    void SetUp() override {
        // A channel copy, as the tree loads one.
        ASSERT_TRUE(doc.load(dir.write("rss/c.xml", "<Tree><TreeNode Title=\"title\" "
                                                    "Href=\"http://n.test/a\"/></Tree>")));
        kelvor::tree::leaveDescriptionsOnDisk(doc);
        item->node = doc.documentElement().firstChild();
        view.addTopLevelItem(item);
        QObject::connect(&view, &QTreeWidget::itemChanged, [this] { ++changes; });
    }

    kelvor::test::TempDir dir;
    kelvor::test::RecordingMessageBoxes boxes;
    CLeftView view;
    Document doc = Document::create();
    CTreeItem* item = new CTreeItem(&view);
    int changes = 0;
};

} // namespace

TEST_F(TreeItemRoles, LabelsAndKeysReadBackWhetherTheNodeGivesThemOrNot) {
    item->setText(0, QStringLiteral("title"));
    EXPECT_EQ(item->text(0), QStringLiteral("title"));
    EXPECT_EQ(changes, 1);
    item->setText(0, QStringLiteral("title"));
    EXPECT_EQ(changes, 1); // unchanged: the view is not told
    item->setText(0, QStringLiteral("headline"));
    EXPECT_EQ(item->text(0), QStringLiteral("headline"));
    EXPECT_EQ(changes, 2);

    EXPECT_FALSE(item->data(0, CLeftView::kEntryKeyRole).isValid());
    item->setData(0, CLeftView::kEntryKeyRole, QStringLiteral("http://n.test/a"));
    EXPECT_EQ(item->data(0, CLeftView::kEntryKeyRole).toString(), QStringLiteral("http://n.test/a"));
    item->setData(0, CLeftView::kEntryKeyRole, QStringLiteral("title\nMon"));
    EXPECT_EQ(item->data(0, CLeftView::kEntryKeyRole).toString(), QStringLiteral("title\nMon"));
    EXPECT_TRUE(CLeftView::IsEntry(item));

    // A value of another type is kept by QTreeWidgetItem, and a string again by the item.
    item->setData(0, Qt::DisplayRole, 7);
    EXPECT_EQ(item->data(0, Qt::DisplayRole), QVariant(7));
    item->setText(0, QStringLiteral("again"));
    EXPECT_EQ(item->text(0), QStringLiteral("again"));
    item->setText(1, QStringLiteral("second column"));
    EXPECT_EQ(item->text(1), QStringLiteral("second column"));
}

TEST_F(TreeItemRoles, AnItemOfTheUsersOwnFileKeepsItsLabelWhenTheTitleChanges) {
    Document own = Document::create();
    ASSERT_TRUE(own.loadXML("<Tree><TreeNode Title=\"title\" Href=\"http://n.test/a\"/></Tree>"));
    item->node = own.documentElement().firstChild();
    item->setText(0, QStringLiteral("title"));
    item->setData(0, CLeftView::kEntryKeyRole, QStringLiteral("http://n.test/a"));
    item->node.setAttribute("Title", "renamed");
    item->node.setAttribute("Href", "http://n.test/b");
    EXPECT_EQ(item->text(0), QStringLiteral("title")); // until shown again
    EXPECT_EQ(item->data(0, CLeftView::kEntryKeyRole).toString(), QStringLiteral("http://n.test/a"));
}

TEST_F(TreeItemRoles, IconsCopyReadStateAndFontReadBackAndClear) {
    CLeftView::setItemIcons(item, 3, 1);
    EXPECT_EQ(CLeftView::iconOf(item), 3);
    EXPECT_EQ(CLeftView::selectedIconOf(item), 1);
    EXPECT_FALSE(item->icon(0).isNull());
    item->setData(0, CLeftView::kSelectedIconRole, -1);
    EXPECT_EQ(item->data(0, CLeftView::kSelectedIconRole), QVariant(-1));

    item->setData(0, CLeftView::kCacheFileRole, QStringLiteral("/home/rss/c.xml"));
    EXPECT_EQ(item->data(0, CLeftView::kCacheFileRole).toString(), QStringLiteral("/home/rss/c.xml"));
    item->setData(0, CLeftView::kCacheFileRole, QVariant());
    EXPECT_FALSE(item->data(0, CLeftView::kCacheFileRole).isValid());

    EXPECT_FALSE(item->data(0, CLeftView::kEntryUnreadRole).isValid());
    item->setData(0, CLeftView::kEntryUnreadRole, true);
    EXPECT_TRUE(item->data(0, CLeftView::kEntryUnreadRole).toBool());
    item->setData(0, CLeftView::kEntryUnreadRole, false);
    EXPECT_TRUE(item->data(0, CLeftView::kEntryUnreadRole).isValid());
    EXPECT_FALSE(item->data(0, CLeftView::kEntryUnreadRole).toBool());

    int before = changes;
    QFont font = item->font(0);
    font.setBold(true);
    item->setFont(0, font);
    EXPECT_TRUE(item->font(0).bold());
    EXPECT_EQ(changes, before + 1); // the view draws it anew
    font.setItalic(true);
    item->setFont(0, font);
    EXPECT_TRUE(item->font(0).italic());

    item->setToolTip(0, QStringLiteral("tip"));
    EXPECT_EQ(item->toolTip(0), QStringLiteral("tip"));
}
