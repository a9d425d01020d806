// Script addresses strangers wrote reach neither the page on screen nor a
// page of their own: not from the tree, the browser or the search results.
#include "BrowserTestSupport.h"
#include "app/SearchResultsPage.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tree/Strings.h"
#include "widgets/TreeEditFixture.h"

using kelvor::test::runPageScript;
using kelvor::test::waitUntil;
using Calls = std::vector<std::string>;

namespace {

const std::string kHostile = std::string(KELVOR_TEST_FIXTURES) + "/hostile/";

class HostileTree : public kelvor::test::TreeEditFixture {};

} // namespace

TEST_F(HostileTree, OpensScriptsOnlyFromTheUsersOwnCategories) {
    // A remote tree file's copy says it is a category; it is still a copy.
    std::string remote = kelvor::test::readFile(kHostile + "remote-tree.xml");
    loadInto(item("子树丙"), dir.write("url/remote.xml", remote));
    for (const char* label : {"script", "vb", "page", "web"})
        view.OnItemClick(item(label));
    std::string none = kelvor::str::kNoDescription;
    EXPECT_EQ(frame.calls,
              (Calls{"ShowDescription(kept)", "ShowDescription(" + none + ")",
                     "ShowDescription(" + none + ")", "NavigateTo(http://127.0.0.1:9/)"}));
    frame.calls.clear();
    setClipboard("before");
    view.setCurrentItem(item("script"));
    view.OnOpenItem();
    view.OnOpenInNewWindow();
    view.OnCopyLink();
    EXPECT_TRUE(frame.calls.empty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    // Pasted into a category, it would be the user's own from then on.
    view.copiedItem = item("script");
    view.setCurrentItem(item("链接甲"));
    view.OnPasteItem();
    kelvor::xml::Node pasted = nodeOnDisk(catPath, "script");
    ASSERT_TRUE(pasted);
    EXPECT_FALSE(pasted.hasAttribute("Href"));
    EXPECT_EQ(CLeftView::GetNodeDescription(pasted), "kept");

    // The user's own bookmarklet runs in the page on screen, and only there.
    loadInto(item("目录丁"), dir.write("fav/tools.xml", R"x(<Tree Type="fav">
      <TreeNode Title="书签工具" Href="javascript:void(document.title='X')"/></Tree>)x"));
    view.OnItemClick(item("书签工具"));
    view.setCurrentItem(item("书签工具"));
    view.OnOpenInNewWindow();
    EXPECT_EQ(frame.calls, (Calls{"RunBookmarklet(javascript:void(document.title='X'))"}));
}

TEST(HostileBrowser, RunsScriptAddressesOnlyAsBookmarklets) {
    kelvor::test::CleanSettings settings;
    kelvor::test::TempDir dir;
    std::string site =
        dir.write("site.html", "<html><head><title>site</title></head><body></body></html>");
    CTabView tabs;
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    ASSERT_TRUE(kelvor::test::loadAndWait(page, QString::fromStdString(site)));
    std::vector<QString> titles;
    QObject::connect(page, &QWebEngineView::titleChanged,
                     [&](const QString& t) { titles.push_back(t); });

    for (const char* address :
         {"javascript:void(document.title='X')", " JavaScript:void(document.title='X')",
          "java\tscript:void(document.title='X')", "vbscript:x", "data:text/html,<title>X</title>"})
        EXPECT_FALSE(page->Navigate2(QString::fromUtf8(address))) << address;
    tabs.Navigate(QStringLiteral("javascript:void(document.title='X')"));
    // The engine handles what it is asked in order: once the bookmarklet has
    // run, anything asked before it has had its turn.
    page->RunBookmarklet(QStringLiteral("javascript:void(document.title='Y')"));
    ASSERT_TRUE(waitUntil([&] { return page->title == QStringLiteral("Y"); }));
    EXPECT_EQ(titles, std::vector<QString>{QStringLiteral("Y")});
    EXPECT_EQ(QUrl::fromLocalFile(QString::fromStdString(site)), page->url());
}

TEST(HostileBrowser, SearchResultsRunNoScriptAndShowTheQueryAsTyped) {
    kelvor::store::Hit hit{"hit", "", "", "", "place", "", "0", "", ""};
    std::vector<kelvor::store::Hit> hits;
    for (const char* link : {"javascript:alert(1)", " data:text/html,x", "file:///etc/passwd",
                             "http://127.0.0.1:9/ok"}) {
        hits.push_back(hit);
        hits.back().link = link;
    }
    QString html = kelvor::app::searchResultsPage(hits, QStringLiteral("%1 %2 <b>"));
    EXPECT_TRUE(html.contains(QStringLiteral("<title>查找：%1 %2 &lt;b&gt;</title>")));
    EXPECT_TRUE(html.contains(QStringLiteral("“%1 %2 &lt;b&gt;”：4 项")));
    for (int i : {0, 1, 2})
        EXPECT_TRUE(html.contains(QStringLiteral("href=\"#open-%1\"").arg(i))) << i;
    EXPECT_TRUE(html.contains(QStringLiteral("href=\"http://127.0.0.1:9/ok\"")));

    // Shown, the page runs no script, not even one put into it, and its own
    // links still reach the view.
    kelvor::test::CleanSettings settings;
    CTabView tabs;
    CKelvorView* page = tabs.CreatePage(std::nullopt, true);
    bool loaded = false;
    QObject::connect(page, &QWebEngineView::loadFinished, [&] { loaded = true; });
    page->setHtml(html, kelvor::app::searchResultsBaseUrl());
    ASSERT_TRUE(waitUntil([&] { return loaded; }));
    EXPECT_EQ(runPageScript(page, QStringLiteral("var s = document.createElement('script');"
                                                 "s.textContent = \"document.title = 'ran'\";"
                                                 "document.body.appendChild(s); document.title"))
                  .toString()
                  .toStdString(),
              "查找：%1 %2 <b>");
    runPageScript(page, QStringLiteral("document.querySelector('a.name').click()"));
    EXPECT_TRUE(waitUntil([&] { return page->url().fragment() == QStringLiteral("open-0"); }));
}
