// Search in the window: a hit found in the tree (expanding what it must),
// the results page, and the search box of the main window end to end.
#include "store/Search.h"
#include "BrowserTestSupport.h"
#include "TreeEditFixture.h"
#include "app/CMainFrame.h"
#include "app/CSearchBox.h"
#include "app/SearchResultsPage.h"
#include "browser/CKelvorView.h"
#include "collection/CollectionService.h"
#include "browser/CTabView.h"
#include "frame/CommandIds.h"
#include "store/Indexer.h"
#include "support/HttpServer.h"

#include <QWebEngineScript>

#include <gtest/gtest.h>

#include <set>

using kelvor::test::CleanSettings;
using kelvor::test::RecordingMessageBoxes;
using kelvor::test::waitUntil;
namespace store = kelvor::store;

namespace {

class SearchInTree : public kelvor::test::TreeEditFixture {
  protected:
    store::Hit only(const std::string& query) {
        // The index grows from the home's index.xml, as the window's tree does.
        dir.write("index.xml", kelvor::test::readFile(mainPath));
        store::Store db(dir.path());
        store::updateIndex(db);
        std::vector<store::Hit> hits = store::search(db, query, 0, 10).hits;
        EXPECT_EQ(hits.size(), 1u) << query;
        return hits.empty() ? store::Hit{} : hits[0];
    }
};

// The main window started on a home folder, as the program starts.
struct WindowAtHome {
    explicit WindowAtHome(const std::string& home) : folder(home) {
        frame.resize(1000, 700);
        frame.show();
        frame.initialUpdate();
    }
    kelvor::test::HomeGuard folder;
    CMainFrame frame;
};

} // namespace

TEST_F(SearchInTree, HitsAreSelectedExpandingWhatTheyMust) {
    CLeftView fresh; // nothing expanded yet
    ASSERT_TRUE(fresh.LoadTreeFile(mainPath, fresh.rootItem()));

    store::Hit deep = only("子项");
    ASSERT_TRUE(fresh.SelectIndexedItem(deep.file, deep.position));
    ASSERT_NE(fresh.currentItem(), nullptr);
    EXPECT_EQ(fresh.currentItem()->text(0).toStdString(), "子项一");
    EXPECT_TRUE(fresh.currentItem()->parent()->isExpanded());
    EXPECT_EQ(fresh.currentItem()->parent()->parent()->text(0).toStdString(), "我的收藏");

    store::Hit inFolder = only("丁三");
    ASSERT_TRUE(fresh.SelectIndexedItem(inFolder.file, inFolder.position));
    EXPECT_EQ(fresh.currentItem()->text(0).toStdString(), "丁三");

    ASSERT_TRUE(fresh.SelectIndexedItem(mainPath, "1.0"));
    EXPECT_EQ(fresh.currentItem()->text(0).toStdString(), "公共链接");
    EXPECT_FALSE(fresh.SelectIndexedItem(mainPath, "1.7"));
    EXPECT_FALSE(fresh.SelectIndexedItem(dir.file("fav/none.xml"), "0"));
}

TEST_F(SearchInTree, ShownHitsKeepTheirParentInView) {
    std::string many = "<Tree Type=\"fav\">";
    for (int i = 0; i < 60; ++i)
        many += "<TreeNode Title=\"前" + std::to_string(i) + "\"/>";
    many += "<TreeNode Title=\"频道\">";
    for (int i = 0; i < 60; ++i)
        many += "<TreeNode Title=\"条目" + std::to_string(i) + "\"/>";
    many += "</TreeNode></Tree>";
    std::string file = dir.write("fav/many.xml", many);
    CLeftView tree;
    tree.resize(300, 240);
    tree.show();
    ASSERT_TRUE(tree.LoadTreeFile(file, tree.rootItem()));
    QTreeWidgetItem* channel = tree.topLevelItem(60);
    int rows = tree.viewport()->height() / tree.visualItemRect(tree.topLevelItem(0)).height();
    ASSERT_GT(rows, 4);

    // Near the channel: the channel goes to the top, the hit below it.
    ASSERT_TRUE(tree.SelectIndexedItem(file, "60.2"));
    EXPECT_EQ(tree.visualItemRect(channel).top(), 0);
    EXPECT_TRUE(tree.viewport()->rect().contains(tree.visualItemRect(tree.currentItem())));

    // Too far below it for both: the hit is shown, whatever of the channel.
    std::string far = "60." + std::to_string(rows + 10);
    ASSERT_TRUE(tree.SelectIndexedItem(file, far));
    EXPECT_TRUE(tree.viewport()->rect().contains(tree.visualItemRect(tree.currentItem())));
    EXPECT_LT(tree.visualItemRect(channel).top(), 0);
}

TEST(SearchResultsPage, MarksMatchesAndLinksEveryHit) {
    EXPECT_EQ(kelvor::app::markMatches(QStringLiteral("a<b> 天气 Weather.x"),
                                       {QStringLiteral("天气"), QStringLiteral("weather.")}),
              QStringLiteral("a&lt;b&gt; <mark>天气</mark> <mark>Weather.</mark>x"));
    store::Hit link{"Weather", "http://w/?a=1&b=2", "", "", "我的收藏 > 工具", "", "0", "", ""};
    store::Hit note{"<note>", "", "", "snippet weather", "笔记", "", "1", "", ""};
    QString page = kelvor::app::searchResultsPage({link, note}, QStringLiteral("weather"));
    EXPECT_FALSE(page.contains(QStringLiteral("#more")));
    QString firstOfMany =
        kelvor::app::searchResultsPage({link, note}, QStringLiteral("weather"), 301);
    EXPECT_TRUE(firstOfMany.contains(QStringLiteral("“weather”：301 项")));
    EXPECT_TRUE(firstOfMany.contains(
        QStringLiteral("href=\"#more\">更多结果</a>（已显示 2 项，共 301 项）")));
    EXPECT_TRUE(
        page.contains(QStringLiteral("href=\"http://w/?a=1&amp;b=2\"><mark>Weather</mark>")));
    EXPECT_TRUE(page.contains(QStringLiteral("href=\"#open-1\">&lt;note&gt;")));
    EXPECT_TRUE(page.contains(QStringLiteral("href=\"#show-0\">在导航栏中显示")));
    EXPECT_TRUE(page.contains(QStringLiteral("snippet <mark>weather</mark>")));
    EXPECT_TRUE(page.contains(QStringLiteral("我的收藏 &gt; 工具")));
}

TEST(SearchBox, CtrlKTypingAndShowInTree) {
    CleanSettings settings;
    RecordingMessageBoxes boxes;
    kelvor::test::TempDir home;
    home.write("index.xml", "<Tree><TreeNode Title=\"收藏\" NodeSrc=\"/fav/a.xml\"/></Tree>");
    std::string notes;
    for (int i = 0; i < 250; ++i)
        notes +=
            "<TreeNode Title=\"笔记 " + std::to_string(i) + "\"><Desc>quasar</Desc></TreeNode>";
    home.write("fav/a.xml",
               "<Tree Type=\"fav\"><TreeNode Title=\"目录\"><TreeNode Title=\"天气预报\">"
               "<Desc>&lt;b&gt;多云&lt;/b&gt;</Desc></TreeNode></TreeNode>" +
                   notes + "</Tree>");
    {
        WindowAtHome window(home.path());
        CMainFrame& frame = window.frame;
        frame.OnCommand(kelvor::cmd::kFindInCollection);
        EXPECT_TRUE(waitUntil([&] { return frame.searchBox()->hasFocus(); }));
        // A query asked while the index fills is asked again when it is
        // full; waiting for it keeps the pages below from being redrawn.
        CollectionStore* collection = frame.collection()->store();
        ASSERT_TRUE(waitUntil([&] { return !collection->indexUpdating(); }));

        // The box's own indexing thread finds the files.
        frame.searchBox()->setText(QStringLiteral("天气"));
        EXPECT_TRUE(waitUntil([&] {
            if (frame.searchBox()->hits().size() == 1)
                return true;
            if (!frame.searchBox()->searching())
                frame.searchBox()->runQuery();
            return false;
        }));
        CKelvorView* page = frame.tabView()->GetActivePage();
        EXPECT_TRUE(
            waitUntil([&] { return page->page()->title().contains(QStringLiteral("天气")); }));

        frame.searchBox()->followFragment(QStringLiteral("show-0"));
        ASSERT_NE(frame.leftView()->currentItem(), nullptr);
        EXPECT_EQ(frame.leftView()->currentItem()->text(0), QStringLiteral("天气预报"));

        // The page tells the true count and brings the rest on request.
        frame.searchBox()->setText(QStringLiteral("quasar"));
        frame.searchBox()->runQuery();
        EXPECT_TRUE(waitUntil([&] { return frame.searchBox()->hits().size() == 200u; }));
        EXPECT_EQ(frame.searchBox()->total(), 250);
        frame.searchBox()->followFragment(QStringLiteral("more"));
        ASSERT_TRUE(waitUntil([&] { return frame.searchBox()->hits().size() == 250u; }));
        std::set<std::string> titles;
        for (const kelvor::store::Hit& hit : frame.searchBox()->hits())
            titles.insert(hit.title);
        EXPECT_EQ(titles.size(), 250u);
    }
}

TEST(SearchBox, OpeningAChannelEntryMarksItReadInTheTree) {
    CleanSettings settings;
    RecordingMessageBoxes boxes;
    kelvor::test::HttpServer server;
    server.serve("/story", "<html><body>story</body></html>");
    server.serve("/news", "<rss><channel><item><title>甲篇</title><link>" + server.url("/story") +
                              "</link></item><item><title>乙篇</title><description>无链接"
                              "</description></item><item><title>丙篇</title></item>"
                              "</channel></rss>");
    kelvor::test::TempDir home;
    home.write("rss.xsl", "<xsl:stylesheet/>");
    home.write("index.xml",
               "<Tree><TreeNode Title=\"新闻\" Rss=\"" + server.url("/news") + "\"/></Tree>");
    {
        WindowAtHome window(home.path());
        CMainFrame& frame = window.frame;
        QTreeWidgetItem* channel = frame.leftView()->topLevelItem(0);
        ASSERT_NE(channel, nullptr);
        channel->setExpanded(true);
        ASSERT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(channel) == 3; }));
        auto unread = [&](const QString& title) {
            for (int i = 0; i < channel->childCount(); ++i)
                if (channel->child(i)->text(0) == title)
                    return CLeftView::IsEntryUnread(channel->child(i));
            ADD_FAILURE() << title.toStdString();
            return false;
        };
        CSearchBox* box = frame.searchBox();
        CollectionStore* collection = frame.collection()->store();
        ASSERT_TRUE(waitUntil([&] { return !collection->indexUpdating(); }));
        auto find = [&](const QString& query) {
            box->setText(query);
            box->runQuery();
            return waitUntil([&] {
                if (box->hits().size() == 1 && !box->hits()[0].channel.empty())
                    return true;
                if (!box->searching())
                    box->runQuery();
                return false;
            });
        };

        // Following a title with an address reads every hit leading there.
        // (The engine's click is not driven here: the page may be drawn
        // again by a late index update, and a click then lands nowhere.)
        ASSERT_TRUE(find(QStringLiteral("甲篇")));
        box->markFollowedLink(QUrl(QString::fromStdString(server.url("/story"))));
        EXPECT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(channel) == 2; }));
        EXPECT_FALSE(unread(QStringLiteral("甲篇")));
        EXPECT_TRUE(unread(QStringLiteral("乙篇")));

        // One without an address opens its description through "#open-N".
        ASSERT_TRUE(find(QStringLiteral("乙篇")));
        box->followFragment(QStringLiteral("open-0"));
        EXPECT_TRUE(waitUntil([&] { return CLeftView::UnreadCountOf(channel) == 1; }));
        EXPECT_FALSE(unread(QStringLiteral("乙篇")));
    }
}
