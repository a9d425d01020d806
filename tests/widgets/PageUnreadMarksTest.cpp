// Read marks beyond the loaded tree: channel and hot category pages show them
// and follow the tree without reloading, mark-all-read reaches categories
// never opened, and the automatic update covers hot categories the tree has
// not loaded. Feeds are served on 127.0.0.1; pages use the real style sheets.
#include "BrowserTestSupport.h"
#include "frame/CommandIds.h"
#include "collection/CollectionService.h"
#include "navtree/CLeftView.h"
#include "platform/HomeFolder.h"
#include "platform/XmlDom.h"
#include "store/EntryDate.h"
#include "store/Indexer.h"
#include "store/ReadMarks.h"
#include "store/Store.h"
#include "support/EventWait.h"
#include "support/FeedFiles.h"
#include "support/HomeGuard.h"
#include "support/HttpServer.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tree/TreeFormat.h"

#include <QWebEngineScript>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using kelvor::test::CleanSettings;
using kelvor::test::HttpServer;
using kelvor::test::loadAndWait;
using kelvor::test::makeOlder;
using kelvor::test::RecordingFrame;
using kelvor::test::RecordingMessageBoxes;
using kelvor::test::TempDir;
using kelvor::test::waitUntil;
namespace store = kelvor::store;

namespace {

// The tree keeps the marks the pages show, as the main window arranges.
struct ReadMarksKeeper {
    explicit ReadMarksKeeper(CLeftView& view) { kelvor::app::setReadMarks(view.collection()); }
    ~ReadMarksKeeper() { kelvor::app::setReadMarks(nullptr); }
};

std::string styleSheet(const std::string& name) {
    std::ifstream in(std::string(KELVOR_SOURCE_DATA_DIR) + "/styles/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Asks the page from the program's own world, as the marks are put in.
QString pageScript(CKelvorView* page, const QString& script) {
    return kelvor::test::runPageScript(page, script).toString();
}

// "title:unread|read|-" for each entry of a channel page, then the count.
const QString kChannelState = QStringLiteral(
    "Array.from(document.querySelectorAll('ul.entries > li')).map(li =>"
    "  li.querySelector('h2').textContent.trim() + ':' + (li.classList.contains('kelvor-unread')"
    "  ? 'unread' : li.classList.contains('kelvor-read') ? 'read' : '-')).join(' ') + ' ' +"
    "  ((document.querySelector('h1 .kelvor-count') || {}).textContent || '')");

int unreadOf(TempDir& home, const std::string& channel) {
    store::Store db(home.path());
    return store::unreadCount(db, channel);
}

class PageMarks : public ::testing::Test {
  protected:
    PageMarks() {
        homeGuard_.setHome(home.path());
        home.write("rss.xsl", styleSheet("rss.xsl"));
        home.write("hot.xsl", styleSheet("hot.xsl"));
    }
    // A cached copy of a channel, as a download leaves it.
    std::string copy(const std::string& title, const std::string& feedPath,
                     const std::vector<std::string>& entries) {
        std::string body = "<?xml-stylesheet type=\"text/xsl\" href=\"../rss.xsl\"?><Tree "
                           "Type=\"rss\" Title=\"" +
                           title + "\" BaseURL=\"" + server.url(feedPath) + "\">";
        for (const auto& entry : entries)
            body += "<TreeNode Title=\"" + entry + "\" Href=\"http://e/" + entry + "\"/>";
        return home.write("rss/" + title + ".xml", body + "</Tree>");
    }
    // What the indexer finds at start-up.
    void indexHome() {
        store::Store db(home.path());
        store::updateIndex(db);
    }
    std::string channel(const std::string& title, const std::string& feedPath) {
        return "<TreeNode Title=\"" + title + "\" Rss=\"" + server.url(feedPath) + "\"/>";
    }
    // 新闻 (on /news) alone in a category, loaded and expanded.
    QTreeWidgetItem* expandNews(CLeftView& view) {
        view.LoadTreeFile(home.write("fav/channels.xml",
                                     "<Tree Type=\"fav\">" + channel("新闻", "/news") + "</Tree>"),
                          view.rootItem());
        QTreeWidgetItem* news = view.topLevelItem(0);
        news->setExpanded(true);
        return news;
    }

    CleanSettings settings;
    TempDir home;
    kelvor::test::HomeGuard homeGuard_;
    HttpServer server;
    RecordingMessageBoxes boxes;
    RecordingFrame frame;
};

} // namespace

TEST_F(PageMarks, AChannelPageShowsItsUnreadEntriesAndFollowsTheTree) {
    // Links on the local server, so that following one stays on this machine;
    // the third entry has none and is found by its title.
    std::string items;
    for (const char* title : {"一号", "二号"})
        items += std::string("<item><title>") + title + "</title><link>" +
                 server.url(std::string("/e/") + (items.empty() ? "1" : "2")) + "</link></item>";
    server.serve("/news", "<rss><channel>" + items +
                              "<item><title>三号</title><pubDate>Mon, 07 Dec 2026 08:00:00 "
                              "GMT</pubDate></item></channel></rss>");
    CLeftView view;
    ReadMarksKeeper keeper(view);
    QTreeWidgetItem* news = expandNews(view);
    ASSERT_TRUE(
        waitUntil([&] { return news->childCount() == 3 && CLeftView::UnreadCountOf(news) == 3; }));
    view.SetEntryRead(news->child(0), true);

    CTabView tabs;
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    ASSERT_TRUE(loadAndWait(page, QString::fromStdString(home.file("rss/新闻.xml"))));
    EXPECT_TRUE(waitUntil([&] {
        return pageScript(page, kChannelState) == "一号:read 二号:unread 三号:unread （2 条未读）";
    })) << pageScript(page, kChannelState).toStdString();
    pageScript(page, QStringLiteral("window.kelvorProbe = 1"));
    EXPECT_EQ(pageScript(page, QStringLiteral("document.querySelector('li .date').textContent + "
                                              "'|' + document.querySelector('li .date').title"))
                  .toStdString(),
              store::shownDate("Mon, 07 Dec 2026 08:00:00 GMT") +
                  "|Mon, 07 Dec 2026 08:00:00 GMT")
        << "the date in local time, the feed's text one hover away";

    view.SetEntryRead(news->child(2), true);
    EXPECT_TRUE(waitUntil([&] {
        return pageScript(page, kChannelState) == "一号:read 二号:unread 三号:read （1 条未读）";
    })) << pageScript(page, kChannelState).toStdString();
    EXPECT_EQ(pageScript(page, QStringLiteral("String(window.kelvorProbe)")), "1")
        << "updated in place, not reloaded";

    // Following an entry's link on the page reads it, as opening it in the tree does.
    pageScript(page, QStringLiteral("document.querySelectorAll('h2 a')[1].click()"));
    EXPECT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(news) == 0; }));
    EXPECT_FALSE(CLeftView::IsEntryUnread(news->child(1)));
    EXPECT_TRUE(
        waitUntil([&] { return page->url().toString().toStdString() == server.url("/e/2"); }));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(PageMarks, MarkingACategoryReadReachesChannelsTheTreeNeverLoaded) {
    copy("新闻", "/news", {"甲", "乙"});
    copy("体育", "/sport", {"丙"});
    copy("其他", "/other", {"丁", "戊"});
    home.write("fav/inner.xml", "<Tree Type=\"fav\">" + channel("新闻", "/news") +
                                    "<TreeNode Title=\"更深\">" + channel("体育", "/sport") +
                                    channel("从未下载", "/never") +
                                    "<TreeNode Title=\"自己\" NodeSrc=\"/fav/inner.xml\"/>"
                                    "</TreeNode></Tree>");
    std::string outer = home.write(
        "fav/outer.xml", "<Tree Type=\"fav\"><TreeNode Title=\"分类\"><TreeNode Title=\"子分类\" "
                         "NodeSrc=\"/fav/inner.xml\"/></TreeNode>" +
                             channel("其他", "/other") + "</Tree>");
    home.write("index.xml", "<Tree><TreeNode Title=\"收藏\" NodeSrc=\"/fav/outer.xml\"/></Tree>");
    indexHome();
    CLeftView view;
    view.LoadTreeFile(outer, view.rootItem());
    QTreeWidgetItem* category = view.topLevelItem(0);
    ASSERT_EQ(category->text(0).toStdString(), "分类");
    ASSERT_FALSE(category->isExpanded());
    ASSERT_EQ(unreadOf(home, server.url("/news")), 2);

    view.setCurrentItem(category);
    view.handleCommand(kelvor::cmd::kMarkAllRead);
    EXPECT_TRUE(waitUntil([&] {
        return unreadOf(home, server.url("/news")) == 0 &&
               unreadOf(home, server.url("/sport")) == 0;
    }));
    EXPECT_EQ(unreadOf(home, server.url("/other")), 2) << "outside the category";
    EXPECT_FALSE(std::filesystem::exists(home.file("rss/从未下载.xml")));
    EXPECT_EQ(server.requestCount(), 0) << "marking downloads nothing";
    EXPECT_FALSE(category->isExpanded());
}

TEST_F(PageMarks, ATickUpdatesAHotCategoryTheTreeHasNotLoadedAndItsPageCounts) {
    makeOlder(copy("热点", "/hot", {"旧热点"}), 8 * 3600);
    server.serve("/hot", kelvor::test::rss({"新热点", "旧热点"}));
    std::string hotFile =
        home.write("fav/hot.xml",
                   "<?xml-stylesheet type=\"text/xsl\" href=\"../hot.xsl\"?><Tree "
                   "Type=\"hot\" Title=\"热点关注\"><TreeNode Title=\"说明\"/>"
                   "<TreeNode Title=\"热点\" Rss=\"" +
                       server.url("/hot") +
                       "\"><Desc Title=\"旧热点\" Href=\"http://e/旧热点\"/></TreeNode></Tree>");
    std::string index = home.write(
        "index.xml", "<Tree><TreeNode Title=\"热点关注\" NodeSrc=\"/fav/hot.xml\"/></Tree>");
    indexHome();
    CLeftView view;
    ReadMarksKeeper keeper(view);
    view.LoadTreeFile(index, view.rootItem());
    ASSERT_FALSE(view.topLevelItem(0)->isExpanded());

    ASSERT_TRUE(view.StartBackgroundUpdate());
    EXPECT_FALSE(view.StartBackgroundUpdate()) << "nothing runs while the previous tick runs";
    ASSERT_TRUE(waitUntil([&] { return !view.BackgroundUpdateRunning(); }));
    EXPECT_EQ(server.requestCount("/hot"), 1);
    ASSERT_FALSE(frame.status.empty());
    EXPECT_EQ(frame.status.back(), "自动更新频道：收到 1 条新条目");
    kelvor::xml::Document saved = kelvor::xml::Document::create();
    ASSERT_TRUE(saved.load(hotFile));
    kelvor::xml::Node hot = saved.documentElement().firstChild().nextSibling();
    EXPECT_EQ(kelvor::tree::GetNodeAttribute(hot.firstChild(), "Title"), "新热点")
        << "the new headline is kept in the category file";

    CTabView tabs;
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    ASSERT_TRUE(loadAndWait(page, QString::fromStdString(hotFile)));
    const QString state = QStringLiteral(
        "Array.from(document.querySelectorAll('main li')).map(li => li.querySelector('.name')"
        ".textContent + ((li.querySelector('.kelvor-count') || {}).textContent || '') + "
        "(li.querySelector('.headline.kelvor-unread') ? '•' : '')).join(' ')");
    EXPECT_TRUE(waitUntil([&] { return pageScript(page, state) == "说明 热点（2 条未读）•"; }))
        << pageScript(page, state).toStdString();

    view.setCurrentItem(view.topLevelItem(0));
    view.handleCommand(kelvor::cmd::kMarkAllRead);
    EXPECT_TRUE(waitUntil([&] { return pageScript(page, state) == "说明 热点"; }))
        << pageScript(page, state).toStdString();
    EXPECT_TRUE(boxes.messages.empty());
}

// An open channel page follows the channel: a new copy written by an update
// is shown again, with its new entry, not only counted.
TEST_F(PageMarks, AnOpenChannelPageShowsTheEntriesAnUpdateBrought) {
    copy("新闻", "/news", {"旧一"});
    server.serve("/news", kelvor::test::rss({"新来的", "旧一"}));
    CLeftView view;
    ReadMarksKeeper keeper(view);
    QTreeWidgetItem* news = expandNews(view);
    ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(news) == 1; }));

    CTabView tabs;
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    ASSERT_TRUE(loadAndWait(page, QString::fromStdString(home.file("rss/新闻.xml"))));
    ASSERT_TRUE(waitUntil([&] { return pageScript(page, kChannelState).endsWith("条未读）"); }));
    ASSERT_TRUE(view.StartBackgroundUpdate());
    EXPECT_TRUE(waitUntil([&] {
        return pageScript(page, kChannelState) == "新来的:unread 旧一:unread （2 条未读）";
    })) << pageScript(page, kChannelState).toStdString();
}
