// What left a channel's feed stays under its 历史条目 line.
#include "BrowserTestSupport.h"
#include "collection/CollectionService.h"
#include "navtree/CLeftView.h"
#include "support/EventWait.h"
#include "support/HomeGuard.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using kelvor::test::waitUntil;

TEST(HistoryLine, EntriesThatLeftTheFeedAreShownAtTheEndOfTheChannelAndOpen) {
    kelvor::test::CleanSettings settings;
    kelvor::test::TempDir home;
    kelvor::test::HomeGuard homeGuard;
    homeGuard.setHome(home.path());
    kelvor::test::RecordingFrame frame;
    CLeftView view;
    const std::string feed = "http://127.0.0.1:9/feed";
    auto copy = [&](std::vector<std::string> titles) {
        std::string body = "<Tree Type=\"rss\" BaseURL=\"" + feed + "\">";
        for (const std::string& title : titles)
            body += "<TreeNode Title=\"" + title + "\" Href=\"http://e/" + title + "\"/>";
        return home.write("rss/新闻.xml", body + "</Tree>");
    };
    // The index knew the copy with 旧闻 in it; the feed has dropped it since.
    std::string path = copy({"旧闻", "今天"});
    CollectionService* service = view.collection();
    service->indexFile(path);
    bool indexed = false; // the store answers in the order it was asked
    service->requestHistory(path, 0, [&](const auto&, size_t) { indexed = true; });
    ASSERT_TRUE(waitUntil([&] { return indexed; }));
    copy({"今天", "明天再见"}); // another size: the same second may not tell them apart
    service->indexFile(path);

    view.LoadTreeFile(home.write("fav/channels.xml",
                                 "<Tree Type=\"fav\"><TreeNode Title=\"新闻\" Rss=\"" + feed +
                                     "\"/></Tree>"),
                      view.rootItem());
    QTreeWidgetItem* channel = view.topLevelItem(0);
    channel->setExpanded(true);
    auto last = [&] { return channel->child(channel->childCount() - 1); };
    ASSERT_TRUE(waitUntil([&] { return CLeftView::isHistoryLine(last()); }));
    EXPECT_EQ(channel->childCount(), 3) << "今天, 明天再见, then the line";
    EXPECT_EQ(last()->text(0), QStringLiteral("历史条目 (1)"));

    QTreeWidgetItem* line = last();
    line->setExpanded(true);
    ASSERT_TRUE(waitUntil([&] { return line->childCount() == 1 && !CLeftView::nodeOf(line->child(0)) &&
                                       line->child(0)->text(0) == QStringLiteral("旧闻"); }));
    view.OnItemClick(line->child(0));
    EXPECT_EQ(frame.calls.back(), "NavigateTo(http://e/旧闻)");
}
