// Read marks in the tree against a real HTTP server on 127.0.0.1: bold
// unread entries, counts after channel titles, marks kept across refreshes,
// a cleared cache and a new window; files the tree writes indexed at once.
#include "collection/CollectionService.h"
#include "feeds/DownloadQueue.h"
#include "frame/CommandIds.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"
#include "store/Search.h"
#include "store/Store.h"
#include "support/EventWait.h"
#include "support/FeedFiles.h"
#include "support/HomeGuard.h"
#include "support/HttpServer.h"
#include "support/MenuOffers.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <QMenu>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using kelvor::test::HttpServer;
using kelvor::test::RecordingFrame;
using kelvor::test::RecordingMessageBoxes;
using kelvor::test::rss;
using kelvor::test::TempDir;
using kelvor::test::waitUntil;
namespace cmd = kelvor::cmd;
namespace store = kelvor::store;

using kelvor::test::offers;

namespace {

QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const std::string& title) {
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0).toStdString() == title)
            return parent->child(i);
    return nullptr;
}

std::vector<std::string> unreadTitles(QTreeWidgetItem* channel) {
    std::vector<std::string> titles;
    for (int i = 0; i < channel->childCount(); ++i)
        if (CLeftView::IsEntryUnread(channel->child(i)))
            titles.push_back(channel->child(i)->text(0).toStdString());
    return titles;
}

class UnreadMarks : public ::testing::Test {
  protected:
    UnreadMarks() {
        homeGuard_.setHome(home.path());
        home.write("rss.xsl", "<xsl:stylesheet/>");
        treeFile =
            home.write("fav/channels.xml", "<Tree Type=\"fav\"><TreeNode Title=\"新闻\" Rss=\"" +
                                               server.url("/news") + "\"/></Tree>");
    }

    // The channel of a view, expanded and loaded, its count known.
    QTreeWidgetItem* openChannel(CLeftView& view) {
        view.LoadTreeFile(treeFile, view.rootItem());
        QTreeWidgetItem* channel = view.topLevelItem(0);
        channel->setExpanded(true);
        waitUntil([&] { return loaded(view, channel); });
        return channel;
    }
    static bool loaded(CLeftView& view, QTreeWidgetItem* channel) {
        return view.collection()->pendingDownloads() == 0 && channel->childCount() > 0 &&
               CLeftView::IsEntry(channel->child(0)) && CLeftView::UnreadCountOf(channel) >= 0;
    }
    void refresh(CLeftView& view, QTreeWidgetItem* channel,
                 const std::vector<std::string>& unread) {
        view.setCurrentItem(channel);
        view.OnRefresh();
        ASSERT_TRUE(waitUntil([&] {
            return loaded(view, channel) && unreadTitles(channel) == unread &&
                   CLeftView::UnreadCountOf(channel) == int(unread.size());
        })) << CLeftView::UnreadCountOf(channel);
    }

    TempDir home;
    kelvor::test::HomeGuard homeGuard_;
    HttpServer server;
    RecordingMessageBoxes boxes;
    RecordingFrame frame;
    std::string treeFile;
};

} // namespace

TEST_F(UnreadMarks, OpeningAndMarkingEntriesCountsDownAndTheMarksLast) {
    server.serve("/news", rss({"一号", "二号", "三号"}));
    {
        CLeftView view;
        QTreeWidgetItem* channel = openChannel(view);
        ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(channel) == 3; }));
        EXPECT_EQ(unreadTitles(channel), (std::vector<std::string>{"一号", "二号", "三号"}));
        EXPECT_TRUE(channel->child(0)->font(0).bold());
        EXPECT_EQ(channel->text(0).toStdString(), "新闻") << "the count is never part of the title";

        view.OnItemClick(childNamed(channel, "一号"));
        EXPECT_EQ(CLeftView::UnreadCountOf(channel), 2) << "an opened entry counts at once";
        EXPECT_FALSE(childNamed(channel, "一号")->font(0).bold());
        EXPECT_FALSE(frame.calls.empty()) << "and opens";

        view.setCurrentItem(childNamed(channel, "二号"));
        EXPECT_TRUE(offers(view, view.currentItem(), cmd::kMarkRead));
        EXPECT_FALSE(offers(view, view.currentItem(), cmd::kMarkAllRead));
        view.handleCommand(cmd::kMarkRead);
        view.setCurrentItem(childNamed(channel, "一号"));
        view.handleCommand(cmd::kMarkUnread);
        view.handleCommand(cmd::kMarkRead);
        ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(channel) == 1; }));
    } // the window closes with its marks

    CLeftView again;
    QTreeWidgetItem* channel = openChannel(again);
    ASSERT_TRUE(
        waitUntil([&] { return unreadTitles(channel) == std::vector<std::string>{"三号"}; }));
    EXPECT_EQ(CLeftView::UnreadCountOf(channel), 1);

    server.serve("/news", rss({"四号", "一号", "二号", "三号"}));
    refresh(again, channel, {"四号", "三号"});

    std::filesystem::remove(home.file("rss/新闻.xml")); // clearing the cache keeps the marks
    refresh(again, channel, {"四号", "三号"});

    EXPECT_TRUE(offers(again, channel, cmd::kMarkAllRead));
    again.setCurrentItem(channel);
    again.handleCommand(cmd::kMarkAllRead);
    ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(channel) == 0; }));
    EXPECT_TRUE(unreadTitles(channel).empty());
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(UnreadMarks, ACollapsedChannelShowsItsCountAndACategoryMarksAllItsChannels) {
    server.serve("/news", rss({"甲", "乙"}));
    {
        CLeftView first;
        openChannel(first); // leaves a cached copy behind
    }
    home.write(
        "fav/outer.xml",
        "<Tree Type=\"fav\"><TreeNode Title=\"分类\" NodeSrc=\"/fav/channels.xml\"/></Tree>");
    CLeftView view;
    view.LoadTreeFile(home.file("fav/outer.xml"), view.rootItem());
    QTreeWidgetItem* category = view.topLevelItem(0);
    category->setExpanded(true);
    QTreeWidgetItem* channel = category->child(0);
    ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(channel) == 2; }))
        << "counted without being expanded";
    EXPECT_FALSE(channel->isExpanded());

    view.setCurrentItem(category);
    view.handleCommand(cmd::kMarkAllRead);
    ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(channel) == 0; }));
}

// Which numbered copy is a channel's only its header tells, and headers
// are read off the window's thread: the answer comes back to the tree later,
// when the item asked for may be gone.
TEST_F(UnreadMarks, ChannelsSharingATitleCountTheirOwnCopiesFoundLater) {
    server.serve("/news", rss({"甲", "乙"}));
    server.serve("/other", rss({"丙", "丁", "戊"}));
    std::string other =
        home.write("fav/other.xml", "<Tree Type=\"fav\"><TreeNode Title=\"新闻\" Rss=\"" +
                                        server.url("/other") + "\"/></Tree>");
    {
        CLeftView first;
        openChannel(first); // rss/新闻.xml
        first.LoadTreeFile(other, first.rootItem());
        QTreeWidgetItem* channel = first.topLevelItem(1);
        channel->setExpanded(true);
        ASSERT_TRUE(waitUntil([&] { return loaded(first, channel); })); // rss/新闻[1].xml
    }
    std::string both =
        home.write("fav/both.xml", "<Tree Type=\"fav\"><TreeNode Title=\"新闻\" Rss=\"" +
                                       server.url("/news") + "\"/><TreeNode Title=\"新闻\" Rss=\"" +
                                       server.url("/other") + "\"/></Tree>");
    CLeftView view;
    view.LoadTreeFile(both, view.rootItem());
    delete view.topLevelItem(0); // before the answer for it can arrive
    QTreeWidgetItem* kept = view.topLevelItem(0);
    ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(kept) == 3; }));
    EXPECT_EQ(kept->data(0, CLeftView::kCacheFileRole).toString().toStdString(),
              home.file("rss/新闻[1].xml"));
    EXPECT_EQ(view.topLevelItemCount(), 1);
}

// A folder sums its channels once the answers of a burst are in; a folder
// deleted meanwhile is left alone.
TEST_F(UnreadMarks, FoldersSumTheAnswersOfABurstAndOneGoneMeanwhileIsLeftAlone) {
    std::string folders = home.write(
        "fav/folders.xml", "<Tree Type=\"fav\"><TreeNode Title=\"甲组\"><TreeNode Title=\"甲\" "
                           "Rss=\"http://127.0.0.1:9/a\"/></TreeNode><TreeNode Title=\"乙组\">"
                           "<TreeNode Title=\"乙\" Rss=\"http://127.0.0.1:9/b\"/><TreeNode "
                           "Title=\"丙\" Rss=\"http://127.0.0.1:9/c\"/></TreeNode></Tree>");
    CLeftView view;
    view.LoadTreeFile(folders, view.rootItem());
    QTreeWidgetItem* gone = view.topLevelItem(0);
    QTreeWidgetItem* kept = view.topLevelItem(1);
    gone->setExpanded(true);
    kept->setExpanded(true);
    std::vector<QTreeWidgetItem*> channels{gone->child(0), kept->child(0), kept->child(1)};
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(channels.begin(), channels.end(), [](QTreeWidgetItem* channel) {
            return CLeftView::UnreadCountOf(channel) == 0;
        });
    })) << "the store has answered for each copy found";

    view.ApplyChannelState(home.file("rss/甲.xml"), 4, {});
    view.ApplyChannelState(home.file("rss/乙.xml"), 2, {});
    view.ApplyChannelState(home.file("rss/丙.xml"), 3, {});
    EXPECT_EQ(CLeftView::UnreadCountOf(channels[2]), 3) << "a channel's own count at once";
    delete gone;
    ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(kept) == 5; }));
    EXPECT_EQ(view.topLevelItemCount(), 1);
}

TEST_F(UnreadMarks, ASavedEditAndADownloadAreSearchableWithoutAFullUpdate) {
    server.serve("/news", rss({"下载来的条目"}));
    CLeftView view;
    openChannel(view);
    kelvor::xml::Node node = CLeftView::nodeOf(view.topLevelItem(0));
    ASSERT_TRUE(view.ApplyItemFields(node, "改过的标题", "", "", server.url("/news"), ""));

    auto found = [&](const std::string& query) {
        store::Store db(home.path());
        return store::search(db, query, 0, 10).hits.size() == 1;
    };
    EXPECT_TRUE(waitUntil([&] { return found("改过的标题"); }));
    EXPECT_TRUE(waitUntil([&] { return found("下载来的条目"); }));
}
