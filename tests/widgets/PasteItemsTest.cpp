// Copy, paste, paste children and send to: what travels, where it lands, in
// the tree and in the file on disk.
#include "app/CommandIds.h"
#include "tree/ChannelSource.h"
#include "tree/Strings.h"
#include "tree/TreeFormat.h"
#include "widgets/TreeEditFixture.h"

namespace cmd = kelvor::cmd;
namespace str = kelvor::str;
namespace tree = kelvor::tree;
using Titles = std::vector<std::string>;

namespace {
class PasteItems : public kelvor::test::TreeEditFixture {};
} // namespace

TEST_F(PasteItems, OnlyFiveFieldsTravelAndOneCopyAllowsOnePaste) {
    std::string rich = dir.write("fav/rich.xml", R"(<Tree Type="fav">
      <TreeNode Title="热点源" Href="http://h/" Rss="http://h/rss" Img="hot" Expires="60" Date="d">
        <Desc Title="头条" Href="http://h/1" NodeSrc="x.xml" Date="today">正文</Desc>
        <TreeNode Title="不随之复制"/>
      </TreeNode>
    </Tree>)");
    loadInto(item("子树丙"), rich);
    select("热点源");
    view.handleCommand(cmd::kCopyItem);
    select("丁二");
    view.handleCommand(cmd::kPasteItem);
    EXPECT_EQ(view.copiedItem, nullptr);
    EXPECT_EQ(labels(item("目录丁")), (Titles{"丁一", "热点源", "丁二", "丁三"}));
    EXPECT_EQ(CLeftView::iconOf(item("目录丁")->child(1)), tree::kIconChannel);

    kelvor::xml::Node pasted = nodeOnDisk(catPath, "热点源");
    ASSERT_TRUE(pasted);
    EXPECT_EQ(pasted.attributeOr("Href"), "http://h/");
    EXPECT_EQ(pasted.attributeOr("Rss"), "http://h/rss");
    for (const char* dropped : {"Img", "Expires", "Date", "NodeSrc"})
        EXPECT_FALSE(pasted.hasAttribute(dropped)) << dropped;
    kelvor::xml::Node desc = pasted.firstChild();
    ASSERT_TRUE(desc.nameIs("Desc"));
    EXPECT_EQ(desc.text(), "正文");
    EXPECT_FALSE(desc.hasAttribute("Title"));
    EXPECT_FALSE(desc.nextSibling()); // no child items

    // The copy was used up: a second paste does nothing.
    view.handleCommand(cmd::kPasteItem);
    EXPECT_EQ(labels(item("目录丁")).size(), 4u);
}

TEST_F(PasteItems, ThePasteReadsTheSourceAsItIsAtPasteTime) {
    select("文本乙");
    view.handleCommand(cmd::kCopyItem);
    setClipboard("后来的描述");
    view.handleCommand(cmd::kSetDescFromClipboard);
    select("丁一");
    view.handleCommand(cmd::kPasteItem);
    EXPECT_EQ(tree::GetNodeDescription(nodeOnDisk(catPath, "目录丁").firstChild()), "后来的描述");
}

TEST_F(PasteItems, LocalNodeSrcIsStoredRelativeToTheHomeFolderOrAsAFileAddress) {
    kelvor::test::TempDir elsewhere;
    std::string outside = elsewhere.write("other.xml", "<Tree Type=\"fav\"><TreeNode Title=\"外\"/></Tree>");
    std::string odd = dir.write("fav/forms.xml", "<Tree Type=\"fav\">"
                                                 "<TreeNode Title=\"反斜杠\" NodeSrc=\"sub.xml\"/>"
                                                 "<TreeNode Title=\"外部\" NodeSrc=\"file://" + outside + "\"/>"
                                                 "</Tree>");
    loadInto(item("子树丙"), odd);
    for (const char* title : {"反斜杠", "外部"}) {
        select(title);
        view.handleCommand(cmd::kCopyItem);
        select("丁一");
        view.handleCommand(cmd::kPasteItem);
    }
    EXPECT_EQ(nodeOnDisk(catPath, "反斜杠").attributeOr("NodeSrc"), "/fav/sub.xml");
    EXPECT_EQ(nodeOnDisk(catPath, "外部").attributeOr("NodeSrc"), "file://" + outside);

    // Either form leads back to the same file.
    std::string source, cache, feed;
    EXPECT_EQ(tree::ResolveChannelSource(CLeftView::nodeOf(item("外部")), source, cache, feed), tree::kLocalFile);
    EXPECT_EQ(source, "file://" + outside);
}

TEST_F(PasteItems, PasteChildrenKeepsOrderSkipsPlaceholdersAndEnds) {
    select("目录丁");
    view.handleCommand(cmd::kCopyItem);
    select("文本乙");
    view.handleCommand(cmd::kPasteChildren);
    EXPECT_EQ(titlesOnDisk(catPath), (Titles{"链接甲", "丁一", "丁二", "丁三", "文本乙", "子树丙", "目录丁"}));
    EXPECT_EQ(view.copiedItem, nullptr);

    // Into one of its own children: only the three that were there are pasted.
    select("目录丁");
    view.handleCommand(cmd::kCopyItem);
    QTreeWidgetItem* folder = item("目录丁");
    view.setCurrentItem(folder->child(1));
    view.handleCommand(cmd::kPasteChildren);
    EXPECT_EQ(labels(folder), (Titles{"丁一", "丁一", "丁二", "丁三", "丁二", "丁三"}));
    EXPECT_EQ(titlesOnDisk(catPath, "目录丁"), labels(folder));

    // A copied item never expanded has only its placeholder: nothing is
    // pasted, but the target's file is saved and the copy forgotten.
    select("子树丙");
    view.handleCommand(cmd::kCopyItem);
    std::filesystem::remove(catPath);
    select("链接甲");
    view.handleCommand(cmd::kPasteChildren);
    EXPECT_EQ(titlesOnDisk(catPath).size(), 7u);
    EXPECT_EQ(view.copiedItem, nullptr);
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(PasteItems, PastingIntoAFileThatIsNotACategoryIsRefused) {
    std::string before = kelvor::test::readFile(mainPath);
    select("链接甲");
    view.handleCommand(cmd::kCopyItem);
    select("公共链接");
    view.handleCommand(cmd::kPasteItem);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, str::kNotEditable);
    EXPECT_EQ(view.copiedItem, nullptr);
    EXPECT_EQ(kelvor::test::readFile(mainPath), before);
}

TEST_F(PasteItems, SendToPutsTheItemFirstInTheCategory) {
    loadInto(item("子树丙"), dir.file("fav/sub.xml"));
    ASSERT_EQ(view.categories.size(), 2u);
    select("公共链接"); // any item may be sent, also from elsewhere
    view.OnCopyItem();
    view.handleCommand(cmd::kSendToFirst + 1);
    EXPECT_EQ(labels(item("子树丙")), (Titles{"公共链接", "子项一"}));
    EXPECT_EQ(titlesOnDisk(dir.file("fav/sub.xml")), (Titles{"公共链接", "子项一"}));
    EXPECT_EQ(nodeOnDisk(dir.file("fav/sub.xml"), "公共链接").attributeOr("Href"), "http://p1/");
    EXPECT_EQ(view.copiedItem, nullptr);
}

TEST_F(PasteItems, GoneItemsAreNeverUsed) {
    loadInto(item("子树丙"), dir.file("fav/sub.xml"));
    select("子项一");
    view.OnCopyItem();
    // The category loses its only item: sending to it drops the entry.
    view.handleCommand(cmd::kDeleteItem);
    EXPECT_EQ(view.copiedItem, nullptr);
    select("链接甲");
    view.handleCommand(cmd::kSendToFirst + 1);
    ASSERT_EQ(view.categories.size(), 1u);
    EXPECT_EQ(view.categories[0].title, "我的收藏");

    // The category's item itself goes (with its parent's children): its
    // entry and a copy of one of them go too.
    std::string more = dir.write("fav/more.xml", "<Tree Type=\"hot\"><TreeNode Title=\"更多\"/></Tree>");
    loadInto(item("子树丙"), more);
    ASSERT_EQ(view.categories.size(), 2u);
    select("目录丁");
    view.OnCopyItem();
    view.DeleteChildItems(item("我的收藏"));
    EXPECT_EQ(view.copiedItem, nullptr);
    ASSERT_EQ(view.categories.size(), 1u);
    EXPECT_EQ(view.categories[0].title, "我的收藏");
    view.handleCommand(cmd::kPasteItem);
    EXPECT_TRUE(boxes.messages.empty());
}
