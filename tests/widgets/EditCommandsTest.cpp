// Creation from the clipboard, set-from-clipboard, delete and save failures.
// Every change is checked in the tree and in the file reloaded from disk.
#include "app/CommandIds.h"
#include "tree/Strings.h"
#include "tree/TreeFormat.h"
#include "widgets/TreeEditFixture.h"

#include <filesystem>

namespace cmd = kelvor::cmd;
namespace str = kelvor::str;
namespace tree = kelvor::tree;
using Titles = std::vector<std::string>;

namespace {
class EditCommands : public kelvor::test::TreeEditFixture {};
} // namespace

TEST_F(EditCommands, NewItemsLandBeforeTheSelectedItemInTreeAndFileAlike) {
    select("丁三");
    setClipboard("http://new.example/");
    view.handleCommand(cmd::kNewLinkItem);
    EXPECT_EQ(labels(item("目录丁")), (Titles{"丁一", "丁二", "新建链接", "丁三"}));
    EXPECT_EQ(titlesOnDisk(catPath, "目录丁"), (Titles{"丁一", "丁二", "新建链接", "丁三"}));
    EXPECT_EQ(nodeOnDisk(catPath, "新建链接").attributeOr("Href"), "http://new.example/");
    EXPECT_EQ(CLeftView::iconOf(item("新建链接")), tree::kIconLink);

    // Before the first item of a category: it becomes the category's first.
    select("链接甲");
    view.handleCommand(cmd::kNewChannelItem);
    EXPECT_EQ(labels(item("我的收藏")).front(), "新建频道");
    EXPECT_EQ(titlesOnDisk(catPath).front(), "新建频道");
    EXPECT_EQ(nodeOnDisk(catPath, "新建频道").attributeOr("Rss"), "http://new.example/");
    QTreeWidgetItem* channel = item("新建频道");
    EXPECT_EQ(CLeftView::iconOf(channel), tree::kIconChannel);
    ASSERT_EQ(channel->childCount(), 1); // the loading placeholder
    EXPECT_FALSE(CLeftView::nodeOf(channel->child(0)));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(EditCommands, TextChildOfAnUnloadedItemGoesAfterItsPlaceholderAndIntoItsNode) {
    select("子树丙");
    setClipboard("子项的正文");
    view.handleCommand(cmd::kNewTextChild);
    QTreeWidgetItem* parent = item("子树丙");
    ASSERT_EQ(parent->childCount(), 2);
    EXPECT_FALSE(CLeftView::nodeOf(parent->child(0)));
    EXPECT_EQ(parent->child(1)->text(0).toStdString(), "子项的正文");
    EXPECT_EQ(CLeftView::iconOf(parent->child(1)), tree::kIconText);
    EXPECT_EQ(titlesOnDisk(catPath, "子树丙"), (Titles{"子项的正文"}));
}

TEST_F(EditCommands, TextItemTitleIsCutAtFiftyCodePageBytesOnAWholeCharacter) {
    std::string ascii(60, 'x');
    setClipboard(ascii);
    select("文本乙");
    view.handleCommand(cmd::kNewTextItem);
    kelvor::xml::Node created = nodeOnDisk(catPath, std::string(50, 'x'));
    ASSERT_TRUE(created);
    EXPECT_EQ(tree::GetNodeDescription(created), ascii);

    // "a" + 30 Chinese characters: 61 bytes in the code page; 24 characters
    // fit after the "a" (49 bytes), a 25th would need 51.
    std::string chinese;
    for (int i = 0; i < 30; ++i)
        chinese += "汉";
    setClipboard("a" + chinese);
    view.handleCommand(cmd::kNewTextItem);
    std::string expected = "a" + chinese.substr(0, 24 * 3);
    EXPECT_TRUE(nodeOnDisk(catPath, expected)) << "title cut wrongly";
}

TEST_F(EditCommands, WithoutClipboardTextTheDefaultTextIsUsed) {
    select("文本乙");
    view.handleCommand(cmd::kNewTextItem);
    kelvor::xml::Node created = nodeOnDisk(catPath, "新建项目");
    ASSERT_TRUE(created);
    EXPECT_EQ(tree::GetNodeDescription(created), "新建项目");
    view.handleCommand(cmd::kSetLinkFromClipboard); // on 文本乙, still selected
    EXPECT_EQ(nodeOnDisk(catPath, "文本乙").attributeOr("Href"), "新建项目");
}

TEST_F(EditCommands, StarRemovesLinksButIsStoredAsDescription) {
    select("链接甲");
    setClipboard("*");
    view.handleCommand(cmd::kSetLinkFromClipboard);
    view.handleCommand(cmd::kSetDescFromClipboard);
    kelvor::xml::Node a = nodeOnDisk(catPath, "链接甲");
    EXPECT_FALSE(a.hasAttribute("Href"));
    EXPECT_EQ(tree::GetNodeDescription(a), "*");

    // The fields rule itself: "*" removes NodeSrc and Rss too, empty values
    // leave everything, a "*" title is a title.
    kelvor::xml::Node node = CLeftView::nodeOf(item("子树丙"));
    view.ApplyItemFields(node, "*", "", "*", "*", "");
    kelvor::xml::Node c = nodeOnDisk(catPath, "*");
    ASSERT_TRUE(c);
    EXPECT_FALSE(c.hasAttribute("NodeSrc"));
    EXPECT_EQ(item("子树丙")->text(0).toStdString(), "子树丙"); // labels are not touched

    // A description on an item whose first child is an item changes nothing.
    select("目录丁");
    setClipboard("不会写入");
    view.handleCommand(cmd::kSetDescFromClipboard);
    EXPECT_EQ(tree::GetNodeDescription(nodeOnDisk(catPath, "目录丁")), "");
    EXPECT_EQ(titlesOnDisk(catPath, "目录丁").size(), 3u);
}

TEST_F(EditCommands, CreationIsRefusedOutsideCategoriesButSettingIsNot) {
    std::string before = kelvor::test::readFile(mainPath);
    select("公共链接");
    for (int id : {cmd::kNewTextItem, cmd::kNewLinkItem, cmd::kNewChannelItem, cmd::kNewTextChild})
        view.handleCommand(id);
    ASSERT_EQ(boxes.messages.size(), 4u);
    EXPECT_EQ(boxes.messages[0].text, str::kNotEditable);
    EXPECT_EQ(labels(item("公共")), (Titles{"公共链接"}));
    EXPECT_EQ(kelvor::test::readFile(mainPath), before);

    // The placeholder has no node: refused as well.
    view.setCurrentItem(item("子树丙")->child(0));
    view.handleCommand(cmd::kNewTextItem);
    EXPECT_EQ(boxes.messages.size(), 5u);

    select("公共链接");
    setClipboard("http://changed/");
    view.handleCommand(cmd::kSetLinkFromClipboard);
    EXPECT_EQ(nodeOnDisk(mainPath, "公共链接").attributeOr("Href"), "http://changed/");
}

TEST_F(EditCommands, DeleteRemovesBelowTheFirstLevelOnly) {
    select("丁二");
    view.handleCommand(cmd::kDeleteItem);
    EXPECT_EQ(labels(item("目录丁")), (Titles{"丁一", "丁三"}));
    EXPECT_EQ(titlesOnDisk(catPath, "目录丁"), (Titles{"丁一", "丁三"}));

    // A second-level item of a file without a Type goes too.
    select("公共链接");
    view.handleCommand(cmd::kDeleteItem);
    EXPECT_TRUE(titlesOnDisk(mainPath, "公共").empty());

    // First-level items stay, but a copy of one is forgotten.
    std::string before = kelvor::test::readFile(mainPath);
    select("公共");
    view.OnCopyItem();
    view.handleCommand(cmd::kDeleteItem);
    EXPECT_EQ(view.topLevelItemCount(), 2);
    EXPECT_EQ(kelvor::test::readFile(mainPath), before);
    EXPECT_EQ(view.copiedItem, nullptr);
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(EditCommands, FailedSaveKeepsTheChangeNamesTheFileAndALaterSaveWritesIt) {
    std::string original = kelvor::test::readFile(catPath);
    std::filesystem::rename(dir.file("fav"), dir.file("fav-away"));
    select("文本乙");
    setClipboard("http://one/");
    view.handleCommand(cmd::kNewLinkItem);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, std::string(str::kSaveFailed) + "file://" + catPath);
    EXPECT_EQ(labels(item("我的收藏"))[1], "新建链接");

    std::filesystem::rename(dir.file("fav-away"), dir.file("fav"));
    EXPECT_EQ(kelvor::test::readFile(catPath), original);
    select("链接甲");
    view.handleCommand(cmd::kDeleteItem);
    EXPECT_EQ(titlesOnDisk(catPath), (Titles{"新建链接", "文本乙", "子树丙", "目录丁"}));
    EXPECT_EQ(boxes.messages.size(), 1u);
}
