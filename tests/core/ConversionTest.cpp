// The RSS and OPML conversions against golden files kept beside their
// inputs in fixtures/feeds. KELVOR_UPDATE_GOLDEN=1 rewrites the expected
// files from the current output (review the diff before committing).
#include "feeds/DownloadTask.h"
#include "feeds/DownloadWorker.h"
#include "feeds/EscapeXmlText.h"
#include "feeds/OpmlConversion.h"
#include "feeds/RssConversion.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace feeds = kelvor::feeds;
namespace xml = kelvor::xml;
using kelvor::test::TempDir;

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

void expectGolden(const xml::Document& converted, const std::string& expectedName) {
    ASSERT_FALSE(converted.isNull());
    std::string actual = converted.xml();
    std::string path = kFixtures + expectedName;
    if (const char* update = std::getenv("KELVOR_UPDATE_GOLDEN"); update && *update == '1') {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    EXPECT_EQ(actual, kelvor::test::readFile(path)) << "golden file " << expectedName;
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
    expectGolden(feeds::ConvertRssToTree(loadFixture("rss-items.xml"), task),
                 "rss-items.expected.xml");
}

TEST(RssConversion, ItemsAtAnyDepthInDocumentOrder) {
    feeds::DownloadTask task = channelTask("RDF channel");
    xml::Document converted = feeds::ConvertRssToTree(loadFixture("rdf-nested.xml"), task);
    expectGolden(converted, "rdf-nested.expected.xml");
    // No Href of its own: the feed address stands in.
    EXPECT_EQ(converted.documentElement().attributeOr("Href"), "http://feeds.example/list?a=1&b=2");
}

TEST(RssConversion, AwkwardChannelTitleSurvivesAndTaskHoldsEscapedTexts) {
    feeds::DownloadTask task = channelTask("Tom & Jerry's <\"best\">", "http://x/?a=1&b=2");
    xml::Document source = xml::Document::create();
    ASSERT_TRUE(source.loadXML("<rss><channel/></rss>"));
    xml::Document converted = feeds::ConvertRssToTree(source, task);
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
    expectGolden(converted, "opml-two-level.expected.xml");
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
    xml::Document converted = feeds::convertFeed(source, task);
    EXPECT_EQ(converted.documentElement().attributeOr("Type"), "rss");
    EXPECT_FALSE(converted.documentElement().hasChildNodes());
}

TEST(Conversion, NullSourceGivesNoDocument) {
    feeds::DownloadTask task = channelTask();
    EXPECT_TRUE(feeds::ConvertRssToTree(xml::Document(), task).isNull());
    EXPECT_TRUE(feeds::ConvertOpmlToTree(xml::Document(), task).isNull());
}

TEST(RssConversion, TheWorkersTextIsExactlyWhatSavingTheDocumentWrites) {
    xml::Document awkward = xml::Document::create();
    ASSERT_TRUE(awkward.loadXML(
        "<rss><channel><item><title>tab\there, cr&#13;here\nnewline &amp; \"q\" 'a' &lt;&gt; "
        "中文</title>"
        "<link>http://x/?a=1&amp;b=2</link><description></description>"
        "<description>line&#13;\nbreak\ttab &lt;p&gt; \"q\" 'a' ]]&gt;</description>"
        "<title>replaced</title><pubDate/></item><item/></channel></rss>"));
    std::vector<std::pair<xml::Document, std::string>> sources = {
        {loadFixture("rss-items.xml"), "Example\tchannel\r\nwith & 'odd' <\"title\">"},
        {loadFixture("rdf-nested.xml"), ""},
        {awkward, "中文频道"},
    };
    for (auto& [source, title] : sources) {
        feeds::DownloadTask forDom = channelTask(title);
        feeds::DownloadTask forText = channelTask(title);
        std::string text;
        ASSERT_TRUE(feeds::ConvertRssToTreeText(source, forText, text));
        EXPECT_EQ(text, feeds::ConvertRssToTree(source, forDom).xml()) << title;
        EXPECT_EQ(forText.title, forDom.title);
    }
    xml::Document noItems = xml::Document::create();
    ASSERT_TRUE(noItems.loadXML("<rss/>"));
    feeds::DownloadTask a = channelTask(), b = channelTask();
    std::string text;
    ASSERT_TRUE(feeds::ConvertRssToTreeText(noItems, a, text));
    EXPECT_EQ(text, feeds::ConvertRssToTree(noItems, b).xml());
}

TEST(RssConversion, ATitleThatCannotBeParsedFailsBothWays) {
    xml::Document source = loadFixture("rss-items.xml");
    feeds::DownloadTask forDom = channelTask("bell \x07 title");
    feeds::DownloadTask forText = forDom;
    EXPECT_THROW(feeds::ConvertRssToTree(source, forDom), xml::DomError);
    std::string text;
    EXPECT_THROW(feeds::ConvertRssToTreeText(source, forText, text), xml::DomError);
}
