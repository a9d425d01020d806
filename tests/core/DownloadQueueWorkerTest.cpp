// The worker's body against a real HTTP server on 127.0.0.1: error texts,
// stamping of fetched tree files, and the cache files it writes.
#include "feeds/CacheFile.h"
#include "feeds/DownloadWorker.h"
#include "feeds/FavoritesImport.h"
#include "platform/HomeFolder.h"
#include "support/HomeGuard.h"
#include "support/HttpServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <thread>

namespace feeds = kelvor::feeds;
namespace xml = kelvor::xml;
using kelvor::test::HttpResponse;
using kelvor::test::HttpServer;
using kelvor::test::TempDir;

namespace {

const char* kRss =
    "<rss><channel><item><title>One</title><link>http://e/1</link></item></channel></rss>";

class DownloadWorker : public ::testing::Test {
  protected:
    DownloadWorker() { homeGuard_.setHome(home.path()); }

    feeds::DownloadTask feedTask(const std::string& path,
                                 const std::string& cacheName = "rss/F.xml") {
        feeds::DownloadTask task;
        task.title = "F";
        task.feedUrl = server.url(path);
        task.cacheFile = cacheName.empty() ? "" : home.file(cacheName);
        return task;
    }
    xml::Node cachedRoot(const std::string& name) {
        cached = xml::Document::create();
        EXPECT_TRUE(cached.load(home.file(name)));
        return cached.documentElement();
    }

    TempDir home;
    kelvor::test::HomeGuard homeGuard_;
    HttpServer server;
    xml::Document cached;
};

} // namespace

TEST_F(DownloadWorker, FeedIsConvertedIntoItsCacheFileBesideTheStyleSheets) {
    home.write("rss.xsl", "<xsl/>");
    home.write("fav.xsl", "<fav/>");
    server.serve("/feed", kRss);
    feeds::DownloadTask task = feedTask("/feed");
    EXPECT_EQ(feeds::RunDownloadTask(task), 1);
    EXPECT_EQ(task.errorText, "");
    xml::Node root = cachedRoot("rss/F.xml");
    EXPECT_EQ(root.attributeOr("BaseURL"), server.url("/feed"));
    EXPECT_EQ(root.firstChild().attributeOr("Title"), "One");
    EXPECT_EQ(home.read("rss/rss.xsl"), "<xsl/>");
    EXPECT_EQ(home.read("rss/fav.xsl"), "<fav/>");
    EXPECT_FALSE(std::filesystem::exists(home.file("rss/hot.xsl"))) << "nothing to copy";
}

TEST_F(DownloadWorker, ACancelledWorkerSavesNothingAndUsesTheHomeItWasGiven) {
    server.serve("/feed", kRss);
    feeds::DownloadTask cancelled = feedTask("/feed");
    cancelled.cancel->store(true);
    feeds::RunDownloadTask(cancelled);
    EXPECT_FALSE(std::filesystem::exists(home.file("rss/F.xml"))) << "the program may be gone";

    TempDir other; // the home of the moment changes; the task keeps its own
    other.write("rss.xsl", "<other/>");
    home.write("rss.xsl", "<mine/>");
    feeds::DownloadTask given = feedTask("/feed");
    given.home = home.path();
    kelvor::platform::setProgramFolder(other.path());
    EXPECT_EQ(feeds::RunDownloadTask(given), 1);
    kelvor::platform::setProgramFolder(home.path());
    EXPECT_EQ(home.read("rss/rss.xsl"), "<mine/>");
}

TEST_F(DownloadWorker, LoadFailuresGiveTheLoadErrorText) {
    server.serve("/broken", "<rss><channel>");
    HttpResponse missing;
    missing.status = 404;
    server.serve("/missing", missing);

    feeds::DownloadTask broken = feedTask("/broken");
    EXPECT_EQ(feeds::RunDownloadTask(broken), 0);
    EXPECT_TRUE(std::regex_match(
        broken.errorText, std::regex("加载错误:错误代码 0x[0-9A-F]{8} 行:\\d+,列:\\d+,原因:.+")))
        << broken.errorText;

    feeds::DownloadTask notFound = feedTask("/missing");
    notFound.feedUrl.clear();
    notFound.sourceUrl = server.url("/missing");
    EXPECT_EQ(feeds::RunDownloadTask(notFound), 0);
    EXPECT_EQ(notFound.errorText.rfind("加载错误:错误代码 0x800C0194 行:0,列:0,原因:", 0), 0u)
        << notFound.errorText;
    EXPECT_NE(notFound.errorText.find("404"), std::string::npos);
    EXPECT_EQ(notFound.errorText.substr(notFound.errorText.size() - notFound.sourceUrl.size()),
              notFound.sourceUrl)
        << "a tree-file load ends with its address";
    EXPECT_FALSE(std::filesystem::exists(home.file("rss/F.xml")));
}

TEST_F(DownloadWorker, ASaveThatFailsGivesTheSaveErrorText) {
    server.serve("/feed", kRss);
    feeds::DownloadTask task = feedTask("/feed", "no/such/folder/F.xml");
    EXPECT_EQ(feeds::RunDownloadTask(task), 0); // nothing was saved: no success
    EXPECT_EQ(task.errorText, "保存文件发生错误，请确认当前文件路经是否有效！" + task.cacheFile);
}

TEST_F(DownloadWorker, StalledAndEndlessServersEndInAnErrorNotAHang) {
    HttpResponse stall;
    stall.stall = true;
    server.serve("/stall", stall);
    HttpResponse endless;
    endless.endless = true;
    endless.body = "<rss><channel><item><title>again</title></item>";
    server.serve("/endless", endless);
    xml::LoadOptions options;
    options.totalTimeoutMs = 300;
    options.maxBytes = 256 * 1024;

    feeds::DownloadTask stalled = feedTask("/stall");
    EXPECT_EQ(feeds::RunDownloadTask(stalled, options), 0);
    EXPECT_NE(stalled.errorText.find("超时"), std::string::npos) << stalled.errorText;

    options.totalTimeoutMs = 120000;
    feeds::DownloadTask flooded = feedTask("/endless");
    EXPECT_EQ(feeds::RunDownloadTask(flooded, options), 0);
    EXPECT_NE(flooded.errorText.find("大小上限"), std::string::npos) << flooded.errorText;
}

TEST_F(DownloadWorker, FetchedTreeFilesAreStampedOthersSavedAsTheyCame) {
    server.serve("/tree.xml", "<Tree Type=\"fav\" BaseURL=\"old\"><TreeNode Title=\"x\"/></Tree>");
    server.serve("/other.xml", "<Other Type=\"fav\"/>");
    feeds::DownloadTask tree;
    tree.sourceUrl = server.url("/tree.xml");
    tree.cacheFile = home.file("url/T.xml");
    EXPECT_EQ(feeds::RunDownloadTask(tree), 1);
    xml::Node root = cachedRoot("url/T.xml");
    EXPECT_EQ(root.attributeOr("BaseURL"), tree.sourceUrl);
    EXPECT_EQ(root.attributeOr("Type"), "url");
    EXPECT_EQ(root.firstChild().attributeOr("Title"), "x");

    feeds::DownloadTask other;
    other.sourceUrl = server.url("/other.xml");
    other.cacheFile = home.file("url/O.xml");
    EXPECT_EQ(feeds::RunDownloadTask(other), 1);
    EXPECT_EQ(cachedRoot("url/O.xml").attributeOr("Type"), "fav");
    EXPECT_FALSE(cached.documentElement().hasAttribute("BaseURL"));
}

TEST_F(DownloadWorker, AnEmptyCacheFileLoadsButWritesNothing) {
    server.serve("/feed", kRss);
    feeds::DownloadTask task = feedTask("/feed", "");
    EXPECT_EQ(feeds::RunDownloadTask(task), 1);
    EXPECT_EQ(server.requestCount("/feed"), 1);
    EXPECT_FALSE(std::filesystem::exists(home.file("rss")));
}

TEST_F(DownloadWorker, FavoritesChannelNeverLoadsAnything) {
    home.write("Favorites/a.url", "[InternetShortcut]\nURL=http://a/\n");
    feeds::setFavoritesFolder(home.file("Favorites"));
    feeds::DownloadTask task = feedTask("/$FAVORITES");
    EXPECT_EQ(feeds::RunDownloadTask(task), 1);
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(cachedRoot("rss/F.xml").attributeOr("Type"), "$FAVORITES");
    feeds::setFavoritesFolder("");
}

TEST_F(DownloadWorker, ConcurrentWritesOfOneCacheFileNeverShowAHalfFile) {
    std::string items;
    for (int i = 0; i < 2000; ++i)
        items += "<item><title>item " + std::to_string(i) +
                 "</title><description>text text text</description></item>";
    server.serve("/feed", "<rss><channel>" + items + "</channel></rss>");
    std::atomic<bool> writing{true};
    std::vector<std::thread> writers;
    for (int w = 0; w < 2; ++w) {
        writers.emplace_back([&] {
            for (int round = 0; round < 5; ++round) {
                feeds::DownloadTask task = feedTask("/feed");
                feeds::RunDownloadTask(task);
                EXPECT_EQ(task.errorText, "");
            }
        });
    }
    std::thread reader([&] {
        while (writing) {
            xml::Document doc = xml::Document::create();
            if (std::filesystem::exists(home.file("rss/F.xml"))) {
                EXPECT_TRUE(doc.load(home.file("rss/F.xml")))
                    << xml::formatParseError(doc.parseError());
            }
        }
    });
    for (auto& writer : writers)
        writer.join();
    writing = false;
    reader.join();
    for (const auto& entry : std::filesystem::directory_iterator(home.file("rss")))
        EXPECT_EQ(entry.path().filename().string().find(".xml."), std::string::npos)
            << "no temporary file left";
}
