// Addresses strangers write (feeds, lists, pages, tree files) never make the
// reader run a script or read a local file. Inputs are in fixtures/hostile.
#include "feeds/DownloadWorker.h"
#include "feeds/FavoritesImport.h"
#include "feeds/FeedDiscovery.h"
#include "feeds/FeedReading.h"
#include "feeds/OpmlConversion.h"
#include "feeds/OpmlImport.h"
#include "platform/HomeFolder.h"
#include "support/FeedFiles.h"
#include "support/HomeGuard.h"
#include "support/HttpServer.h"
#include "support/TempDir.h"
#include "tree/ChannelSource.h"
#include "tree/ItemLink.h"

#include <gtest/gtest.h>

namespace feeds = kelvor::feeds;
namespace test = kelvor::test;
namespace xml = kelvor::xml;

namespace {

const std::string kHostile = std::string(KELVOR_TEST_FIXTURES) + "/hostile/";
const std::string kWebFeed = "http://127.0.0.1:9/feed";

// "Title|Href" per TreeNode ("Title|-" without Href), and "+" per Desc.
std::string items(const xml::Document& doc) {
    std::string text;
    for (const xml::Node& node : doc.getElementsByTagName("TreeNode")) {
        text += node.attributeOr("Title") + "|" + node.attributeOr("Href", "-");
        if (node.hasAttribute("Rss"))
            text += "|rss:" + node.attributeOr("Rss");
        if (node.hasChildNodes())
            text += "+";
        text += "\n";
    }
    return text;
}

xml::Document parsed(const std::string& text) {
    xml::Document doc = xml::Document::create();
    EXPECT_TRUE(doc.loadXML(text)) << text;
    return doc;
}

// The fixture converted as if downloaded from `url`.
xml::Document converted(const std::string& fixture, const std::string& url) {
    kelvor::platform::SourceBytes source;
    source.bytes = test::readFile(kHostile + fixture);
    source.url = url;
    feeds::DownloadTask task;
    task.title = "Hostile";
    task.feedUrl = url;
    std::string text;
    EXPECT_TRUE(feeds::convertFeedSource(source, task, [&](const std::string& s) { text += s; }))
        << task.errorText;
    return parsed(text);
}

} // namespace

TEST(HostileAddress, FeedEntriesStayWithoutScriptOrLocalLinks) {
    EXPECT_EQ(items(converted("javascript-link.rss", kWebFeed)),
              "script|-+\ndressed|-+\npage|-\nvb|-\nlocal|-\n"
              "permalink|http://127.0.0.1:9/p/6\nplain|http://127.0.0.1:9/p/7\n");
    // A feed read from a local file may name local files, never scripts.
    EXPECT_EQ(items(converted("javascript-link.rss", "file:///srv/feed.rss")),
              "script|-+\ndressed|-+\npage|-\nvb|-\nlocal|file:///etc/passwd\n"
              "permalink|http://127.0.0.1:9/p/6\nplain|http://127.0.0.1:9/p/7\n");

    xml::Document atom = converted("xmlbase-script.atom", kWebFeed);
    EXPECT_EQ(items(atom), "script base|-+\nfile base|-+\ndata|-\n"
                           "relative|http://127.0.0.1:9/blog/posts/4\n");
    EXPECT_EQ(atom.documentElement().attributeOr("Href"), kWebFeed)
        << "the feed's script page gives way to its own address";
}

TEST(HostileAddress, ListsNameNoScriptAsChannelOrPage) {
    xml::Document list = xml::Document::create();
    ASSERT_TRUE(list.loadBytes(test::readFile(kHostile + "script-outline.opml"), kWebFeed));
    feeds::DownloadTask task;
    task.title = "List";
    task.feedUrl = kWebFeed;
    EXPECT_EQ(items(feeds::ConvertOpmlToTree(list, task)),
              "script page|-+\nscript feed|http://127.0.0.1:9/site\nzero|-\n"
              "data home|-|rss:http://127.0.0.1:9/feed\n"
              "fine|http://127.0.0.1:9/|rss:http://127.0.0.1:9/fine\n");

    // Imported, the list becomes the user's own category: its scripts would
    // run from there. A list on disk may name local feeds.
    test::TempDir home;
    home.write("list.opml", test::readFile(kHostile + "script-outline.opml"));
    feeds::ImportReport report =
        feeds::importOpmlFile(home.file("list.opml"), home.path(), "fav/list.xml");
    ASSERT_EQ(report.error, "");
    xml::Document category = xml::Document::create();
    ASSERT_TRUE(category.load(home.file("fav/list.xml")));
    EXPECT_EQ(items(category), "script page|-+\nscript feed|http://127.0.0.1:9/site\n"
                               "zero|-|rss:file:///dev/zero\n"
                               "data home|-|rss:http://127.0.0.1:9/feed\n"
                               "fine|http://127.0.0.1:9/|rss:http://127.0.0.1:9/fine\n");

    // So does a Favorites folder: its shortcuts were saved by anyone.
    home.write("favorites/tool.url", "[InternetShortcut]\nURL=javascript:alert(1)\n");
    home.write("favorites/site.url", "[InternetShortcut]\nURL=https://127.0.0.1:9/\n");
    xml::Document favorites = parsed("<Tree/>");
    feeds::AddFavoritesFolder(home.file("favorites"), favorites, favorites.documentElement());
    EXPECT_EQ(items(favorites), "site|https://127.0.0.1:9/\ntool|\n");
}

TEST(HostileAddress, PagesLeadOnlyToFeedsOnTheWeb) {
    std::string page = test::readFile(kHostile + "file-alternate.html");
    EXPECT_EQ(feeds::findFeedLink(page, "http://127.0.0.1:9/site/"), "http://127.0.0.1:9/feed.xml");
    EXPECT_EQ(feeds::findFeedLink(page, "file:///srv/site/index.html"), "")
        << "a local page's relative feed is a local file too";

    // A refresh of a page naming a local file reads nothing from the disk.
    test::TempDir home;
    kelvor::test::HomeGuard homeGuard(home.path());
    std::string secret = home.write("secret.rss", test::rss({"Secret"}));
    test::HttpServer server;
    server.serve("/site/", test::htmlPage("<!DOCTYPE html><html><head><link rel=alternate "
                                          "type=application/rss+xml href=\"file://" +
                                          secret + "\"></head></html>"));
    feeds::DownloadTask task;
    task.title = "F";
    task.feedUrl = server.url("/site/");
    task.cacheFile = home.file("rss/F.xml");
    EXPECT_EQ(feeds::RunDownloadTask(task), 0);
    EXPECT_EQ(test::readFile(task.cacheFile).find("Secret"), std::string::npos);
}

TEST(HostileAddress, OnlyTheUsersOwnFilesOpenScripts) {
    test::TempDir home;
    kelvor::test::HomeGuard homeGuard(home.path());
    std::string remote = test::readFile(kHostile + "remote-tree.xml");
    auto openable = [&](const std::string& name) {
        xml::Document doc = xml::Document::create();
        EXPECT_TRUE(doc.load(home.write(name, remote)));
        std::string hrefs;
        for (const xml::Node& node : doc.getElementsByTagName("TreeNode"))
            hrefs += kelvor::tree::openableHref(node) + ";";
        return hrefs;
    };
    const std::string none = ";;;http://127.0.0.1:9/;";
    EXPECT_EQ(openable("url/remote.xml"), none) << "whatever its root claims";
    EXPECT_EQ(openable("rss/channel.xml"), none);
    EXPECT_EQ(openable("fav/mine.xml"), "javascript:void(document.title='X');vbscript:msgbox(1); "
                                        "data:text/html,hi;http://127.0.0.1:9/;");

    // Nor from a file of the user's kind that came from the web.
    xml::Document fetched =
        parsed("<Tree Type=\"fav\" BaseURL=\"http://127.0.0.1:9/t.xml\"><TreeNode "
               "Href=\"javascript:x\"/></Tree>");
    EXPECT_EQ(kelvor::tree::openableHref(fetched.documentElement().firstChild()), "");
    // A hot category keeps a channel's headline: its own, once there.
    home.write("rss/old.xml",
               "<Tree Type=\"rss\"><TreeNode Title=\"t\" Href=\"javascript:x\"/></Tree>");
    EXPECT_EQ(kelvor::tree::ReadCacheFirstItem(home.file("rss/old.xml")).href, "");
    xml::Document converted = parsed("<Tree Type=\"rss\"><TreeNode Href=\"javascript:x\"/></Tree>");
    EXPECT_EQ(kelvor::tree::openableHref(converted.documentElement().firstChild()), "");
}
