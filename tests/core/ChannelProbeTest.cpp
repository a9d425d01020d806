// The new-channel dialog's look at an address: the feed's own title, the
// feed a page leads to, and why nothing usable came, against a real server
// on 127.0.0.1 and local files.
#include "feeds/ChannelProbe.h"
#include "support/HttpServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>

namespace feeds = kelvor::feeds;
namespace xml = kelvor::xml;
using kelvor::test::htmlPage;
using kelvor::test::HttpResponse;
using kelvor::test::HttpServer;
using kelvor::test::TempDir;

namespace {

const char* kRss = "<rss version=\"2.0\"><channel><title>\n  新闻 &amp; 评论\n</title>"
                   "<item><title>条目标题</title></item></channel></rss>";

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// An address nothing listens on: a server's port, once it has stopped.
std::string closedPortUrl() {
    HttpServer gone;
    std::string url = gone.url("/feed");
    gone.stop();
    return url;
}

} // namespace

TEST(ChannelProbe, ReadsTheChannelsOwnTitleOfEveryKindOfFeed) {
    HttpServer server;
    server.serve("/rss", kRss);
    server.serve("/rdf", "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                         "xmlns=\"http://purl.org/rss/1.0/\"><channel rdf:about=\"x\"><title>RDF "
                         "频道</title></channel><item><title>i</title></item></rdf:RDF>");
    server.serve("/atom", "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title type=\"html\">"
                          "&lt;b&gt;原子&lt;/b&gt;</title><entry><title>e</title></entry></feed>");
    HttpResponse json;
    json.contentType = "application/feed+json";
    json.body = "{\"version\": \"https://jsonfeed.org/version/1.1\", \"title\": \"JSON 标题\", "
                "\"items\": [{\"id\": \"1\", \"title\": \"条目\"}]}";
    server.serve("/json", json);
    server.serve("/opml", "<opml><head><title>订阅列表</title></head><body>"
                          "<outline text=\"a\" xmlUrl=\"http://h/a\"/></body></opml>");
    server.serve("/broken", "<rss><channel><title>破损 & 修复</title>"
                            "<item><title>x</title></item></channel></rss>");
    server.serve("/untitled", "<rss><channel><item><title>只有条目</title></item></channel></rss>");

    const std::pair<const char*, const char*> expected[] = {
        {"/rss", "新闻 & 评论"}, {"/rdf", "RDF 频道"},  {"/atom", "原子"},
        {"/json", "JSON 标题"},  {"/opml", "订阅列表"}, {"/broken", "破损 & 修复"},
        {"/untitled", ""}};
    for (const auto& [path, title] : expected) {
        feeds::ChannelProbe probe = feeds::probeChannel(server.url(path), {});
        EXPECT_TRUE(probe.reached) << path;
        EXPECT_EQ(probe.errorText, "") << path;
        EXPECT_EQ(probe.title, title) << path;
        EXPECT_EQ(probe.feedUrl, server.url(path)) << path;
    }
}

TEST(ChannelProbe, APageLeadsToTheFeedItNamesAndOnlyThat) {
    HttpServer server;
    server.serve("/rss", kRss);
    server.serve("/site", htmlPage("<!DOCTYPE html><html><head><title>网站首页</title><link "
                                   "rel=\"alternate\" type=\"application/rss+xml\" "
                                   "href=\"/rss\"></head><body></body></html>"));
    server.serve("/plain", htmlPage("<!DOCTYPE html><html><head><title>网站首页</title></head>"
                                    "<body><p>no feed</p></body></html>"));
    server.serve("/dead-end",
                 htmlPage("<html><head><link rel=\"alternate\" "
                          "type=\"application/atom+xml\" href=\"/gone\"></head></html>"));
    server.serve("/gone", HttpResponse{404, "missing"});

    feeds::ChannelProbe site = feeds::probeChannel(server.url("/site"), {});
    EXPECT_TRUE(site.reached);
    EXPECT_EQ(site.errorText, "");
    EXPECT_EQ(site.title, "新闻 & 评论") << "the feed's title, not the page's";
    EXPECT_EQ(site.feedUrl, server.url("/rss"));

    feeds::ChannelProbe plain = feeds::probeChannel(server.url("/plain"), {});
    EXPECT_TRUE(plain.reached);
    EXPECT_TRUE(has(plain.errorText, "没有指明频道")) << plain.errorText;
    EXPECT_EQ(plain.title, "");

    feeds::ChannelProbe deadEnd = feeds::probeChannel(server.url("/dead-end"), {});
    EXPECT_FALSE(deadEnd.reached);
    EXPECT_TRUE(has(deadEnd.errorText, "HTTP 404")) << deadEnd.errorText;
    EXPECT_EQ(deadEnd.feedUrl, server.url("/gone")) << "the dialog may still offer it";
}

TEST(ChannelProbe, SaysWhyNothingUsableCameAsDownloadsSayIt) {
    HttpServer server;
    server.serve("/tree", "<Tree Title=\"not a feed\"><TreeNode Title=\"a\"/></Tree>");
    server.serve("/garbage", "this is neither XML nor JSON");
    server.serve("/bigger", std::string("<rss><channel><title>t</title>") + std::string(4096, ' ') +
                                "</channel></rss>");
    HttpResponse stall;
    stall.stall = true;
    server.serve("/stall", stall);

    std::string closed = closedPortUrl();
    feeds::ChannelProbe refused = feeds::probeChannel(closed, {});
    EXPECT_FALSE(refused.reached);
    EXPECT_EQ(refused.errorText.rfind("加载错误:", 0), 0u) << refused.errorText;
    EXPECT_TRUE(has(refused.errorText, closed)) << refused.errorText;

    feeds::ChannelProbe tree = feeds::probeChannel(server.url("/tree"), {});
    EXPECT_TRUE(tree.reached);
    EXPECT_TRUE(has(tree.errorText, "不是 RSS、Atom、JSON Feed 或 OPML 频道")) << tree.errorText;
    EXPECT_NE(feeds::probeChannel(server.url("/garbage"), {}).errorText, "");

    xml::LoadOptions bounded;
    bounded.maxBytes = 1024;
    bounded.totalTimeoutMs = 500;
    EXPECT_TRUE(has(feeds::probeChannel(server.url("/bigger"), bounded).errorText, "上限"));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(feeds::probeChannel(server.url("/stall"), bounded).reached);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    int requests = server.requestCount();
    for (const char* address :
         {"javascript:fetch('http://127.0.0.1/')", "data:text/xml,<rss/>", "ftp://h/feed", ""}) {
        feeds::ChannelProbe probe = feeds::probeChannel(address, {});
        EXPECT_FALSE(probe.reached) << address;
        EXPECT_TRUE(has(probe.errorText, "只能是 http、https 地址或本地文件")) << address;
    }
    EXPECT_EQ(server.requestCount(), requests);
}

// The user types paths too: they are read, but a pipe or a device would
// never end, and a file is bounded as a download is.
TEST(ChannelProbe, LocalFilesAreReadWithinTheSameBounds) {
    TempDir dir;
    dir.write("feed.xml", kRss);
    dir.write("big.xml", std::string("<rss><channel><title>t</title>") + std::string(4096, ' ') +
                             "</channel></rss>");
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);

    for (const std::string& address : {dir.file("feed.xml"), "file://" + dir.file("feed.xml")}) {
        feeds::ChannelProbe probe = feeds::probeChannel(address, {});
        EXPECT_EQ(probe.errorText, "") << address;
        EXPECT_EQ(probe.title, "新闻 & 评论") << address;
        EXPECT_EQ(probe.feedUrl, address);
    }
    feeds::ChannelProbe pipe = feeds::probeChannel(dir.file("pipe"), {});
    EXPECT_FALSE(pipe.reached);
    EXPECT_TRUE(has(pipe.errorText, "不是普通文件")) << pipe.errorText;
    xml::LoadOptions bounded;
    bounded.maxBytes = 1024;
    EXPECT_TRUE(has(feeds::probeChannel(dir.file("big.xml"), bounded).errorText, "上限"));
    EXPECT_FALSE(feeds::probeChannel(dir.file("missing.xml"), {}).reached);
}
