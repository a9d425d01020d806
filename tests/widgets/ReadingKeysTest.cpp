// Reading with the keyboard in the tree: the next and previous unread
// entry across the channels of a category, read/unread and mark-all-read
// of the selection, Space and F5 kept by the tree.
#include "BrowserTestSupport.h"
#include "collection/CollectionService.h"
#include "frame/CommandIds.h"
#include "navtree/CLeftView.h"
#include "support/EventWait.h"
#include "support/HomeGuard.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

using kelvor::test::RecordingFrame;
using kelvor::test::TempDir;
using kelvor::test::waitUntil;
namespace cmd = kelvor::cmd;

namespace {

void press(QWidget* widget, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

class ReadingKeys : public ::testing::Test {
  protected:
    ReadingKeys() {
        homeGuard_.setHome(home.path());
        home.write("rss.xsl", "<xsl:stylesheet/>");
        std::string body = "<Tree Type=\"fav\">";
        for (const char* channel : {"甲", "乙", "丙"}) {
            // A fresh copy: expanding shows it at once, nothing downloads.
            std::string feed = std::string("http://127.0.0.1:9/") + channel;
            std::string copy = "<Tree Type=\"rss\" BaseURL=\"" + feed + "\">";
            for (int i = 1; i <= 2; ++i)
                copy += "<TreeNode Title=\"" + std::string(channel) + std::to_string(i) +
                        "\" Href=\"http://e/" + channel + std::to_string(i) + "\"/>";
            home.write(std::string("rss/") + channel + ".xml", copy + "</Tree>");
            body += std::string("<TreeNode Title=\"") + channel + "\" Rss=\"" + feed + "\"/>";
        }
        view.LoadTreeFile(home.write("fav/channels.xml", body + "</Tree>"), view.rootItem());
    }

    QTreeWidgetItem* channel(int index) { return view.topLevelItem(index); }
    std::string current() { return view.currentItem()->text(0).toStdString(); }
    bool countIs(int index, int count) {
        return waitUntil([&] { return CLeftView::UnreadCountOf(channel(index)) == count; });
    }
    // Runs a command and waits until the selection has moved (or not).
    void go(int id) {
        QTreeWidgetItem* before = view.currentItem();
        frame.status.clear();
        view.handleCommand(id);
        waitUntil([&] { return view.currentItem() != before || !frame.status.empty(); });
    }

    kelvor::test::CleanSettings settings;
    TempDir home;
    kelvor::test::HomeGuard homeGuard_;
    RecordingFrame frame;
    CLeftView view;
};

} // namespace

TEST_F(ReadingKeys, NextAndPreviousUnreadWalkTheCategoryOpeningWhatTheyFind) {
    channel(0)->setExpanded(true);
    ASSERT_TRUE(countIs(0, 2));
    ASSERT_TRUE(countIs(1, 2));
    view.SetEntryRead(channel(0)->child(1), true); // 甲2 read already
    channel(1)->setExpanded(true);
    ASSERT_TRUE(waitUntil([&] { return CLeftView::IsEntryUnread(channel(1)->child(0)); }));
    view.SetEntryRead(channel(1)->child(0), true); // so is 乙1, in a channel closed again
    channel(1)->setExpanded(false);
    ASSERT_TRUE(countIs(1, 1));
    view.setCurrentItem(channel(0)->child(0));

    // 甲1 is where we are; 甲2 and 乙1 are read: the next unread is 乙2,
    // found by opening 乙 on the way; then 丙, never loaded before.
    go(cmd::kNextUnread);
    EXPECT_EQ(current(), "乙2");
    EXPECT_TRUE(channel(1)->isExpanded());
    EXPECT_EQ(frame.calls.back(), "NavigateTo(http://e/乙2)");
    ASSERT_TRUE(countIs(1, 0)) << "opened is read";
    go(cmd::kNextUnread);
    EXPECT_EQ(current(), "丙1");
    go(cmd::kNextUnread);
    EXPECT_EQ(current(), "丙2");
    go(cmd::kNextUnread);
    EXPECT_EQ(current(), "丙2") << "nothing after the last";
    EXPECT_EQ(frame.status.back(), "后面没有未读条目了");

    // M makes 乙2 unread again; the previous unread from 丙2 is 乙2 (丙1
    // was read on the way), then 甲1, never opened.
    view.setCurrentItem(channel(1)->child(1));
    view.handleCommand(cmd::kToggleRead);
    ASSERT_TRUE(countIs(1, 1));
    view.setCurrentItem(channel(2)->child(1));
    go(cmd::kPrevUnread);
    EXPECT_EQ(current(), "乙2");
    go(cmd::kPrevUnread);
    EXPECT_EQ(current(), "甲1");

    // Ctrl+Shift+M on an entry marks its whole channel read.
    view.setCurrentItem(channel(2)->child(0));
    view.handleCommand(cmd::kToggleRead);
    ASSERT_TRUE(countIs(2, 1));
    view.handleCommand(cmd::kMarkAllRead);
    EXPECT_TRUE(countIs(2, 0));
}

// Pressed as the category opens, before the copies of its channels are
// found off the window's thread, and when news of one is clicked.
TEST_F(ReadingKeys, ChannelsWhoseCopyIsStillLookedForAreNotPassedOver) {
    view.setCurrentItem(channel(0));
    go(cmd::kNextUnread);
    EXPECT_EQ(current(), "甲1");

    CLeftView other;
    other.LoadTreeFile(home.file("fav/channels.xml"), other.rootItem());
    EXPECT_TRUE(other.SelectChannelOfCopy(home.file("rss/乙.xml")));
    EXPECT_EQ(other.currentItem(), other.topLevelItem(1));
}

TEST_F(ReadingKeys, SpaceReadsOnAndF5UpdatesEveryChannelInView) {
    channel(0)->setExpanded(true);
    ASSERT_TRUE(countIs(0, 2));
    view.setCurrentItem(channel(0));
    // No page to scroll (the recording frame has none): Space opens the
    // first unread entry.
    press(&view, Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return view.currentItem() == channel(0)->child(0); }));
    EXPECT_EQ(frame.calls.back(), "NavigateTo(http://e/甲1)");

    // F5 in the tree asks every channel in view at once, not only the
    // selected one; the closed port fails them, and the update says so.
    press(&view, Qt::Key_F5);
    EXPECT_TRUE(view.BackgroundUpdateRunning());
    ASSERT_TRUE(waitUntil([&] { return !view.BackgroundUpdateRunning(); }, 20000));
    EXPECT_EQ(frame.status.back(), "自动更新频道：没有新条目，1 个频道更新失败");
}

TEST_F(ReadingKeys, FoldersSumTheirChannelsAndReadEntriesCanBeHidden) {
    view.LoadTreeFile(home.write("fav/folder.xml",
                                 "<Tree Type=\"fav\"><TreeNode Title=\"文件夹\">"
                                 "<TreeNode Title=\"甲\" Rss=\"http://127.0.0.1:9/甲\"/>"
                                 "<TreeNode Title=\"乙\" Rss=\"http://127.0.0.1:9/乙\"/>"
                                 "</TreeNode></Tree>"),
                      view.rootItem());
    QTreeWidgetItem* folder = view.topLevelItem(3);
    folder->setExpanded(true);
    ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(folder) == 4; }));
    QTreeWidgetItem* first = folder->child(0);
    first->setExpanded(true);
    ASSERT_TRUE(waitUntil([&] { return CLeftView::IsEntryUnread(first->child(1)); }));
    view.SetEntryRead(first->child(1), true);
    EXPECT_EQ(CLeftView::UnreadCountOf(folder), 3) << "at once, as the channel's";

    view.setCurrentItem(first->child(0));
    view.SetEntryRead(first->child(0), true); // being read: stays in view
    view.SetUnreadOnly(true);
    EXPECT_FALSE(first->child(0)->isHidden());
    EXPECT_TRUE(first->child(1)->isHidden());
    view.SetUnreadOnly(false);
    EXPECT_FALSE(first->child(1)->isHidden());
}
