// Lenient readings keep what they can: a broken XML feed keeps its escaped
// characters.
#include "feeds/FeedReading.h"
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
