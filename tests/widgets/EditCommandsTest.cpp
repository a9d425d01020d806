// Creation from the clipboard, set-from-clipboard, delete and save failures,
// each checked in the tree and in the file reloaded from disk.
#include "frame/CommandIds.h"
#include "tree/Strings.h"
#include "tree/TreeFormat.h"
#include "widgets/TreeEditFixture.h"

#include <filesystem>

namespace cmd = kelvor::cmd;
namespace str = kelvor::str;
namespace tree = kelvor::tree;
using kelvor::test::Titles;

namespace {
class EditCommands : public kelvor::test::TreeEditFixture {};
} // namespace

TEST_F(EditCommands, NewItemsLandWhereTheirElementsLand) {
    select("丁三");
    setClipboard("http://new.example/");
    view.handleCommand(cmd::kNewLinkItem);
    EXPECT_EQ(labels(item("目录丁")), (Titles{"丁一", "丁二", "新建链接", "丁三"}));
    EXPECT_EQ(titlesOnDisk(catPath, "目录丁"), labels(item("目录丁")));
    EXPECT_EQ(nodeOnDisk(catPath, "新建链接").attributeOr("Href"), "http://new.example/");

    select("链接甲"); // before a first item: the new first item
    view.handleCommand(cmd::kNewChannelItem);
    EXPECT_EQ(titlesOnDisk(catPath).front(), "新建频道");
    QTreeWidgetItem* channel = item("我的收藏")->child(0);
    EXPECT_EQ(channel->text(0).toStdString(), "新建频道");
    EXPECT_EQ(CLeftView::iconOf(channel), tree::kIconChannel);
    EXPECT_EQ(channel->childCount(), 1); // its loading placeholder

    // An unloaded item: the child goes after the placeholder and into the node.
    select("子树丙");
    setClipboard(std::string(60, 'x'));
    view.handleCommand(cmd::kNewTextChild);
    EXPECT_EQ(labels(item("子树丙")), (Titles{str::kLoading, std::string(50, 'x')}));
    EXPECT_EQ(tree::GetNodeDescription(nodeOnDisk(catPath, std::string(50, 'x'))), std::string(60, 'x'));

    // No text on the clipboard: the default text, as title and description.
    QGuiApplication::clipboard()->clear();
    select("文本乙");
    view.handleCommand(cmd::kNewTextItem);
    EXPECT_EQ(tree::GetNodeDescription(nodeOnDisk(catPath, "新建项目")), "新建项目");
    EXPECT_EQ(CLeftView::iconOf(item("新建项目")), tree::kIconText);
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(EditCommands, StarRemovesLinksButIsStoredAsText) {
    select("链接甲");
    setClipboard("*");
    view.handleCommand(cmd::kSetLinkFromClipboard);
    view.handleCommand(cmd::kSetDescFromClipboard);
    kelvor::xml::Node a = nodeOnDisk(catPath, "链接甲");
    EXPECT_FALSE(a.hasAttribute("Href"));
    EXPECT_EQ(tree::GetNodeDescription(a), "*");

    view.ApplyItemFields(CLeftView::nodeOf(item("子树丙")), "*", "", "*", "", "");
    EXPECT_FALSE(nodeOnDisk(catPath, "*").hasAttribute("NodeSrc"));
    EXPECT_EQ(item("子树丙")->text(0).toStdString(), "子树丙"); // labels stay

    // A description for an item whose first child is an item changes nothing.
    select("目录丁");
    view.handleCommand(cmd::kSetDescFromClipboard);
    EXPECT_EQ(tree::GetNodeDescription(nodeOnDisk(catPath, "目录丁")), "");
}

TEST_F(EditCommands, CreationIsRefusedOutsideCategoriesButSettingIsNot) {
    std::string before = kelvor::test::readFile(mainPath);
    select("公共链接");
    for (int id : {cmd::kNewTextItem, cmd::kNewLinkItem, cmd::kNewChannelItem, cmd::kNewTextChild})
        view.handleCommand(id);
    view.setCurrentItem(item("子树丙")->child(0)); // a placeholder has no node
    view.handleCommand(cmd::kNewTextItem);
    ASSERT_EQ(boxes.messages.size(), 5u);
    EXPECT_EQ(boxes.messages[0].text, str::kNotEditable);
    EXPECT_EQ(labels(item("公共")), (Titles{"公共链接"}));
    EXPECT_EQ(kelvor::test::readFile(mainPath), before);

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
    select("公共链接"); // whatever file holds it
    view.handleCommand(cmd::kDeleteItem);
    EXPECT_TRUE(titlesOnDisk(mainPath, "公共").empty());

    std::string before = kelvor::test::readFile(mainPath);
    select("公共");
    view.OnCopyItem();
    view.handleCommand(cmd::kDeleteItem);
    EXPECT_EQ(view.topLevelItemCount(), 2);
    EXPECT_EQ(kelvor::test::readFile(mainPath), before);
    EXPECT_EQ(view.copiedItem, nullptr);
}

TEST_F(EditCommands, FailedSaveKeepsTheChangeNamesTheFileAndALaterSaveWritesIt) {
    std::string original = kelvor::test::readFile(catPath);
    std::filesystem::rename(dir.file("fav"), dir.file("away")); // fails even for root
    select("文本乙");
    view.handleCommand(cmd::kNewLinkItem);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, std::string(str::kSaveFailed) + "file://" + catPath);
    EXPECT_EQ(labels(item("我的收藏"))[1], "新建链接");

    std::filesystem::rename(dir.file("away"), dir.file("fav"));
    EXPECT_EQ(kelvor::test::readFile(catPath), original);
    select("链接甲");
    view.handleCommand(cmd::kDeleteItem);
    EXPECT_EQ(titlesOnDisk(catPath), (Titles{"新建链接", "文本乙", "子树丙", "目录丁"}));
}
