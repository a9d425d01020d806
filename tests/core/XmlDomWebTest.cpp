// The DOM's web loads against a real server on 127.0.0.1: each failure is
// reported through the parse error fields with a readable reason.
#include "platform/XmlDom.h"
#include "support/HttpServer.h"
#include "support/Offline.h"

#include <gtest/gtest.h>

namespace xml = kelvor::xml;
using kelvor::test::closedPort;
using kelvor::test::HttpResponse;
using kelvor::test::HttpServer;

namespace {

struct Loaded {
    bool ok;
    xml::ParseError error;
    xml::Document doc;
};

Loaded load(const std::string& url, const xml::LoadOptions& options = {}) {
    xml::Document doc = xml::Document::create();
    bool ok = doc.load(url, options);
    return {ok, doc.parseError(), doc};
}

} // namespace

TEST(XmlDomWeb, HttpStatusAndRefusedConnectionAreNamed) {
    HttpServer server;
    Loaded missing = load(server.url("/nothing"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error.errorCode, xml::kErrHttpBase + 404);
    EXPECT_NE(missing.error.reason.find("404"), std::string::npos) << missing.error.reason;

    Loaded refused = load("http://127.0.0.1:" + std::to_string(closedPort()) + "/feed");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error.errorCode & 0xFFFF0000u, xml::kErrNetworkBase);
    EXPECT_NE(refused.error.reason.find("无法连接"), std::string::npos) << refused.error.reason;
}

TEST(XmlDomWeb, StallsAndFloodsAreCutOff) {
    HttpServer server;
    HttpResponse stall;
    stall.stall = true;
    server.serve("/stall", stall);
    HttpResponse flood;
    flood.endless = true;
    server.serve("/flood", flood);

    xml::LoadOptions options;
    options.totalTimeoutMs = 300;
    Loaded stalled = load(server.url("/stall"), options);
    EXPECT_FALSE(stalled.ok);
    EXPECT_NE(stalled.error.reason.find("超时"), std::string::npos) << stalled.error.reason;

    options.totalTimeoutMs = 120000;
    options.maxBytes = 1024 * 1024;
    Loaded flooded = load(server.url("/flood"), options);
    EXPECT_FALSE(flooded.ok);
    EXPECT_NE(flooded.error.reason.find("大小上限"), std::string::npos) << flooded.error.reason;
}

TEST(XmlDomWeb, RedirectsAreFollowedOnlyToTheWeb) {
    HttpServer server;
    server.serve("/real", "<Tree Title=\"moved\"/>");
    HttpResponse moved;
    moved.status = 302;
    moved.location = server.url("/real");
    server.serve("/moved", moved);
    HttpResponse toFile;
    toFile.status = 302;
    toFile.location = "file:///etc/passwd";
    server.serve("/to-file", toFile);

    Loaded followed = load(server.url("/moved"));
    ASSERT_TRUE(followed.ok);
    EXPECT_EQ(followed.doc.documentElement().attributeOr("Title"), "moved");

    Loaded refused = load(server.url("/to-file"));
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.errorCode, 0u);
    EXPECT_FALSE(refused.error.reason.empty());
}

TEST(XmlDomWeb, TheHttpCharsetCountsWhenTheDocumentDeclaresNone) {
    HttpServer server;
    HttpResponse gbk;
    gbk.body = "<Tree Title=\"\xD0\xC2\xCE\xC5\"/>"; // 新闻 in GBK, no declaration
    gbk.contentType = "text/xml; charset=GBK";
    server.serve("/gbk", gbk);
    HttpResponse declared = gbk;
    declared.body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tree Title=\"新闻\"/>";
    server.serve("/declared", declared);

    Loaded fromHeader = load(server.url("/gbk"));
    ASSERT_TRUE(fromHeader.ok) << xml::formatParseError(fromHeader.error);
    EXPECT_EQ(fromHeader.doc.documentElement().attributeOr("Title"), "新闻");
    Loaded fromDeclaration = load(server.url("/declared"));
    ASSERT_TRUE(fromDeclaration.ok);
    EXPECT_EQ(fromDeclaration.doc.documentElement().attributeOr("Title"), "新闻")
        << "the declaration wins";
}
