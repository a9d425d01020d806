// A channel whose address is a page that names its feed: the page is asked
// each time, the feed only on its own validators.
#include "feeds/DownloadWorker.h"
#include "platform/HomeFolder.h"
#include "support/FeedFiles.h"
#include "support/HomeGuard.h"
#include "support/HttpServer.h"
#include "support/TempDir.h"
#include "tree/ChannelSource.h"

#include <gtest/gtest.h>

#include <ctime>

#include <sys/stat.h>

namespace feeds = kelvor::feeds;
namespace test = kelvor::test;

namespace {

test::HttpResponse pageNaming(const std::string& feed) {
    return test::htmlPage("<!DOCTYPE html><html><head><link rel=alternate "
                          "type=application/rss+xml href=" +
                          feed + "></head></html>");
}

} // namespace

TEST(DiscoveredFeed, IsAskedWithItsValidatorsOnTheNextRefresh) {
    test::TempDir home;
    kelvor::test::HomeGuard homeGuard(home.path());
    test::HttpServer server;
    server.serve("/site/", pageNaming("/feed"));
    test::HttpResponse feed;
    feed.body = test::rss({"One"});
    feed.etag = "\"f1\"";
    feed.lastModified = "Mon, 01 Jan 2024 00:00:00 GMT";
    server.serve("/feed", feed);
    const std::string cacheFile = home.file("rss/F.xml");
    auto refresh = [&] {
        feeds::DownloadTask task;
        task.title = "F";
        task.feedUrl = server.url("/site/");
        task.cacheFile = cacheFile;
        EXPECT_EQ(feeds::RunDownloadTask(task), 1) << task.errorText;
        return task;
    };

    EXPECT_FALSE(refresh().notModified);
    const std::string copy = home.read("rss/F.xml");
    test::makeOlder(cacheFile, 3600);

    feeds::DownloadTask second = refresh();
    EXPECT_TRUE(second.notModified);
    EXPECT_EQ(server.requestCount("/site/"), 2) << "the page is asked again";
    EXPECT_EQ(server.lastRequestHeader("/site/", "If-None-Match"), "")
        << "the feed's validators say nothing of the page";
    EXPECT_EQ(server.requestCount("/feed"), 2);
    EXPECT_EQ(server.lastRequestHeader("/feed", "If-None-Match"), "\"f1\"");
    EXPECT_EQ(server.lastRequestHeader("/feed", "If-Modified-Since"),
              "Mon, 01 Jan 2024 00:00:00 GMT");
    EXPECT_EQ(home.read("rss/F.xml"), copy) << "the 304 keeps the copy";
    struct stat written {};
    ASSERT_EQ(::stat(cacheFile.c_str(), &written), 0);
    EXPECT_GT(written.st_mtime, std::time(nullptr) - 600) << "and counts as downloaded now";
    int expires = 0;
    EXPECT_EQ(kelvor::tree::ReadCacheHeader(cacheFile, expires), server.url("/site/"));

    // The page names another feed now: that one owes nothing to the old
    // feed's validators and comes in full.
    server.serve("/site/", pageNaming("/other"));
    server.serve("/other", test::rss({"Two"}));
    EXPECT_FALSE(refresh().notModified);
    EXPECT_EQ(server.lastRequestHeader("/other", "If-None-Match"), "");
    EXPECT_NE(home.read("rss/F.xml").find("Title=\"Two\""), std::string::npos);
}
