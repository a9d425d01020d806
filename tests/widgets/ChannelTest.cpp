// Channels in the tree view against a real HTTP server on 127.0.0.1:
// expansion by the state of the cached copy, completions, refresh, hot-file
// headlines, the status text and shutdown while downloads run.
#include "feeds/DownloadQueue.h"
#include "feeds/FavoritesImport.h"
#include "platform/HomeFolder.h"
#include "support/FeedFiles.h"
#include "support/EventWait.h"
#include "support/HomeGuard.h"
#include "support/HttpServer.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "collection/CollectionService.h"
#include "navtree/CLeftView.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>


using kelvor::test::HttpResponse;
using kelvor::test::HttpServer;
using kelvor::test::makeOlder;
using kelvor::test::rss;
using kelvor::test::RecordingFrame;
using kelvor::test::RecordingMessageBoxes;
using kelvor::test::TempDir;
using namespace std::chrono_literals;
using kelvor::test::waitUntil;

namespace {

std::string label(QTreeWidgetItem* item) {
    return item ? item->text(0).toStdString() : "<none>";
}

std::vector<std::string> childLabels(QTreeWidgetItem* item) {
    std::vector<std::string> labels;
    for (int i = 0; i < item->childCount(); ++i)
        labels.push_back(label(item->child(i)));
    return labels;
}


class Channels : public ::testing::Test {
  protected:
    Channels() {
        homeGuard_.setHome(home.path());
        home.write("rss.xsl", "<xsl:stylesheet/>");
    }

    // A file of channels, one per (title, feed path) pair, loaded at the top.
    void loadChannels(const std::vector<std::pair<std::string, std::string>>& channels,
                      const std::string& type = "fav",
                      const std::string& name = "fav/channels.xml") {
        std::string body = "<Tree Type=\"" + type + "\">";
        for (const auto& [title, path] : channels)
            body += "<TreeNode Title=\"" + title + "\" Rss=\"" + server.url(path) + "\"/>";
        treeFile = home.write(name, body + "</Tree>");
        ASSERT_TRUE(view.LoadTreeFile(treeFile, view.rootItem()));
    }
    bool idle() { return view.collection()->pendingDownloads() == 0; }
    void cacheCopy(const std::string& name, const std::string& feedPath,
                   const std::vector<std::string>& titles, long age) {
        std::string body = "<Tree Type=\"rss\" BaseURL=\"" + server.url(feedPath) + "\">";
        for (const auto& title : titles)
            body += "<TreeNode Title=\"" + title + "\"/>";
        std::string path = home.write(name, body + "</Tree>");
        makeOlder(path, age);
    }

    TempDir home;
    kelvor::test::HomeGuard homeGuard_;
    HttpServer server;
    RecordingMessageBoxes boxes;
    RecordingFrame frame;
    CLeftView view;
    std::string treeFile;
};

} // namespace

TEST_F(Channels, FirstExpansionDownloadsThenShowsTheItems) {
    HttpResponse slow;
    slow.body = rss({"One", "Two"});
    slow.delayMs = 200;
    server.serve("/news", slow);
    loadChannels({{"News", "/news"}});
    QTreeWidgetItem* channel = view.topLevelItem(0);
    channel->setExpanded(true);
    EXPECT_EQ(childLabels(channel), std::vector<std::string>{"正在加载中..."});
    ASSERT_FALSE(frame.status.empty());
    EXPECT_EQ(frame.status.front(), server.url("/news")) << "a starting download shows its address";

    ASSERT_TRUE(waitUntil([&] { return idle(); }, 5000));
    EXPECT_EQ(childLabels(channel), (std::vector<std::string>{"One", "Two"}));
    EXPECT_TRUE(std::filesystem::exists(home.file("rss/News.xml")));
    EXPECT_TRUE(std::filesystem::exists(home.file("rss/rss.xsl")))
        << "an opened copy needs its style sheet";
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(Channels, AFailedDownloadBecomesTheFirstChildsText) {
    loadChannels({{"Gone", "/gone"}});
    QTreeWidgetItem* channel = view.topLevelItem(0);
    channel->setExpanded(true);
    ASSERT_TRUE(waitUntil([&] { return idle(); }, 5000));
    ASSERT_EQ(channel->childCount(), 1);
    EXPECT_EQ(label(channel->child(0)).rfind("加载错误:错误代码 0x800C0194", 0), 0u)
        << label(channel->child(0));
    EXPECT_EQ(channel->child(0)->toolTip(0), channel->child(0)->text(0)) << "the row is cut off";

    // The Favorites channel names a Favorites folder that is not there.
    const std::string setting = kelvor::feeds::favoritesFolder();
    kelvor::feeds::setFavoritesFolder(home.file("没有的收藏夹"));
    std::string favorites =
        home.write("fav/favorites.xml", "<Tree Type=\"fav\"><TreeNode "
                                        "Title=\"收藏夹\" Rss=\"$FAVORITES\"/></Tree>");
    ASSERT_TRUE(view.LoadTreeFile(favorites, view.rootItem()));
    QTreeWidgetItem* folder = view.topLevelItem(1);
    folder->setExpanded(true);
    bool done = waitUntil([&] { return idle(); }, 5000);
    kelvor::feeds::setFavoritesFolder(setting);
    ASSERT_TRUE(done);
    EXPECT_EQ(childLabels(folder), std::vector<std::string>{kelvor::feeds::favoritesMissingText(
                                       home.file("没有的收藏夹"))});
    EXPECT_FALSE(std::filesystem::exists(home.file("rss/收藏夹.xml")));
    EXPECT_TRUE(boxes.messages.empty()) << "download errors never show a message box";
}

TEST_F(Channels, AnExpiredCopyShowsAtOnceAndTheUpdateComesUnderTheUpdatingLine) {
    server.serve("/news", rss({"Fresh one", "Fresh two"}));
    cacheCopy("rss/News.xml", "/news", {"Old"}, 8 * 3600);
    loadChannels({{"News", "/news"}});
    QTreeWidgetItem* channel = view.topLevelItem(0);
    channel->setExpanded(true);
    EXPECT_EQ(childLabels(channel), (std::vector<std::string>{"正在更新中...", "Old"}));
    ASSERT_TRUE(waitUntil([&] { return idle(); }, 5000));
    QTreeWidgetItem* update = channel->child(0);
    EXPECT_EQ(label(update), "Fresh one");
    EXPECT_EQ(childLabels(update), (std::vector<std::string>{"Fresh one", "Fresh two"}));
}

TEST_F(Channels, AFreshCopyLoadsWithoutDownloadingAndRefreshFetchesAnyway) {
    server.serve("/news", rss({"New"}));
    cacheCopy("rss/News.xml", "/news", {"Cached"}, 60);
    loadChannels({{"News", "/news"}});
    QTreeWidgetItem* channel = view.topLevelItem(0);
    channel->setExpanded(true);
    EXPECT_EQ(childLabels(channel), std::vector<std::string>{"Cached"});
    EXPECT_EQ(server.requestCount(), 0);

    view.setCurrentItem(channel);
    view.OnRefresh();
    EXPECT_EQ(childLabels(channel), std::vector<std::string>{"正在加载中..."});
    ASSERT_TRUE(waitUntil([&] { return idle(); }, 5000));
    EXPECT_EQ(childLabels(channel), std::vector<std::string>{"New"});
}

TEST_F(Channels, RefreshingWhileDownloadingStartsASecondDownloadAtOnce) {
    HttpResponse slow;
    slow.body = rss({"Done"});
    slow.delayMs = 300;
    server.serve("/news", slow);
    loadChannels({{"News", "/news"}});
    QTreeWidgetItem* channel = view.topLevelItem(0);
    channel->setExpanded(true);
    view.setCurrentItem(channel);
    view.OnRefresh();
    EXPECT_EQ(view.collection()->runningDownloads(), 2);
    ASSERT_TRUE(waitUntil([&] { return idle(); }, 5000));
    EXPECT_EQ(server.requestCount("/news"), 2);
    EXPECT_EQ(childLabels(channel), std::vector<std::string>{"Done"});
}

TEST_F(Channels, ALocalSubTreeLoadsOnExpansion) {
    home.write("fav/sub.xml", "<Tree><TreeNode Title=\"inside\"/></Tree>");
    treeFile =
        home.write("fav/owner.xml", "<Tree><TreeNode Title=\"Sub\" NodeSrc=\"sub.xml\"/></Tree>");
    ASSERT_TRUE(view.LoadTreeFile(treeFile, view.rootItem()));
    view.topLevelItem(0)->setExpanded(true);
    EXPECT_EQ(childLabels(view.topLevelItem(0)), std::vector<std::string>{"inside"});
    EXPECT_TRUE(idle());
}

TEST_F(Channels, AHotFileShowsHeadlinesAndSavesThem) {
    server.serve("/a", rss({"Headline A", "older"}));
    server.serve("/b", rss({"Headline B"}));
    server.serve("/c", rss({"Headline C"}));
    loadChannels({{"A", "/a"}, {"B", "/b"}, {"C", "/c"}}, "hot", "fav/hot.xml");
    ASSERT_TRUE(waitUntil([&] { return !view.awaitingHeadlines() && idle(); }, 5000));
    std::vector<std::string> labels;
    for (int i = 0; i < view.topLevelItemCount(); ++i)
        labels.push_back(label(view.topLevelItem(i)));
    EXPECT_EQ(labels, (std::vector<std::string>{"Headline A", "Headline B", "Headline C"}));

    kelvor::xml::Document saved = kelvor::xml::Document::create();
    ASSERT_TRUE(saved.load(treeFile));
    std::vector<std::string> stored;
    for (const auto& desc : saved.getElementsByTagName("Desc"))
        stored.push_back(desc.attributeOr("Title") + " @ " + desc.attributeOr("NodeSrc"));
    EXPECT_EQ(stored, (std::vector<std::string>{"Headline A @ " + home.file("rss/A.xml"),
                                                "Headline B @ " + home.file("rss/B.xml"),
                                                "Headline C @ " + home.file("rss/C.xml")}));
    EXPECT_EQ(view.hotUpdateMode, CLeftView::HeadlineUpdates::kNone) << "the last channel ends the updates";
}

// The copies' headers are read off the window's thread; the headline
// downloads still come in the channels' order, for the expired copies only,
// the first, every tenth and the last saving the file.
TEST_F(Channels, AHotFileQueuesHeadlinesOfExpiredCopiesInOrderSavingEveryTenth) {
    HttpResponse stall;
    stall.stall = true; // the downloads stay queued to be looked at
    std::vector<std::pair<std::string, std::string>> channels;
    for (int i = 0; i < 13; ++i) {
        std::string title = "H" + std::to_string(i), path = "/h" + std::to_string(i);
        server.serve(path, stall);
        cacheCopy("rss/" + title + ".xml", path, {"old " + title}, i == 3 ? 0 : 5 * 3600);
        channels.push_back({title, path});
    }
    loadChannels(channels, "hot", "fav/hot.xml");
    EXPECT_TRUE(idle()) << "nothing is queued before the copies are found";
    ASSERT_TRUE(waitUntil([&] { return !view.awaitingHeadlines(); }, 5000));

    std::vector<std::string> queued;
    view.collection()->forEachWaiting([&](const kelvor::feeds::DownloadTask& task) {
        queued.push_back(task.title + (task.kind == kelvor::feeds::kKindHeadlineSave ? " save" : ""));
    });
    EXPECT_EQ(queued, (std::vector<std::string>{"H0 save", "H1", "H2", "H4", "H5", "H6", "H7",
                                                "H8", "H9", "H10", "H11 save", "H12 save"}))
        << "H3's copy is fresh";
    EXPECT_EQ(view.hotUpdateMode, CLeftView::HeadlineUpdates::kNone);
}

// Answers for items gone are ignored: a channel deleted before its copy was
// found, and a whole file loaded again meanwhile, download once.
TEST_F(Channels, HotHeadlinesOfItemsGoneBeforeTheirAnswerAreLeftAlone) {
    for (const char* name : {"A", "B", "C"}) {
        std::string path = std::string("/") + name;
        server.serve(path, rss({std::string("New ") + name}));
        cacheCopy(std::string("rss/") + name + ".xml", path, {"old"}, 5 * 3600);
    }
    loadChannels({{"A", "/A"}, {"B", "/B"}, {"C", "/C"}}, "hot", "fav/hot.xml");
    view.clear();
    ASSERT_TRUE(view.LoadTreeFile(treeFile, view.rootItem()));
    delete view.topLevelItem(2); // the last channel: its answer still ends the load
    ASSERT_TRUE(waitUntil([&] { return !view.awaitingHeadlines() && idle(); }, 5000));
    EXPECT_EQ(server.requestCount("/A"), 1);
    EXPECT_EQ(server.requestCount("/B"), 1);
    EXPECT_EQ(server.requestCount("/C"), 0);
    EXPECT_EQ(label(view.topLevelItem(1)), "New B");

    kelvor::xml::Document saved = kelvor::xml::Document::create();
    ASSERT_TRUE(saved.load(treeFile));
    std::vector<std::string> stored;
    for (const auto& desc : saved.getElementsByTagName("Desc"))
        stored.push_back(desc.attributeOr("Title"));
    EXPECT_EQ(stored, (std::vector<std::string>{"New A", "New B"})) << "saved once both are in";
}

TEST_F(Channels, TheStatusBarCountsRunningDownloadsThenGoesIdle) {
    HttpResponse slow;
    slow.body = rss({"x"});
    slow.delayMs = 1200;
    server.serve("/news", slow);
    loadChannels({{"News", "/news"}});
    view.topLevelItem(0)->setExpanded(true);
    ASSERT_TRUE(waitUntil(
        [&] { return !frame.status.empty() && frame.status.back() == "当前在下载任务:1"; }, 5000));
    ASSERT_TRUE(waitUntil(
        [&] { return frame.status.back() == "查看内容请从导航栏中开始"; }, 5000));
    EXPECT_TRUE(idle());
}

TEST_F(Channels, DeletingAChannelWhileItDownloadsIsSafe) {
    HttpResponse slow;
    slow.body = rss({"x"});
    slow.delayMs = 300;
    server.serve("/news", slow);
    loadChannels({{"News", "/news"}, {"Other", "/other"}});
    QTreeWidgetItem* channel = view.topLevelItem(0);
    channel->setExpanded(true);
    delete channel;
    ASSERT_TRUE(waitUntil([&] { return idle(); }, 5000));
    EXPECT_EQ(view.topLevelItemCount(), 1);
    EXPECT_EQ(label(view.topLevelItem(0)), "Other");
}

TEST_F(Channels, ClosingTheViewWhileDownloadsStallNeitherHangsNorCrashes) {
    HttpResponse stall;
    stall.stall = true;
    server.serve("/stall", stall);
    auto closing = std::make_unique<CLeftView>();
    std::string file =
        home.write("fav/stall.xml", "<Tree><TreeNode Title=\"S\" Rss=\"" + server.url("/stall") +
                                        "\"/><TreeNode Title=\"T\" Rss=\"" + server.url("/stall") +
                                        "?2\"/></Tree>");
    ASSERT_TRUE(closing->LoadTreeFile(file, closing->rootItem()));
    closing->topLevelItem(0)->setExpanded(true);
    closing->topLevelItem(1)->setExpanded(true);
    ASSERT_TRUE(waitUntil([&] { return server.requestCount() == 2; }, 5000));
    auto begin = std::chrono::steady_clock::now();
    closing.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 3s);
    // The workers were joined: a hand-back would have been posted by now.
    QCoreApplication::sendPostedEvents();
}

TEST_F(Channels, AThreadThatCannotStartIsReportedAndTheChannelKeepsItsPlaceholder) {
    view.collection()->downloads().setSpawner([](std::function<void()>) { return false; });
    loadChannels({{"News", "/news"}});
    view.topLevelItem(0)->setExpanded(true);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, "Cannot Start New Thread");
    EXPECT_TRUE(idle());
    EXPECT_EQ(childLabels(view.topLevelItem(0)), std::vector<std::string>{"正在加载中..."});
}
