// The automatic update of channels, its tick called directly: expired
// channels that are expanded and those of hot categories come in through the
// download queue, new entries unread, the user's selection left alone.
#include "BrowserTestSupport.h"
#include "app/CAutoUpdate.h"
#include "feeds/DownloadQueue.h"
#include "collection/CollectionService.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"
#include "support/FeedFiles.h"
#include "support/EventWait.h"
#include "support/HomeGuard.h"
#include "support/HttpServer.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <map>
#include <QMenu>

#include <gtest/gtest.h>


using kelvor::test::CleanSettings;
using kelvor::test::HttpServer;
using kelvor::test::makeOlder;
using kelvor::test::rss;
using kelvor::test::RecordingFrame;
using kelvor::test::RecordingMessageBoxes;
using kelvor::test::TempDir;
using kelvor::test::waitUntil;

namespace {

std::vector<std::string> labels(QTreeWidgetItem* item) {
    std::vector<std::string> texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts.push_back(item->child(i)->text(0).toStdString());
    return texts;
}

class AutoUpdate : public ::testing::Test {
  protected:
    AutoUpdate() {
        homeGuard_.setHome(home.path());
        home.write("rss.xsl", "<xsl:stylesheet/>");
    }
    // A cached copy last written eight hours ago: expired.
    void oldCopy(const std::string& title, const std::string& feedPath,
                 const std::vector<std::string>& entries) {
        std::string body = "<Tree Type=\"rss\" BaseURL=\"" + server.url(feedPath) + "\">";
        for (const auto& entry : entries)
            body += "<TreeNode Title=\"" + entry + "\" Href=\"http://e/" + entry + "\"/>";
        std::string path = home.write("rss/" + title + ".xml", body + "</Tree>");
        makeOlder(path, 8 * 3600);
    }
    std::string channelsFile(const std::string& name, const std::string& type,
                             const std::vector<std::pair<std::string, std::string>>& channels) {
        std::string body = "<Tree Type=\"" + type + "\">";
        for (const auto& [title, path] : channels)
            body += "<TreeNode Title=\"" + title + "\" Rss=\"" + server.url(path) + "\"/>";
        return home.write(name, body + "</Tree>");
    }

    CleanSettings settings;
    TempDir home;
    kelvor::test::HomeGuard homeGuard_;
    HttpServer server;
    RecordingMessageBoxes boxes;
    RecordingFrame frame;
    CLeftView view;
};

} // namespace

TEST_F(AutoUpdate, TheIntervalIsChosenFromTheMenuAndKept) {
    CAutoUpdate first(&view, nullptr);
    EXPECT_EQ(first.intervalMinutes(), 60);
    std::unique_ptr<QMenu> menu(first.menu(nullptr));
    ASSERT_EQ(menu->actions().size(), 6) << "four choices, a line, 立即更新";
    EXPECT_EQ(menu->actions()[5]->text(), QStringLiteral("立即更新(&N)"));
    menu->actions()[1]->trigger();
    EXPECT_EQ(first.intervalMinutes(), 30);
    menu->actions()[0]->trigger();
    EXPECT_EQ(CAutoUpdate(&view, nullptr).intervalMinutes(), 0) << "off is kept too";
    menu->actions()[3]->trigger();
    CAutoUpdate again(&view, nullptr);
    EXPECT_EQ(again.intervalMinutes(), 240);
    std::unique_ptr<QMenu> shown(again.menu(nullptr));
    emit shown->aboutToShow();
    EXPECT_TRUE(shown->actions()[3]->isChecked());
    EXPECT_FALSE(shown->actions()[2]->isChecked());
}

TEST_F(AutoUpdate, ATickBringsNewEntriesUnreadAndLeavesTheSelectionAlone) {
    oldCopy("新闻", "/news", {"旧一", "旧二"});
    oldCopy("热点", "/hot", {"旧热点"});
    oldCopy("收起", "/closed", {"旧的"});
    server.serve("/news", rss({"新来的", "旧一", "旧二"}));
    server.serve("/hot", rss({"新热点", "旧热点"}));
    server.serve("/closed", rss({"不该下载"}));
    // Loaded while fresh, so nothing downloads before the tick.
    for (const char* title : {"新闻", "热点", "收起"})
        ::utime(home.file(std::string("rss/") + title + ".xml").c_str(), nullptr);
    view.LoadTreeFile(
        channelsFile("fav/channels.xml", "fav", {{"新闻", "/news"}, {"收起", "/closed"}}),
        view.rootItem());
    view.LoadTreeFile(channelsFile("fav/hot.xml", "hot", {{"热点", "/hot"}}), view.rootItem());
    // Judged fresh before the copies age again below.
    ASSERT_TRUE(waitUntil([&] { return !view.awaitingHeadlines(); }));
    QTreeWidgetItem* news = view.topLevelItem(0);
    news->setExpanded(true);
    ASSERT_EQ(labels(news), (std::vector<std::string>{"旧一", "旧二"}));
    view.setCurrentItem(news->child(0));
    view.SetEntryRead(news->child(0), true);
    ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(news) == 1; }));
    oldCopy("新闻", "/news", {"旧一", "旧二"});
    oldCopy("热点", "/hot", {"旧热点"});
    oldCopy("收起", "/closed", {"旧的"});
    EXPECT_EQ(server.requestCount(), 0);

    std::vector<UpdateSummary> told;
    QObject::connect(view.collection(), &CollectionService::updateFinished,
                     [&](const UpdateSummary& summary) { told.push_back(summary); });
    ASSERT_TRUE(view.StartBackgroundUpdate());
    EXPECT_FALSE(view.StartBackgroundUpdate()) << "nothing runs while the previous tick runs";
    ASSERT_TRUE(waitUntil([&] { return !view.BackgroundUpdateRunning(); }));
    EXPECT_EQ(server.requestCount(), 2) << "the collapsed channel is not fetched";
    // What notifications will say: each channel with news, its title, the
    // titles of the new entries.
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].newEntries, 2);
    std::map<std::string, std::vector<std::string>> byChannel;
    for (const ChannelNews& channel : told[0].channels)
        byChannel[channel.channelTitle] = channel.titles;
    EXPECT_EQ(byChannel, (std::map<std::string, std::vector<std::string>>{{"新闻", {"新来的"}},
                                                                    {"热点", {"新热点"}}}));
    EXPECT_EQ(server.requestCount("/closed"), 0);

    EXPECT_EQ(labels(news), (std::vector<std::string>{"新来的", "旧一", "旧二"}));
    ASSERT_NE(view.currentItem(), nullptr);
    EXPECT_EQ(view.currentItem()->text(0).toStdString(), "旧一") << "the selection stays";
    ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(news) == 2; }));
    EXPECT_TRUE(CLeftView::IsEntryUnread(news->child(0)));
    EXPECT_FALSE(CLeftView::IsEntryUnread(news->child(1)));
    EXPECT_EQ(view.topLevelItem(2)->text(0).toStdString(), "新热点") << "the hot headline";
    ASSERT_FALSE(frame.status.empty());
    EXPECT_EQ(frame.status.back(), "自动更新频道：收到 2 条新条目");
    EXPECT_TRUE(boxes.messages.empty());
}

// 立即更新 asks whatever the copy's age, with its validators; a channel kept
// in two categories is asked once and both show the new copy; a channel is
// not asked twice within minutes, nor before the time its server asked for.
TEST_F(AutoUpdate, UpdateNowAsksFreshCopiesOncePolitelyAndShowsThemEverywhere) {
    home.write("rss/新闻.xml", "<Tree Type=\"rss\" BaseURL=\"" +
                                                    server.url("/news") +
                                                    "\" ETag=\"&quot;v1&quot;\">"
                                                    "<TreeNode Title=\"旧一\" Href=\"http://e/旧一\"/></Tree>");
    kelvor::test::HttpResponse changed;
    changed.body = rss({"新来的", "旧一"});
    changed.etag = "\"v2\"";
    server.serve("/news", changed);
    kelvor::test::HttpResponse busy;
    busy.status = 503;
    busy.headers = "Retry-After: 3600\r\n";
    server.serve("/busy", busy);
    view.collection()->politeness() = kelvor::feeds::UpdatePoliteness(std::chrono::seconds(0));
    view.LoadTreeFile(channelsFile("fav/a.xml", "fav", {{"新闻", "/news"}, {"忙", "/busy"}}),
                      view.rootItem());
    view.LoadTreeFile(channelsFile("fav/hot.xml", "hot", {{"新闻", "/news"}}), view.rootItem());
    QTreeWidgetItem* fav = view.topLevelItem(0);
    QTreeWidgetItem* hot = view.topLevelItem(2);
    fav->setExpanded(true);
    hot->setExpanded(true);
    view.topLevelItem(1)->setExpanded(true); // its server asks for an hour
    ASSERT_TRUE(waitUntil([&] { return view.collection()->pendingDownloads() == 0; }));
    ASSERT_EQ(labels(fav), (std::vector<std::string>{"旧一"})) << "fresh: nothing asked yet";
    ASSERT_EQ(server.requestCount("/news"), 0);
    ASSERT_EQ(server.requestCount("/busy"), 1);
    ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(fav) == 1; })) << "indexed";

    ASSERT_TRUE(view.StartBackgroundUpdate());
    ASSERT_TRUE(waitUntil([&] { return !view.BackgroundUpdateRunning(); }));
    EXPECT_EQ(server.requestCount("/news"), 1) << "one question for the two places";
    EXPECT_EQ(server.lastRequestHeader("/news", "If-None-Match"), "\"v1\"");
    EXPECT_EQ(server.requestCount("/busy"), 1) << "its server's hour is kept";
    EXPECT_EQ(labels(fav), (std::vector<std::string>{"新来的", "旧一"}));
    EXPECT_EQ(labels(hot), (std::vector<std::string>{"新来的", "旧一"}));
    EXPECT_EQ(hot->text(0).toStdString(), "新来的") << "its headline too";
    EXPECT_NE(std::find(frame.status.begin(), frame.status.end(), "正在更新 1/1…"),
              frame.status.end());
    EXPECT_EQ(frame.status.back(), "自动更新频道：收到 1 条新条目，1 个频道刚更新过，稍后再问");

    view.collection()->politeness() = kelvor::feeds::UpdatePoliteness();
    ASSERT_TRUE(view.StartBackgroundUpdate());
    ASSERT_TRUE(waitUntil([&] { return !view.BackgroundUpdateRunning(); }));
    EXPECT_EQ(server.requestCount("/news"), 2) << "asked again, answered 304";
    EXPECT_EQ(labels(fav), (std::vector<std::string>{"新来的", "旧一"}));
    ASSERT_TRUE(view.StartBackgroundUpdate());
    ASSERT_TRUE(waitUntil([&] { return !view.BackgroundUpdateRunning(); }));
    EXPECT_EQ(server.requestCount("/news"), 2) << "not twice within minutes";
    EXPECT_EQ(frame.status.back(), "自动更新频道：各频道刚更新过，请稍后再试");
    EXPECT_TRUE(boxes.messages.empty());
}
