// HTML's named character references: read as a page's text has them in a
// broken feed, as an attribute value has them in the text of HTML.
#include "feeds/DownloadTask.h"
#include "feeds/FeedReading.h"
#include "platform/HtmlText.h"
#include "platform/SourceBytes.h"

#include <gtest/gtest.h>

namespace feeds = kelvor::feeds;
namespace platform = kelvor::platform;
namespace xml = kelvor::xml;

TEST(HtmlReferences, ABrokenFeedReadsEveryNameAsAPageDoesButKeepsItsAddresses) {
    platform::SourceBytes source;
    source.url = "http://feeds.example/broken";
    source.bytes = "<rss><channel><title>T</title><item><title>"
                   "a&NotEqualTilde;b &COPY 2024 &hellip &hellip; &notit; &fjlig;ord &nbspx"
                   "</title><link>http://e.example/?a=1&notify=1&copy=2&amp=3</link>"
                   "</item></channel></rss>";
    feeds::DownloadTask task;
    task.title = "T";
    task.feedUrl = source.url;
    std::string text;
    feeds::FeedReport report;
    ASSERT_TRUE(feeds::convertFeedSource(
        source, task, [&text](const std::string& piece) { text += piece; }, &report))
        << task.errorText;
    EXPECT_TRUE(report.recovered);
    xml::Document doc = xml::Document::create();
    ASSERT_TRUE(doc.loadXML(text)) << text;
    xml::Node item = doc.documentElement().firstChild();
    while (item && !item.isElement())
        item = item.nextSibling();
    ASSERT_TRUE(item) << text;
    // Two code points; an old name without ";" (also in capitals); a newer
    // one only with it; the longest old name that starts a longer word.
    EXPECT_EQ(item.attributeOr("Title"),
              "a\u2242\u0338b \u00a9 2024 &hellip \u2026 \u00acit; fjord \u00a0x");
    EXPECT_EQ(item.attributeOr("Href"), "http://e.example/?a=1&notify=1&copy=2&amp=3");
}

TEST(HtmlReferences, TitlesAndTheIndexShareOneReadingOfHtml) {
    using platform::HtmlTextFor;
    EXPECT_EQ(
        platform::htmlToText("&NotEqualTilde; &AMP &fjlig; &notin; &notit;", HtmlTextFor::Title),
        "\u2242\u0338 & fj \u2209 &notit;");
    // Where they differ: inline tags, a bare "<", the no-break space.
    const std::string html = "<b>Bold</b>er&nbsp;1<!-- x > y --><script>if (a > b) c;</script> < 2";
    EXPECT_EQ(platform::htmlToText(html, HtmlTextFor::Title), "Bolder\u00a01 < 2");
    EXPECT_EQ(platform::htmlToText(html, HtmlTextFor::Index), "Bold er 1");
}
