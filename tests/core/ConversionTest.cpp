// The RSS and OPML conversions against golden files kept beside their
// inputs in fixtures/feeds. KELVOR_UPDATE_GOLDEN=1 rewrites the expected
// files from the current output (review the diff before committing).
#include "feeds/DownloadTask.h"
#include "feeds/DownloadWorker.h"
#include "feeds/EscapeXmlText.h"
#include "feeds/OpmlConversion.h"
#include "feeds/RssConversion.h"
#include "support/Golden.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace feeds = kelvor::feeds;
namespace xml = kelvor::xml;
using kelvor::test::TempDir;

using kelvor::test::expectGolden;

namespace {

const std::string kFixtures = std::string(KELVOR_TEST_FIXTURES) + "/feeds/";

xml::Document loadFixture(const std::string& name) {
    xml::Document doc = xml::Document::create();
    EXPECT_TRUE(doc.load(kFixtures + name)) << xml::formatParseError(doc.parseError());
    return doc;
}

feeds::DownloadTask channelTask(const std::string& title = "Channel",
                                const std::string& href = "") {
    feeds::DownloadTask task;
    task.title = title;
    task.href = href;
    task.feedUrl = "http://feeds.example/list?a=1&b=2";
    return task;
}

// What the worker writes for a feed, read back as a document (null when the
// conversion gives nothing).
xml::Document convertedFeed(const xml::Document& source, feeds::DownloadTask& task,
                            std::string* text = nullptr) {
    std::string written;
    if (!feeds::convertFeedToText(source, task, [&written](const std::string& piece) { written += piece; }))
        return {};
    if (text)
        *text = written;
    xml::Document doc = xml::Document::create();
    EXPECT_TRUE(doc.loadXML(written)) << written;
    return doc;
}

} // namespace

TEST(EscapeXmlText, EscapesAmpersandFirstThenTheOthers) {
    std::string text = "a&b<c>d\"e'f&amp;";
    feeds::EscapeXmlText(text);
    EXPECT_EQ(text, "a&amp;b&lt;c&gt;d&quot;e&apos;f&amp;amp;");
    std::string plain = "nothing to do";
    feeds::EscapeXmlText(plain);
    EXPECT_EQ(plain, "nothing to do");
}

TEST(RssConversion, ItemsBecomeTreeNodesByTheirChildNames) {
    feeds::DownloadTask task = channelTask("Example channel", "http://example.com/");
    std::string text;
    ASSERT_TRUE(feeds::ConvertRssToTreeText(loadFixture("rss-items.xml"), task, text));
    expectGolden(text, "rss-items.expected.xml");
}

TEST(RssConversion, ItemsAtAnyDepthInDocumentOrder) {
    feeds::DownloadTask task = channelTask("RDF channel");
    std::string text;
    xml::Document converted = convertedFeed(loadFixture("rdf-nested.xml"), task, &text);
    expectGolden(text, "rdf-nested.expected.xml");
    // No Href of its own: the feed address stands in.
    EXPECT_EQ(converted.documentElement().attributeOr("Href"), "http://feeds.example/list?a=1&b=2");
}

TEST(RssConversion, AwkwardChannelTitleSurvivesAndTaskHoldsEscapedTexts) {
    feeds::DownloadTask task = channelTask("Tom & Jerry's <\"best\">", "http://x/?a=1&b=2");
    xml::Document source = xml::Document::create();
    ASSERT_TRUE(source.loadXML("<rss><channel/></rss>"));
    xml::Document converted = convertedFeed(source, task);
    ASSERT_FALSE(converted.documentElement().isNull());

    TempDir dir;
    converted.save(dir.file("saved.xml"));
    xml::Document again = xml::Document::create();
    ASSERT_TRUE(again.load(dir.file("saved.xml")));
    xml::Node root = again.documentElement();
    EXPECT_EQ(root.attributeOr("Title"), "Tom & Jerry's <\"best\">");
    EXPECT_EQ(root.attributeOr("Href"), "http://x/?a=1&b=2");
    EXPECT_EQ(root.attributeOr("Type"), "rss");
    EXPECT_FALSE(root.hasChildNodes()) << "no items, no children";

    EXPECT_EQ(task.title, "Tom &amp; Jerry&apos;s &lt;&quot;best&quot;&gt;");
    EXPECT_EQ(task.href, "http://x/?a=1&amp;b=2");
    EXPECT_EQ(task.feedUrl, "http://feeds.example/list?a=1&amp;b=2");
}

TEST(OpmlConversion, OutlinesBecomeSiblingChannels) {
    feeds::DownloadTask task = channelTask("Subscriptions");
    xml::Document converted = feeds::ConvertOpmlToTree(loadFixture("opml-two-level.opml"), task);
    expectGolden(converted.xml(), "opml-two-level.expected.xml");
    xml::Node root = converted.documentElement();
    EXPECT_EQ(root.attributeOr("Type"), "Opml");
    EXPECT_EQ(root.attributeOr("BaseURL"), "http://feeds.example/list?a=1&b=2");
}

TEST(OpmlConversion, OnlyAnExactOpmlRootIsConverted) {
    feeds::DownloadTask task = channelTask("Caps & co");
    xml::Document source = loadFixture("opml-capital-root.opml");
    EXPECT_TRUE(feeds::ConvertOpmlToTree(source, task).isNull());
    EXPECT_EQ(task.title, "Caps & co") << "the task is left alone";
    // The worker goes on with RSS, which finds no item elements.
    xml::Document converted = convertedFeed(source, task);
    EXPECT_EQ(converted.documentElement().attributeOr("Type"), "rss");
    EXPECT_FALSE(converted.documentElement().hasChildNodes());
}

TEST(Conversion, NullSourceGivesNoDocument) {
    feeds::DownloadTask task = channelTask();
    std::string text;
    EXPECT_FALSE(feeds::ConvertRssToTreeText(xml::Document(), task, text));
    EXPECT_TRUE(feeds::ConvertOpmlToTree(xml::Document(), task).isNull());
}

TEST(RssConversion, AwkwardTextsReadBackExactly) {
    // Tabs, carriage returns and markup characters in every field: the
    // written text escapes them so that a parser gives the same text back.
    const std::string desc = "line\r\nbreak\ttab <p> \"q\" 'a' ]]>";
    xml::Document source = xml::Document::create();
    ASSERT_TRUE(source.loadXML(
        "<rss><channel><item><title>tab\there, cr&#13;here\nnewline &amp; \"q\" 'a' &lt;&gt; "
        "中文</title>"
        "<link>http://x/?a=1&amp;b=2</link><description></description>"
        "<description>line&#13;\nbreak\ttab &lt;p&gt; \"q\" 'a' ]]&gt;</description>"
        "<title>replaced</title><pubDate/></item><item/></channel></rss>"));
    feeds::DownloadTask task = channelTask("Example channel with & 'odd' <\"title\">");
    xml::Document converted = convertedFeed(source, task);
    xml::Node root = converted.documentElement();
    EXPECT_EQ(root.attributeOr("Title"), "Example channel with & 'odd' <\"title\">");
    xml::Node item = root.firstChild();
    ASSERT_TRUE(item);
    EXPECT_EQ(item.attributeOr("Title"), "replaced");
    EXPECT_EQ(item.attributeOr("Href"), "http://x/?a=1&b=2");
    std::vector<xml::Node> descs = converted.getElementsByTagName("Desc");
    ASSERT_EQ(descs.size(), 2u);
    EXPECT_EQ(descs[0].text(), "");
    EXPECT_EQ(descs[1].text(), desc);
    ASSERT_TRUE(item.nextSibling()) << "an empty item is still an entry";
    EXPECT_FALSE(item.nextSibling().hasChildNodes());
}

TEST(RssConversion, ATitleThatCannotBeParsedFails) {
    xml::Document source = loadFixture("rss-items.xml");
    feeds::DownloadTask task = channelTask("bell \x07 title");
    std::string text;
    EXPECT_THROW(feeds::ConvertRssToTreeText(source, task, text), xml::DomError);
}
