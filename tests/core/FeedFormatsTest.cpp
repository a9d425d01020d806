// Atom, the RSS extensions and the HTML text of titles, against golden
// files in fixtures/feeds (KELVOR_UPDATE_GOLDEN=1 rewrites them).
#include "feeds/AtomConversion.h"
#include "feeds/DownloadTask.h"
#include "feeds/DownloadWorker.h"
#include "feeds/FeedReading.h"
#include "feeds/JsonFeedConversion.h"
#include "platform/HtmlText.h"
#include "platform/SourceBytes.h"
#include "support/Golden.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace feeds = kelvor::feeds;
namespace xml = kelvor::xml;

using kelvor::test::expectGolden;

namespace {

const std::string kFixtures = std::string(KELVOR_TEST_FIXTURES) + "/feeds/";

feeds::DownloadTask feedTask(const std::string& href = "") {
    feeds::DownloadTask task;
    task.title = "Channel";
    task.href = href;
    task.feedUrl = "http://feeds.example/feed?a=1&b=2";
    return task;
}

std::string convertedText(const xml::Document& source, feeds::DownloadTask& task) {
    std::string text;
    EXPECT_TRUE(feeds::convertFeedToText(source, task,
                                         [&text](const std::string& piece) { text += piece; }));
    return text;
}

std::string convertedFixture(const std::string& name, feeds::DownloadTask task = feedTask()) {
    xml::Document source = xml::Document::create();
    EXPECT_TRUE(source.load(kFixtures + name)) << xml::formatParseError(source.parseError());
    return convertedText(source, task);
}

// Through the worker's reading of bytes, as a download gives them.
std::string convertedBytes(const std::string& bytes, feeds::DownloadTask& task,
                           bool* recovered = nullptr) {
    kelvor::platform::SourceBytes source;
    source.bytes = bytes;
    source.url = task.feedUrl;
    std::string text;
    feeds::FeedReport report;
    if (!feeds::convertFeedSource(
            source, task, [&text](const std::string& piece) { text += piece; }, &report))
        return {};
    if (recovered)
        *recovered = report.recovered;
    return text;
}

std::string titleText(const std::string& html) {
    return kelvor::platform::htmlToText(html, kelvor::platform::HtmlTextFor::Title);
}

xml::Document parsed(const std::string& text) {
    xml::Document doc = xml::Document::create();
    EXPECT_TRUE(doc.loadXML(text)) << text;
    return doc;
}

} // namespace

TEST(FeedFormats, EachFormatMatchesItsGoldenFile) {
    for (const char* name : {"atom10", "atom03", "rss-extensions"}) {
        SCOPED_TRACE(name);
        expectGolden(
            convertedFixture(std::string(name) + ".xml", feedTask("http://ignored.example/")),
            std::string(name) + ".expected.xml");
    }
}

TEST(AtomConversion, RootLinksToTheFeedsPageOrElseTheFeed) {
    xml::Node root = parsed(convertedFixture("atom10.xml")).documentElement();
    EXPECT_EQ(root.attributeOr("Type"), "rss");
    EXPECT_EQ(root.attributeOr("Href"), "http://blog.example/base/index.html")
        << "resolved against xml:base";
    EXPECT_EQ(root.attributeOr("BaseURL"), "http://feeds.example/feed?a=1&b=2");

    feeds::DownloadTask task = feedTask("http://channel.example/");
    xml::Document bare = parsed(
        "<feed xmlns='http://www.w3.org/2005/Atom'><entry><link href='p/1'/></entry></feed>");
    xml::Node converted = parsed(convertedText(bare, task)).documentElement();
    EXPECT_EQ(converted.attributeOr("Href"), "http://feeds.example/feed?a=1&b=2");
    EXPECT_EQ(converted.firstChild().attributeOr("Href"), "http://feeds.example/p/1")
        << "a relative link without xml:base resolves against the feed address";
}

TEST(AtomConversion, OnlyAFeedRootInAnAtomNamespaceIsAtom) {
    for (const char* text : {"<feed><entry><title>no namespace</title></entry></feed>",
                             "<rss xmlns='http://www.w3.org/2005/Atom'><entry/></rss>",
                             "<feed xmlns='http://www.w3.org/2005/Atom#'><entry/></feed>"}) {
        SCOPED_TRACE(text);
        feeds::DownloadTask task = feedTask();
        std::string ignored;
        EXPECT_FALSE(feeds::ConvertAtomToTreeText(parsed(text), task,
                                                  [&](const std::string& p) { ignored += p; }));
        EXPECT_EQ(task.feedUrl, "http://feeds.example/feed?a=1&b=2") << "the task is left alone";
        EXPECT_TRUE(ignored.empty());
    }
}

TEST(JsonFeed, ItemsConvertAndTheRootLinksToTheHomePage) {
    feeds::DownloadTask task = feedTask("http://ignored.example/");
    std::string text = convertedBytes(kelvor::test::readFile(kFixtures + "jsonfeed11.json"), task);
    expectGolden(text, "jsonfeed11.expected.xml");

    feeds::DownloadTask noPage = feedTask();
    xml::Node root =
        parsed(convertedBytes(kelvor::test::readFile(kFixtures + "jsonfeed10-nopage.json"), noPage))
            .documentElement();
    EXPECT_EQ(root.attributeOr("Href"), "http://feeds.example/feed?a=1&b=2");
    EXPECT_EQ(root.firstChild().attributeOr("Title"), "Only");
}

TEST(JsonFeed, OtherJsonIsNoFeedAndTheTaskIsLeftAlone) {
    for (const char* text : {"{\"version\": \"https://example.com/version/1\", \"items\": []}",
                             "{\"items\": [{\"title\": \"x\"}]}", "[1, 2]", "{\"version\": "}) {
        SCOPED_TRACE(text);
        feeds::DownloadTask task = feedTask();
        std::string ignored;
        EXPECT_FALSE(
            feeds::ConvertJsonFeedToText(text, task, [&](const std::string& p) { ignored += p; }));
        EXPECT_EQ(task.feedUrl, "http://feeds.example/feed?a=1&b=2");
        EXPECT_TRUE(convertedBytes(text, task).empty()) << "nor does it parse as XML";
        EXPECT_EQ(task.errorText.rfind("加载错误:错误代码 0x", 0), 0u) << task.errorText;
    }
}

TEST(FeedRecovery, BrokenTwinsGiveTheItemsOfTheirCleanTwins) {
    for (const char* name :
         {"recover-entities", "recover-gb18030", "recover-cp1252", "recover-truncated"}) {
        SCOPED_TRACE(name);
        std::string base = kFixtures + name;
        bool cleanRecovered = true, brokenRecovered = false;
        feeds::DownloadTask cleanTask = feedTask(), brokenTask = feedTask();
        std::string clean =
            convertedBytes(kelvor::test::readFile(base + ".clean.xml"), cleanTask, &cleanRecovered);
        std::string broken = convertedBytes(kelvor::test::readFile(base + ".broken.xml"),
                                            brokenTask, &brokenRecovered);
        EXPECT_FALSE(cleanRecovered);
        EXPECT_TRUE(brokenRecovered) << brokenTask.errorText;
        EXPECT_EQ(broken, clean);
        expectGolden(broken, std::string(name) + ".expected.xml");
    }
}

TEST(FeedRecovery, TheLenientPassStaysHarmless) {
    kelvor::test::TempDir dir;
    std::string secret = dir.write("secret.txt", "SECRET");
    std::string hostile =
        "<!DOCTYPE rss [<!ENTITY x SYSTEM \"file://" + secret +
        "\"><!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
        "<rss><item><title>&x; &b; & bare</title></item>";
    feeds::DownloadTask task = feedTask();
    bool recovered = false;
    std::string text = convertedBytes(hostile, task, &recovered);
    EXPECT_TRUE(recovered);
    EXPECT_EQ(text.find("SECRET"), std::string::npos);
    EXPECT_EQ(text.find("aaaaaaaaaa"), std::string::npos) << "no entity of the DTD is expanded";
    EXPECT_NE(text.find("&amp; bare"), std::string::npos) << text;

    // Nothing readable: the error of the strict reading, as before.
    feeds::DownloadTask empty = feedTask();
    EXPECT_TRUE(convertedBytes("<rss><channel><title>no items & no end", empty).empty());
    EXPECT_EQ(empty.errorText.rfind("加载错误:错误代码 0x", 0), 0u) << empty.errorText;
}

TEST(HtmlText, WhatAReaderSees) {
    EXPECT_EQ(titleText("  <b>Bold</b>er\n\t<br/>line &amp;amp; &lt;x&gt; "),
              "Bolder line &amp; <x>");
    EXPECT_EQ(titleText("caf&eacute; &eacute &nbsp;x &#20013;&#x6587; &mdash;"),
              "café é \u00a0x 中文 —");
    // Without ";" only Latin-1 names count, and not inside a word or before "=".
    EXPECT_EQ(titleText("?a=1&copy=2 &notit; &mdash x &unknown; a < b & c"),
              "?a=1&copy=2 &notit; &mdash x &unknown; a < b & c");
    EXPECT_EQ(titleText("<!-- hidden <b> -->shown &#0; &#x110000;"), "shown \uFFFD \uFFFD");
}
