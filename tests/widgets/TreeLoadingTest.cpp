#include "platform/HomeFolder.h"
#include "support/Offline.h"
#include "support/HomeGuard.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "navtree/CLeftView.h"
#include "tree/TreeFormat.h"

#include <gtest/gtest.h>

#include <filesystem>

using kelvor::test::RecordingFrame;
using kelvor::test::RecordingMessageBoxes;
using kelvor::test::TempDir;
namespace tree = kelvor::tree;

namespace {

struct Shown {
    std::string label;
    int icon;
    int selectedIcon;
    bool placeholder;
};

Shown shown(QTreeWidgetItem* item) {
    bool placeholder = item->childCount() == 1 && !CLeftView::nodeOf(item->child(0)) &&
                       item->child(0)->text(0) == QStringLiteral("正在加载中...");
    return {item->text(0).toStdString(), CLeftView::iconOf(item), CLeftView::selectedIconOf(item), placeholder};
}

class TreeLoading : public ::testing::Test {
protected:
    std::string file(const std::string& name, const std::string& body) { return dir.write(name, body); }

    TempDir dir;
    RecordingMessageBoxes boxes;
    RecordingFrame frame;
    CLeftView view;
};

} // namespace

TEST_F(TreeLoading, EachKindGetsItsIconLabelAndPlaceholder) {
    std::string path = file("kinds.xml", R"(<Tree>
      <TreeNode Title="channel" Rss="http://x/feed" NodeSrc="/fav/a.xml"/>
      <TreeNode Title="subtree" NodeSrc=""/>
      <TreeNode Title="folder" Href="http://folder"><TreeNode Title="inner"/></TreeNode>
      <TreeNode Title="link" Href=""/>
      <TreeNode Title="text"><Desc>about</Desc></TreeNode>
      <TreeNode/>
    </Tree>)");
    ASSERT_TRUE(view.LoadTreeFile(path, view.rootItem()));
    ASSERT_EQ(view.topLevelItemCount(), 6);
    auto expect = [&](int i, const char* label, int icon, int selected, bool placeholder) {
        Shown s = shown(view.topLevelItem(i));
        EXPECT_EQ(s.label, label) << i;
        EXPECT_EQ(s.icon, icon) << label;
        EXPECT_EQ(s.selectedIcon, selected) << label;
        EXPECT_EQ(s.placeholder, placeholder) << label;
    };
    expect(0, "channel", tree::kIconChannel, tree::kIconFolderOpen, true);
    expect(1, "subtree", tree::kIconFolder, tree::kIconFolderOpen, true);
    expect(2, "folder", tree::kIconFolder, tree::kIconFolderOpen, true);
    expect(3, "link", tree::kIconLink, tree::kIconFolderOpen, false);
    expect(4, "text", tree::kIconText, tree::kIconFolderOpen, false);
    expect(5, "", tree::kIconText, tree::kIconFolderOpen, false);
    // The placeholder shows the download globe and the parent's selected icon.
    QTreeWidgetItem* placeholder = view.topLevelItem(0)->child(0);
    EXPECT_EQ(CLeftView::iconOf(placeholder), tree::kIconUpdate);
    EXPECT_EQ(CLeftView::selectedIconOf(placeholder), tree::kIconFolderOpen);
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(TreeLoading, ImgKeywordsReplaceBothIconsExactCaseOnly) {
    std::string path = file("img.xml", R"(<Tree>
      <TreeNode Title="a" Img="hot"/><TreeNode Title="b" Img="rss"/><TreeNode Title="c" Img="url"/>
      <TreeNode Title="d" Img="fav"><TreeNode Title="x"/></TreeNode><TreeNode Title="e" Img="upd"/>
      <TreeNode Title="f" Img="txt" Rss="http://feed"/><TreeNode Title="g" Img="HOT" Href="h"/>
      <TreeNode Title="h" Img="star"/>
    </Tree>)");
    ASSERT_TRUE(view.LoadTreeFile(path, view.rootItem()));
    const int want[][2] = {{4, 4}, {6, 6}, {7, 7}, {5, 5}, {8, 8}, {9, 9}, {2, 1}, {9, 1}};
    for (int i = 0; i < 8; ++i) {
        Shown s = shown(view.topLevelItem(i));
        EXPECT_EQ(s.icon, want[i][0]) << s.label;
        EXPECT_EQ(s.selectedIcon, want[i][1]) << s.label;
    }
    EXPECT_TRUE(shown(view.topLevelItem(3)).placeholder) << "Img does not change expandability";
    EXPECT_TRUE(shown(view.topLevelItem(5)).placeholder) << "Img txt keeps the item a channel";
}

TEST_F(TreeLoading, HotFileShowsHeadlinesFavFileShowsTitles) {
    // A hot file starts a headline download per channel without a fresh
    // copy; these fail at once, on this machine.
    auto body = [](const std::string& type) {
        return "<Tree Type=\"" + type + "\"><TreeNode Title=\"Own title\" Rss=\"" +
               kelvor::test::unreachableUrl("/feed") +
               "\"><Desc Title=\"Latest headline\">d</Desc></TreeNode>"
               "<TreeNode Title=\"No headline\" Rss=\"" +
               kelvor::test::unreachableUrl("/feed2") +
               "\"><Desc Title=\"\">d</Desc></TreeNode></Tree>";
    };
    QTreeWidgetItem hotParent, favParent;
    view.addTopLevelItem(&hotParent);
    view.addTopLevelItem(&favParent);
    ASSERT_TRUE(view.LoadTreeFile(file("hot.xml", body("hot")), &hotParent));
    EXPECT_NE(view.hotUpdateMode, CLeftView::HeadlineUpdates::kAll);
    ASSERT_TRUE(view.LoadTreeFile(file("fav.xml", body("fav")), &favParent));
    EXPECT_EQ(view.hotUpdateMode, CLeftView::HeadlineUpdates::kNone);
    EXPECT_EQ(hotParent.child(0)->text(0).toStdString(), "Latest headline");
    EXPECT_EQ(hotParent.child(1)->text(0).toStdString(), "No headline");
    EXPECT_EQ(favParent.child(0)->text(0).toStdString(), "Own title");
    view.takeTopLevelItem(1);
    view.takeTopLevelItem(0);
}

TEST_F(TreeLoading, CategoriesListEachLoadedCategoryFileOnce) {
    std::string fav = file("fav/fav.xml", R"(<Tree Type="fav"><TreeNode Title="x"/></Tree>)");
    std::string hot = file("fav/hot.xml", R"(<Tree Type="hot"><TreeNode Title="y"/></Tree>)");
    std::string empty = file("fav/empty.xml", R"(<Tree Type="fav"/>)");
    std::string plain = file("plain.xml", R"(<Tree Type="rss"><TreeNode Title="z"/></Tree>)");
    auto* a = new CTreeItem(&view);
    auto* b = new CTreeItem(&view);
    a->setText(0, QStringLiteral("我的收藏"));
    b->setText(0, QStringLiteral("热点关注"));
    view.addTopLevelItem(a);
    view.addTopLevelItem(b);
    EXPECT_TRUE(view.LoadTreeFile(fav, a));
    EXPECT_TRUE(view.LoadTreeFile(fav, b)); // same file again: still one entry
    EXPECT_TRUE(view.LoadTreeFile(hot, b));
    EXPECT_TRUE(view.LoadTreeFile(empty, a)); // no children: not listed
    EXPECT_TRUE(view.LoadTreeFile(plain, a));
    ASSERT_EQ(view.categories.size(), 2u);
    EXPECT_EQ(view.categories[0].path, fav);
    EXPECT_EQ(view.categories[0].item, a);
    EXPECT_EQ(view.categories[0].title, "我的收藏");
    EXPECT_EQ(view.categories[1].path, hot);
    EXPECT_EQ(view.categories[1].title, "热点关注");
    // An entry never outlives its item.
    delete a;
    ASSERT_EQ(view.categories.size(), 1u);
    EXPECT_EQ(view.categories[0].path, hot);
}

TEST_F(TreeLoading, TreeWithoutChildrenOrOtherRootAddsNothing) {
    EXPECT_TRUE(view.LoadTreeFile(file("a.xml", "<Tree Type=\"fav\"/>"), view.rootItem()));
    EXPECT_TRUE(view.LoadTreeFile(file("b.xml", "<rss><TreeNode Title=\"x\"/></rss>"), view.rootItem()));
    EXPECT_EQ(view.topLevelItemCount(), 0);
    EXPECT_TRUE(view.categories.empty());
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(TreeLoading, CommentsAndOtherNodesBetweenItemsAreSkipped) {
    std::string path = file("c.xml", "<Tree><!-- a --><TreeNode Title=\"1\"/><?pi x?>text<Other Title=\"no\"/>"
                                     "<TreeNode Title=\"2\"/><!-- b --></Tree>");
    ASSERT_TRUE(view.LoadTreeFile(path, view.rootItem()));
    ASSERT_EQ(view.topLevelItemCount(), 2);
    EXPECT_EQ(view.topLevelItem(0)->text(0), QStringLiteral("1"));
    EXPECT_EQ(view.topLevelItem(1)->text(0), QStringLiteral("2"));
}

TEST_F(TreeLoading, BrokenFileShowsParseErrorWithCaption) {
    std::string path = file("broken.xml", "<Tree>\n<TreeNode>\n</Tree>");
    EXPECT_FALSE(view.LoadTreeFile(path, view.rootItem()));
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].caption, "加载文件:" + path);
    EXPECT_EQ(boxes.messages[0].text.rfind("错误代码 0xC00C", 0), 0u) << boxes.messages[0].text;
    EXPECT_NE(boxes.messages[0].text.find(" 行:3,列:"), std::string::npos) << boxes.messages[0].text;
    EXPECT_NE(boxes.messages[0].text.find(",原因:"), std::string::npos);
    EXPECT_EQ(boxes.messages[0].icon, kelvor::app::MessageIcon::Warning);
    EXPECT_EQ(view.topLevelItemCount(), 0);
}

TEST_F(TreeLoading, InlineChildrenLoadOnFirstExpansionOnly) {
    std::string path = file("inline.xml", R"(<Tree>
      <TreeNode Title="folder"><TreeNode Title="a"><TreeNode Title="deep"/></TreeNode><TreeNode Title="b" Href="x"/></TreeNode>
      <TreeNode Title="empty src" NodeSrc=""><Desc>only a description</Desc></TreeNode>
      <TreeNode Title="bare src" NodeSrc=""/>
    </Tree>)");
    ASSERT_TRUE(view.LoadTreeFile(path, view.rootItem()));
    QTreeWidgetItem* folder = view.topLevelItem(0);
    folder->setExpanded(true);
    ASSERT_EQ(folder->childCount(), 2);
    EXPECT_EQ(folder->child(0)->text(0), QStringLiteral("a"));
    EXPECT_TRUE(shown(folder->child(0)).placeholder) << "only one level is inserted";
    EXPECT_EQ(folder->child(1)->text(0), QStringLiteral("b"));
    folder->setExpanded(false);
    folder->setExpanded(true);
    EXPECT_EQ(folder->childCount(), 2) << "a second expansion loads nothing again";

    QTreeWidgetItem* described = view.topLevelItem(1);
    described->setExpanded(true);
    EXPECT_EQ(described->childCount(), 0) << "placeholder removed, the Desc is no item";
    QTreeWidgetItem* bare = view.topLevelItem(2);
    bare->setExpanded(true);
    EXPECT_TRUE(shown(bare).placeholder) << "no child nodes: the placeholder stays";
}

TEST_F(TreeLoading, DeletingItemsReleasesTheirDocument) {
    std::string path = file("doc.xml", "<Tree><TreeNode Title=\"a\"/></Tree>");
    ASSERT_TRUE(view.LoadTreeFile(path, view.rootItem()));
    kelvor::xml::Node node = CLeftView::nodeOf(view.topLevelItem(0));
    ASSERT_TRUE(node);
    EXPECT_EQ(node.ownerDocument().url(), "file://" + path);
    view.clear();
    EXPECT_EQ(node.attributeOr("Title"), "a") << "a held node survives its item";
}

TEST_F(TreeLoading, CloseSavesTheFirstSubTreeFile) {
    std::string first = file("fav/fav.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Tree Type=\"fav\">"
                                            "<TreeNode Title=\"keep\"/></Tree>");
    std::string index = file("index.xml", "<Tree><TreeNode Title=\"我的收藏\" NodeSrc=\"" + first +
                                              "\"/><TreeNode Title=\"other\"/></Tree>");
    ASSERT_TRUE(view.LoadTreeFile(index, view.rootItem()));
    QTreeWidgetItem* top = view.topLevelItem(0);
    qDeleteAll(top->takeChildren());
    ASSERT_TRUE(view.LoadTreeFile(first, top));
    // An edit made in memory reaches the disk with the save at close.
    CLeftView::nodeOf(top->child(0)).setAttribute("Title", "changed");
    view.DestroyWindow();
    EXPECT_NE(dir.read("fav/fav.xml").find("Title=\"changed\""), std::string::npos) << dir.read("fav/fav.xml");
}

TEST_F(TreeLoading, InitialUpdateOpensStartPageAndExpandsFirstItem) {
    file("index.xml", R"(<Tree Index="start.html"><TreeNode Title="first"><TreeNode Title="child"/></TreeNode>
                         <TreeNode Title="second"><TreeNode Title="c2"/></TreeNode></Tree>)");
    {
        kelvor::test::HomeGuard here(dir.path());
        view.OnInitialUpdate();
    }
    ASSERT_EQ(frame.calls.size(), 1u);
    EXPECT_EQ(frame.calls[0], "NavigateTo(start.html)");
    EXPECT_TRUE(view.topLevelItem(0)->isExpanded());
    EXPECT_EQ(view.topLevelItem(0)->child(0)->text(0), QStringLiteral("child"));
    EXPECT_FALSE(view.topLevelItem(1)->isExpanded());
}

TEST_F(TreeLoading, MissingIndexFallsBackToHotPageInHomeFolder) {
    kelvor::test::HomeGuard home(dir.path());
    file("index.xml", "<Tree><TreeNode Title=\"a\"/></Tree>");
    {
        kelvor::test::HomeGuard here(dir.path());
        view.OnInitialUpdate();
    }
    ASSERT_EQ(frame.calls.size(), 1u);
    EXPECT_EQ(frame.calls[0], "NavigateTo(" + dir.path() + "/fav/hot.xml)");
}

TEST_F(TreeLoading, RootAttributesAreAssignedOnlyWhenPresent) {
    std::string path = file("r.xml", "<Tree About=\"关于\" Home=\"\"/>");
    std::string home = "keep", index = "keep", about = "keep";
    EXPECT_TRUE(view.ReadTreeRootAttributes(path, &home, &index, &about));
    EXPECT_EQ(home, "");
    EXPECT_EQ(index, "keep");
    EXPECT_EQ(about, "关于");
    EXPECT_FALSE(view.ReadTreeRootAttributes(dir.file("missing.xml"), &home, &index, &about));
    EXPECT_TRUE(boxes.messages.empty());
}
