// Undo of the tree's edits: each undone edit is written back to its file
// and shown again, the last edit first, a whole deleted folder included.
#include "TreeEditFixture.h"
#include "frame/CommandIds.h"

#include <QKeyEvent>

namespace cmd = kelvor::cmd;
using kelvor::test::Titles;

namespace {

class Undo : public kelvor::test::TreeEditFixture {
  protected:
    void pressCtrlZ() {
        QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_Z, Qt::ControlModifier);
        QApplication::sendEvent(&view, &override);
        ASSERT_TRUE(override.isAccepted()) << "the tree keeps Ctrl+Z from the window";
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
        QApplication::sendEvent(&view, &press);
    }
};

} // namespace

TEST_F(Undo, EditsAreUndoneLastFirstOnDiskAndInTheTree) {
    const Titles original = titlesOnDisk(catPath);
    select("目录丁");
    view.handleCommand(cmd::kDeleteItem);
    EXPECT_EQ(titlesOnDisk(catPath), (Titles{"链接甲", "文本乙", "子树丙"}));
    ASSERT_FALSE(frame.status.empty());
    EXPECT_EQ(frame.status.back(), "已删除“目录丁”，按 Ctrl+Z 可以撤销");

    select("链接甲");
    view.handleCommand(cmd::kCopyItem);
    select("文本乙");
    view.handleCommand(cmd::kPasteItem);
    EXPECT_EQ(titlesOnDisk(catPath), (Titles{"链接甲", "链接甲", "文本乙", "子树丙"}));
    select("文本乙");
    setClipboard("http://new.example/");
    view.handleCommand(cmd::kSetLinkFromClipboard);
    EXPECT_EQ(nodeOnDisk(catPath, "文本乙").attributeOr("Href"), "http://new.example/");
    EXPECT_EQ(view.UndoText(), "撤销从剪贴板设置");

    pressCtrlZ();
    EXPECT_EQ(nodeOnDisk(catPath, "文本乙").attributeOr("Href"), "");
    EXPECT_EQ(frame.status.back(), "已撤销从剪贴板设置");
    view.handleCommand(cmd::kEditUndo); // 编辑 > 撤消
    EXPECT_EQ(titlesOnDisk(catPath), (Titles{"链接甲", "文本乙", "子树丙"}));
    EXPECT_EQ(view.UndoText(), "撤销删除“目录丁”");
    view.Undo();
    EXPECT_EQ(titlesOnDisk(catPath), original);
    EXPECT_EQ(titlesOnDisk(catPath, "目录丁"), (Titles{"丁一", "丁二", "丁三"}));
    EXPECT_EQ(labels(item("我的收藏")), original) << "the tree shows the file again";
    EXPECT_EQ(view.currentItem(), item("目录丁")) << "what came back is selected";
    item("目录丁")->setExpanded(true);
    EXPECT_EQ(labels(item("目录丁")), (Titles{"丁一", "丁二", "丁三"}));

    EXPECT_FALSE(view.Undo());
    EXPECT_EQ(frame.status.back(), "没有可以撤销的编辑");
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(Undo, TheLastTwentyEditsAtLeastCanBeUndone) {
    kelvor::xml::Node first = CLeftView::nodeOf(item("链接甲"));
    for (int i = 1; i <= 21; ++i)
        view.ApplyItemFields(first, "甲" + std::to_string(i), "", "", "", "");
    EXPECT_EQ(titlesOnDisk(catPath).front(), "甲21");
    for (int i = 0; i < 21; ++i)
        ASSERT_TRUE(view.Undo()) << i;
    EXPECT_EQ(titlesOnDisk(catPath).front(), "链接甲");
    EXPECT_EQ(labels(item("我的收藏")).front(), "链接甲");
}
