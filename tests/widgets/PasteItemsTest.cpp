// Copy, paste, paste children and send to: what travels and where it lands,
// in the tree and in the file on disk.
#include "frame/CommandIds.h"
#include "tree/ChannelSource.h"
#include "tree/Strings.h"
#include "tree/TreeFormat.h"
#include "widgets/TreeEditFixture.h"

#include <filesystem>

namespace cmd = kelvor::cmd;
namespace tree = kelvor::tree;
using kelvor::test::Titles;

namespace {
class PasteItems : public kelvor::test::TreeEditFixture {
protected:
    void copyAndPaste(const std::string& from, const std::string& before, int command = cmd::kPasteItem) {
        select(from);
        view.handleCommand(cmd::kCopyItem);
        select(before);
        view.handleCommand(command);
    }
};
} // namespace

TEST_F(PasteItems, FiveFieldsTravelAsTheyAreAtPasteTimeOncePerCopy) {
    loadInto(item("子树丙"), dir.write("fav/rich.xml", R"(<Tree Type="fav">
      <TreeNode Title="源" Href="http://h/" Rss="http://h/rss" Img="hot" Expires="60">
        <Desc Title="头条" Date="today">旧正文</Desc><TreeNode Title="不随之复制"/></TreeNode></Tree>)"));
    select("源");
    view.handleCommand(cmd::kCopyItem);
    setClipboard("新正文"); // changed after the copy: the paste reads it now
    view.handleCommand(cmd::kSetDescFromClipboard);
    select("丁二");
    view.handleCommand(cmd::kPasteItem);
    view.handleCommand(cmd::kPasteItem); // the copy is used up
    EXPECT_EQ(labels(item("目录丁")), (Titles{"丁一", "源", "丁二", "丁三"}));
    EXPECT_EQ(CLeftView::iconOf(item("目录丁")->child(1)), tree::kIconChannel);

    kelvor::xml::Node pasted = nodeOnDisk(catPath, "源");
    EXPECT_EQ(pasted.attributeOr("Href"), "http://h/");
    EXPECT_EQ(pasted.attributeOr("Rss"), "http://h/rss");
    EXPECT_FALSE(pasted.hasAttribute("Img") || pasted.hasAttribute("Expires") || pasted.hasAttribute("NodeSrc"));
    kelvor::xml::Node desc = pasted.firstChild();
    EXPECT_EQ(desc.text(), "新正文");
    EXPECT_FALSE(desc.hasAttribute("Title"));
    EXPECT_FALSE(desc.nextSibling()); // no child items
}

TEST_F(PasteItems, LocalNodeSrcIsStoredRelativeToTheHomeFolderOrAsAFileAddress) {
    kelvor::test::TempDir elsewhere;
    std::string outside = elsewhere.write("other.xml", "<Tree Type=\"fav\"><TreeNode Title=\"外\"/></Tree>");
    loadInto(item("子树丙"), dir.write("fav/forms.xml", "<Tree Type=\"fav\"><TreeNode Title=\"相对\" NodeSrc=\"sub.xml\"/>"
                                                      "<TreeNode Title=\"外部\" NodeSrc=\"file://" + outside + "\"/></Tree>"));
    copyAndPaste("相对", "丁一");
    copyAndPaste("外部", "丁一");
    EXPECT_EQ(nodeOnDisk(catPath, "相对").attributeOr("NodeSrc"), "/fav/sub.xml");
    // A bare "/..." would mean "in the home folder": elsewhere it is a file
    // address, which leads back to the same file.
    EXPECT_EQ(nodeOnDisk(catPath, "外部").attributeOr("NodeSrc"), "file://" + outside);
    std::string source, cache, feed;
    EXPECT_EQ(tree::ResolveChannelSource(CLeftView::nodeOf(item("目录丁")->child(1)), source, cache, feed),
              tree::kLocalFile);
    EXPECT_EQ(source, "file://" + outside);
}

TEST_F(PasteItems, PasteChildrenKeepsOrderAndEndsEvenIntoItsOwnChild) {
    copyAndPaste("目录丁", "文本乙", cmd::kPasteChildren);
    EXPECT_EQ(titlesOnDisk(catPath), (Titles{"链接甲", "丁一", "丁二", "丁三", "文本乙", "子树丙", "目录丁"}));
    EXPECT_EQ(view.copiedItem, nullptr);

    QTreeWidgetItem* folder = item("目录丁");
    view.setCurrentItem(folder);
    view.handleCommand(cmd::kCopyItem);
    view.setCurrentItem(folder->child(1));
    view.handleCommand(cmd::kPasteChildren);
    EXPECT_EQ(labels(folder), (Titles{"丁一", "丁一", "丁二", "丁三", "丁二", "丁三"}));
    EXPECT_EQ(titlesOnDisk(catPath, "目录丁"), labels(folder));

    // Never expanded: only a placeholder, so nothing is pasted, but the
    // target's file is still saved and the copy forgotten.
    std::filesystem::remove(catPath);
    copyAndPaste("子树丙", "链接甲", cmd::kPasteChildren);
    EXPECT_EQ(titlesOnDisk(catPath).size(), 7u);
    EXPECT_EQ(view.copiedItem, nullptr);
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(PasteItems, PastingOutsideTheCategoriesIsRefused) {
    std::string before = kelvor::test::readFile(mainPath);
    copyAndPaste("链接甲", "公共链接");
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, kelvor::str::kNotEditable);
    EXPECT_EQ(view.copiedItem, nullptr);
    EXPECT_EQ(kelvor::test::readFile(mainPath), before);
}

TEST_F(PasteItems, SendToPutsTheSelectedItemFirstInTheCategory) {
    loadInto(item("子树丙"), subPath);
    select("公共链接");
    view.OnCopyItem();
    view.handleCommand(cmd::kSendToFirst + 1);
    EXPECT_EQ(labels(item("子树丙")), (Titles{"公共链接", "子项一"}));
    EXPECT_EQ(titlesOnDisk(subPath), (Titles{"公共链接", "子项一"}));
    EXPECT_EQ(view.copiedItem, nullptr);
}

TEST_F(PasteItems, GoneItemsAreNeverUsed) {
    loadInto(item("子树丙"), subPath);
    select("子项一");
    view.OnCopyItem();
    view.handleCommand(cmd::kDeleteItem);
    EXPECT_EQ(view.copiedItem, nullptr);
    select("链接甲"); // the category lost its only item: its entry goes
    view.handleCommand(cmd::kSendToFirst + 1);
    ASSERT_EQ(view.categories.size(), 1u);

    // The category's own item goes: its entry and a copied item go too.
    loadInto(item("子树丙"), dir.write("fav/more.xml", R"(<Tree Type="hot"><TreeNode Title="更多"/></Tree>)"));
    ASSERT_EQ(view.categories.size(), 2u);
    select("目录丁");
    view.OnCopyItem();
    view.DeleteChildItems(item("我的收藏"));
    EXPECT_EQ(view.copiedItem, nullptr);
    ASSERT_EQ(view.categories.size(), 1u);
    EXPECT_EQ(view.categories[0].title, "我的收藏");
}

TEST_F(PasteItems, AChannelPastedIntoAHotCategoryShowsItsLatestEntryAtOnce) {
    dir.write("rss/天文.xml", R"(<Tree Type="rss" BaseURL="http://127.0.0.1:9/astro">)"
                              R"(<TreeNode Title="彗星回归" Href="http://n/1" Date="2026-12-01"/></Tree>)");
    std::string hot = dir.write("fav/hot2.xml", R"(<Tree Type="hot"><TreeNode Title="占位" Href="http://x/"/></Tree>)");
    loadInto(item("子树丙"), hot);
    loadInto(item("丁二"), dir.write("fav/chan.xml", R"(<Tree Type="fav"><TreeNode Title="天文" Rss="http://127.0.0.1:9/astro"/></Tree>)"));
    copyAndPaste("天文", "占位");
    EXPECT_EQ(labels(item("子树丙")), (Titles{"彗星回归", "占位"}));
    kelvor::xml::Node desc = nodeOnDisk(hot, "天文").firstChild();
    EXPECT_EQ(desc.attributeOr("Title"), "彗星回归") << "the hot page's 最新 line";
    EXPECT_EQ(desc.attributeOr("Date"), "2026-12-01");
}
