// Downloads that spare the server: conditional requests, "304 Not
// Modified" and Retry-After, against a real HTTP server on 127.0.0.1.
#include "feeds/DownloadWorker.h"
#include "feeds/FeedDiscovery.h"
#include "feeds/UpdatePoliteness.h"
#include "platform/HomeFolder.h"
#include "support/HomeGuard.h"
#include "support/HttpServer.h"
#include "support/TempDir.h"
#include "tree/ChannelSource.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace feeds = kelvor::feeds;
namespace xml = kelvor::xml;
namespace fs = std::filesystem;
using kelvor::test::HttpResponse;
using kelvor::test::htmlPage;
using kelvor::test::HttpServer;
using kelvor::test::TempDir;

namespace {

const char* kRss =
    "<rss><channel><item><title>One</title><link>http://e/1</link></item></channel></rss>";

class FeedDownload : public ::testing::Test {
  protected:
    FeedDownload() { homeGuard_.setHome(home.path()); }

    feeds::DownloadTask run(const std::string& path) {
        feeds::DownloadTask task;
        task.title = "F";
        task.feedUrl = server.url(path);
        task.cacheFile = home.file("rss/F.xml");
        EXPECT_EQ(feeds::RunDownloadTask(task), 1) << task.errorText;
        return task;
    }

    TempDir home;
    kelvor::test::HomeGuard homeGuard_;
    HttpServer server;
};

} // namespace

TEST_F(FeedDownload, ValidatorsAreKeptAndANotModifiedAnswerKeepsTheCopy) {
    HttpResponse feed;
    feed.body = kRss;
    feed.etag = "\"v1\"";
    feed.lastModified = "Mon, 01 Jan 2024 00:00:00 GMT";
    server.serve("/feed", feed);

    feeds::DownloadTask first = run("/feed");
    EXPECT_FALSE(first.notModified);
    EXPECT_EQ(server.lastRequestHeader("/feed", "If-None-Match"), "") << "no copy yet";
    std::string copy = home.read("rss/F.xml");
    xml::Document doc = xml::Document::create();
    ASSERT_TRUE(doc.loadXML(copy));
    EXPECT_EQ(doc.documentElement().attributeOr("ETag"), "\"v1\"");
    EXPECT_EQ(doc.documentElement().attributeOr("LastModified"), "Mon, 01 Jan 2024 00:00:00 GMT");

    // An old modification time shows whether the 304 counts as a download.
    auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(home.file("rss/F.xml"), old);
    feeds::DownloadTask second = run("/feed");
    EXPECT_TRUE(second.notModified);
    EXPECT_EQ(server.lastRequestHeader("/feed", "If-None-Match"), "\"v1\"");
    EXPECT_EQ(server.lastRequestHeader("/feed", "If-Modified-Since"),
              "Mon, 01 Jan 2024 00:00:00 GMT");
    EXPECT_EQ(home.read("rss/F.xml"), copy) << "the copy stays as it was";
    EXPECT_GT(fs::last_write_time(home.file("rss/F.xml")), old + std::chrono::hours(47));

    // A changed feed comes in full, with its new validator.
    feed.etag = "\"v2\"";
    feed.body = "<rss><item><title>Two</title></item></rss>";
    server.serve("/feed", feed);
    EXPECT_FALSE(run("/feed").notModified);
    EXPECT_NE(home.read("rss/F.xml").find("ETag=\"&quot;v2&quot;\""), std::string::npos);
}

TEST_F(FeedDownload, ACopyOfAnotherAddressSendsNoValidators) {
    home.write("rss/F.xml", "<Tree Type=\"rss\" BaseURL=\"http://elsewhere/\" ETag=\"x\"/>");
    server.serve("/feed", kRss);
    run("/feed");
    EXPECT_EQ(server.lastRequestHeader("/feed", "If-None-Match"), "");
}

TEST_F(FeedDownload, RetryAfterIsWaitedForOnceAndALongerWaitIsAnError) {
    HttpResponse busy;
    busy.status = 503;
    busy.headers = "Retry-After: 1\r\n";
    server.serveOnce("/feed", busy);
    server.serve("/feed", kRss);
    auto start = std::chrono::steady_clock::now();
    feeds::DownloadTask task = run("/feed");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(server.requestCount("/feed"), 2);
    EXPECT_NE(home.read("rss/F.xml").find("Title=\"One\""), std::string::npos);

    HttpResponse tooLong;
    tooLong.status = 429;
    tooLong.headers = "Retry-After: 86400\r\n";
    server.serve("/slow", tooLong);
    feeds::DownloadTask slow;
    slow.feedUrl = server.url("/slow");
    EXPECT_EQ(feeds::RunDownloadTask(slow), 0);
    EXPECT_EQ(server.requestCount("/slow"), 1);
    EXPECT_NE(slow.errorText.find("429"), std::string::npos) << slow.errorText;
    EXPECT_EQ(slow.retryAfterSeconds, 86400) << "kept for the next update to honour";
}

TEST(UpdatePoliteness, AChannelIsAskedAgainOnlyAfterTheGapAndTheServersWait) {
    using namespace std::chrono_literals;
    feeds::UpdatePoliteness polite(300s);
    auto now = feeds::UpdatePoliteness::Clock::now();
    EXPECT_TRUE(polite.mayAsk("rss/a.xml", now));
    polite.asked("rss/a.xml", now);
    EXPECT_FALSE(polite.mayAsk("rss/a.xml", now + 299s));
    EXPECT_TRUE(polite.mayAsk("rss/a.xml", now + 300s));
    EXPECT_TRUE(polite.mayAsk("rss/b.xml", now + 1s)) << "others are not held up";

    polite.toldToWait("rss/a.xml", 3600, now);
    EXPECT_FALSE(polite.mayAsk("rss/a.xml", now + 3599s));
    polite.asked("rss/a.xml", now + 10s);
    EXPECT_FALSE(polite.mayAsk("rss/a.xml", now + 1000s)) << "a later question does not shorten it";
    EXPECT_TRUE(polite.mayAsk("rss/a.xml", now + 3600s));
    polite.toldToWait("rss/c.xml", 999999999L, now);
    EXPECT_TRUE(polite.mayAsk("rss/c.xml", now + 25h)) << "a wrong date does not silence it";
    polite.toldToWait("rss/d.xml", -1, now);
    EXPECT_TRUE(polite.mayAsk("rss/d.xml", now));
}

TEST_F(FeedDownload, APageIsReplacedByTheFeedItsHeadNamesOneHopOnly) {
    server.serve("/site/",
                 htmlPage("<!DOCTYPE html><html><head><title>Site</title>"
                              "<link rel=stylesheet href=s.css>"
                              "<link rel='alternate' type='text/html' href='other.html'>"
                              "<LINK REL=\"Alternate home\" TYPE=\"application/atom+xml\" "
                              "HREF=\"feed.atom?a=1&amp;b=2\">"
                              "<link rel=alternate type=application/rss+xml href=/rss>"
                              "</head><body></body></html>"));
    server.serve(
        "/site/feed.atom?a=1&b=2",
        "<feed xmlns='http://www.w3.org/2005/Atom'><entry><title>Found</title></entry></feed>");
    feeds::DownloadTask task = run("/site/");
    std::string copy = home.read("rss/F.xml");
    EXPECT_NE(copy.find("BaseURL=\"" + server.url("/site/feed.atom?a=1&amp;b=2") + "\""),
              std::string::npos)
        << copy;
    EXPECT_NE(copy.find("Title=\"Found\""), std::string::npos);
    EXPECT_EQ(server.requestCount("/rss"), 0) << "the first feed link is the one";
    int expires = 0;
    EXPECT_EQ(kelvor::tree::ReadCacheHeader(home.file("rss/F.xml"), expires), server.url("/site/"))
        << "the copy still belongs to the channel that names the page";

    // A second page is not followed.
    server.serve("/a", htmlPage("<html><head><link rel=alternate type=application/rss+xml "
                                    "href=/b></head></html>"));
    server.serve("/b", htmlPage("<html><head><link rel=alternate type=application/rss+xml "
                                    "href=/c></head></html>"));
    feeds::DownloadTask twice;
    twice.feedUrl = server.url("/a");
    feeds::RunDownloadTask(twice);
    EXPECT_EQ(server.requestCount("/b"), 1);
    EXPECT_EQ(server.requestCount("/c"), 0);

    EXPECT_EQ(feeds::discoverFeed(server.url("/site/"), {}), server.url("/site/feed.atom?a=1&b=2"));
    EXPECT_EQ(feeds::discoverFeed(server.url("/site/feed.atom?a=1&b=2"), {}), "")
        << "a feed itself";
}
