// Lenient readings keep what they can: a broken XML feed keeps its escaped
// characters, and a bad value in a JSON Feed costs that value or its item,
// never the feed.
#include "feeds/FeedReading.h"
#include "feeds/FeedRepair.h"
#include "platform/SourceBytes.h"
#include "platform/XmlDom.h"

#include <gtest/gtest.h>

namespace feeds = kelvor::feeds;
namespace xml = kelvor::xml;

namespace {

struct Converted {
    bool ok = false;
    bool recovered = false;
    std::string errorText;
    xml::Document doc = xml::Document::create();

    xml::Node item(size_t index) const {
        xml::Node node = doc.documentElement().firstChild();
        for (size_t i = 0; node && i < index; ++i)
            node = node.nextSibling();
        return node;
    }
    size_t items() const {
        size_t count = 0;
        for (xml::Node node = doc.documentElement().firstChild(); node; node = node.nextSibling())
            ++count;
        return count;
    }
};

Converted convert(const std::string& bytes, const std::string& url = "http://feeds.example/f") {
    kelvor::platform::SourceBytes source;
    source.bytes = bytes;
    source.url = url;
    feeds::DownloadTask task;
    task.feedUrl = url;
    std::string text;
    feeds::FeedReport report;
    Converted result;
    result.ok = feeds::convertFeedSource(
        source, task, [&text](const std::string& piece) { text += piece; }, &report);
    result.recovered = report.recovered;
    result.errorText = task.errorText;
    if (result.ok) {
        EXPECT_TRUE(result.doc.loadXML(text)) << text;
    }
    return result;
}

std::string jsonFeed(const std::string& members, const std::string& items) {
    return "{\"version\": \"https://jsonfeed.org/version/1.1\", " + members + "\"items\": [" +
           items + "]}";
}

} // namespace

TEST(LenientReading, BrokenXmlKeepsItsEscapedCharacters) {
    // The first item's end tag is misspelt: everything after it is read
    // past an error, where libxml2 drops "&amp;" and its kind.
    Converted feed = convert("<rss><channel><item><title>first</titel></item>"
                             "<item><title>AT&amp;T &lt;b&gt; &quot;q&quot; &apos;a&apos; "
                             "&#38; bare & &nbsp;end</title>"
                             "<link>http://e/page?id=2&amp;lang=en</link></item></channel></rss>");
    ASSERT_TRUE(feed.ok) << feed.errorText;
    EXPECT_TRUE(feed.recovered);
    ASSERT_EQ(feed.items(), 2u);
    EXPECT_EQ(feed.item(1).attributeOr("Title"), "AT&T <b> \"q\" 'a' & bare & \xC2\xA0"
                                                 "end");
    EXPECT_EQ(feed.item(1).attributeOr("Href"), "http://e/page?id=2&lang=en");
}

TEST(LenientReading, OneBadJsonValueCostsThatValueOnly) {
    Converted feed =
        convert(jsonFeed("\"title\": \"bad \xFF byte\", ",
                         "{\"title\": \"huge\", \"size_in_bytes\": 1e400, \"tiny\": -1e-400, "
                         "\"url\": \"http://e/1\"},"
                         "{\"title\": \"bad \xC3 byte\", \"url\": \"http://e/2\"},"
                         "{\"title\": \"lone \\ud800 and \\udc00 pair \\ud83d\\ude00\"},"
                         "{\"title\": \"raw\ttab \\q escape\", \"tags\": [\"a\", \"b\",],},"
                         "\"not an object\", 42,"
                         "{\"title\": \"last\"},"));
    ASSERT_TRUE(feed.ok) << feed.errorText;
    ASSERT_EQ(feed.items(), 5u);
    EXPECT_EQ(feed.item(0).attributeOr("Title"), "huge");
    EXPECT_EQ(feed.item(0).attributeOr("Href"), "http://e/1");
    EXPECT_EQ(feed.item(1).attributeOr("Title"), "bad \xEF\xBF\xBD byte");
    EXPECT_EQ(feed.item(2).attributeOr("Title"),
              "lone \xEF\xBF\xBD and \xEF\xBF\xBD pair \xF0\x9F\x98\x80");
    EXPECT_EQ(feed.item(3).attributeOr("Title"), "raw\ttab \\q escape");
    EXPECT_EQ(feed.item(4).attributeOr("Title"), "last");
    EXPECT_FALSE(feed.recovered) << "recovered speaks of XML";
}

TEST(LenientReading, BytesThatAreNoJsonFeedSaySo) {
    Converted broken =
        convert("{\"version\": \"https://jsonfeed.org/version/1\",\n \"items\": [x]}");
    EXPECT_FALSE(broken.ok);
    EXPECT_EQ(broken.errorText, "加载错误:错误代码 0xC00CEF01 行:2,列:12,原因:JSON 格式错误");
    for (const char* other : {"[1, 2]", "{\"items\": [{\"title\": \"x\"}]}"}) {
        Converted notFeed = convert(other);
        EXPECT_FALSE(notFeed.ok);
        EXPECT_EQ(notFeed.errorText, "加载错误:错误代码 0xC00CEF02 行:0,列:0,原因:不是 JSON Feed");
    }
}

TEST(LenientReading, JsonFeedAddressesPassTheAddressPolicy) {
    std::string bytes = jsonFeed(
        "\"home_page_url\": \"javascript:alert(1)\", ",
        "{\"title\": \"script\", \"url\": \"java\\tscript:alert(2)\", \"content_text\": \"kept\"},"
        "{\"title\": \"second choice\", \"url\": \"data:text/html,x\", "
        "\"external_url\": \"https://e/2\"},"
        "{\"title\": \"local\", \"url\": \"file:///home/u/notes.html\"},"
        "{\"title\": \"hidden\", \"url\": \"java\\u0001script:alert(3)\"}");
    Converted web = convert(bytes);
    ASSERT_TRUE(web.ok) << web.errorText;
    EXPECT_EQ(web.doc.documentElement().attributeOr("Href"), "http://feeds.example/f");
    ASSERT_EQ(web.items(), 4u);
    EXPECT_FALSE(web.item(0).hasAttribute("Href"));
    EXPECT_EQ(web.item(0).attributeOr("Title"), "script");
    EXPECT_EQ(web.item(0).firstChild().text(), "kept");
    EXPECT_EQ(web.item(1).attributeOr("Href"), "https://e/2");
    EXPECT_FALSE(web.item(2).hasAttribute("Href"));
    EXPECT_FALSE(web.item(3).hasAttribute("Href"));

    // A feed read from a local file may name local files.
    Converted local = convert(bytes, "file:///home/u/feed.json");
    ASSERT_TRUE(local.ok) << local.errorText;
    EXPECT_EQ(local.item(2).attributeOr("Href"), "file:///home/u/notes.html");
    EXPECT_FALSE(local.item(0).hasAttribute("Href"));
}

TEST(LenientReading, JsonFeedMemberNamedTwiceCountsAsItsLast) {
    Converted feed =
        convert(jsonFeed("\"items\": [{\"title\": \"old\"}, {}], ", "{\"title\": \"new\"}"));
    ASSERT_TRUE(feed.ok) << feed.errorText;
    ASSERT_EQ(feed.items(), 1u);
    EXPECT_EQ(feed.item(0).attributeOr("Title"), "new");
}

TEST(LenientReading, BrokenDeclarationIsDroppedAndItsEncodingKept) {
    // "中文" in Big5 is also valid GB18030, of other characters: only the
    // declaration can tell them apart.
    const std::string feed = "<rss><channel><item><title>\xA4\xA4\xA4\xE5</title>"
                             "<link>http://e/1</link></item></channel></rss>";
    for (const std::string& declaration :
         {std::string("<?xml version=\"1.0\" encoding=\"big5\">"),
          std::string("<?xml version=\"1.0\" encoding=\"big5\"  "),
          std::string("<?xmlversion=\"1.0\" encoding=\"big5\"?>"),
          std::string("<?XML version=\"1.0\" encoding='big5'?>\n<?xml-stylesheet href=\"s\"?>"),
          std::string("\n\x1B\x1B\xEF\xBB\xBF  <?xml version=\"1.0\" encoding=\"big5\"?>")}) {
        std::string repaired = feeds::repairFeedText(declaration + "\n" + feed, "");
        EXPECT_EQ(repaired.rfind("<rss>", 0), 0u) << declaration << "\n" << repaired;
        Converted read = convert(declaration + feed);
        ASSERT_TRUE(read.ok) << declaration << ": " << read.errorText;
        EXPECT_TRUE(read.recovered);
        ASSERT_EQ(read.items(), 1u);
        EXPECT_EQ(read.item(0).attributeOr("Title"), "中文") << declaration;
    }
}
