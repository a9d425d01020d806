// Work bounded by the input: a document's own entities may not make it grow
// past a few times its size, no saved copy carries them, and running out of
// memory is a failure reported like any other.
#include "feeds/DownloadQueue.h"
#include "feeds/DownloadWorker.h"
#include "feeds/FeedReading.h"
#include "platform/SourceBytes.h"
#include "platform/XmlDom.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <new>

namespace feeds = kelvor::feeds;
namespace xml = kelvor::xml;
using kelvor::test::TempDir;

namespace {

const std::string kMegabyte(1 << 20, 'x');

std::string declaring(const std::string& root, const std::string& entities,
                      const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE " + root + " [" + entities + "]>\n" + body;
}

std::string repeated(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

bool convert(
    const std::string& bytes, feeds::DownloadTask& task, feeds::FeedReport& report,
    const feeds::TextSink& sink = [](const std::string&) {}) {
    kelvor::platform::SourceBytes source;
    source.bytes = bytes;
    source.url = "http://feeds.example/feed";
    task.sourceUrl = "http://feeds.example/channel";
    return feeds::convertFeedSource(source, task, sink, &report);
}

} // namespace

TEST(BoundedInput, EntitiesMayNotGrowADocumentPastAFewTimesItsSize) {
    const std::string big = "<!ENTITY big \"" + kMegabyte + "\">";
    // A megabyte named a hundred times was a hundred megabytes of text, in
    // content or in attribute values alike; a thousand times, a gigabyte.
    std::string inText = declaring(
        "rss", big,
        "<rss><channel>" + repeated("<item><title>&big;</title></item>", 100) + "</channel></rss>");
    std::string inAttributes =
        declaring("Tree", big, "<Tree>" + repeated("<TreeNode Title=\"&big;\"/>", 100) + "</Tree>");
    for (const std::string& bytes : {inText, inAttributes}) {
        xml::Document doc = xml::Document::create();
        EXPECT_FALSE(doc.loadBytes(bytes, "http://feeds.example/feed"));
        EXPECT_EQ(doc.parseError().errorCode, xml::kErrEntityExpansion);
    }

    // As a feed it fails with that error: the lenient reading would only
    // show the references as text and call it a repaired feed.
    feeds::DownloadTask task;
    feeds::FeedReport report;
    EXPECT_FALSE(convert(inText, task, report));
    EXPECT_FALSE(report.recovered);
    EXPECT_EQ(task.errorText.rfind("加载错误:错误代码 0xC00CE059 行:3,", 0), 0u) << task.errorText;
}

TEST(BoundedInput, EntitiesWithinBoundsBecomeContentAndNoCopyCarriesTheDtd) {
    TempDir dir;
    std::string tree = declaring(
        "Tree", "<!ENTITY co \"Kelvor &amp; Co\"><!ENTITY b \"<b>&co;</b>\"><!ENTITY none \"\">",
        "<Tree Title=\"&co; news\"><TreeNode Title=\"A &co;&none; B\">"
        "<Desc>x &b; y&none;</Desc></TreeNode></Tree>");
    xml::Document doc = xml::Document::create();
    ASSERT_TRUE(doc.loadBytes(tree, "http://e/t.xml")) << xml::formatParseError(doc.parseError());
    xml::Node root = doc.documentElement();
    EXPECT_EQ(root.attributeOr("Title"), "Kelvor & Co news");
    EXPECT_EQ(root.firstChild().attributeOr("Title"), "A Kelvor & Co B");
    xml::Node desc = root.firstChild().firstChild();
    EXPECT_EQ(desc.innerXml(), "x <b>Kelvor &amp; Co</b> y");
    EXPECT_EQ(desc.firstChild().text(), "x ") << "text beside an entity is one node";
    EXPECT_EQ(doc.xml().find("<!"), std::string::npos) << doc.xml();

    // A remote tree file's copy in url/ is read at every start: it must not
    // bring its declarations along.
    feeds::DownloadTask task;
    task.sourceUrl = dir.write("remote.xml", tree);
    task.cacheFile = dir.file("copy.xml");
    ASSERT_EQ(feeds::RunDownloadTask(task), 1) << task.errorText;
    std::string copy = dir.read("copy.xml");
    EXPECT_EQ(copy.find("<!"), std::string::npos) << copy;
    EXPECT_NE(copy.find("Title=\"A Kelvor &amp; Co B\""), std::string::npos) << copy;
}

TEST(BoundedInput, RunningOutOfMemoryIsAFailureNeverASuccess) {
    const std::string outOfMemory =
        "加载错误:错误代码 0x8007000E 行:0,列:0,原因:内存不足http://feeds.example/channel";
    // While converting: the channel gets the error, and nothing escapes.
    feeds::DownloadTask task;
    feeds::FeedReport report;
    bool converted = true;
    EXPECT_NO_THROW(converted =
                        convert("<rss><channel><item><title>t</title></item></channel></rss>", task,
                                report, [](const std::string&) { throw std::bad_alloc(); }));
    EXPECT_FALSE(converted);
    EXPECT_EQ(task.errorText, outOfMemory);

    // Anywhere else in a worker: the queue reports it, where it reported
    // "ok" with nothing saved.
    std::string reported = "not reported";
    feeds::DownloadQueue queue([&](feeds::DownloadTask& done) { reported = done.errorText; });
    queue.setWorkBody(
        [](feeds::DownloadTask&, const xml::LoadOptions&) -> int { throw std::bad_alloc(); });
    queue.QueueDownload({&reported, "t", "", "http://feeds.example/channel", "",
                         "http://feeds.example/feed", feeds::kKindFirstLoad});
    queue.runUntilEmpty();
    EXPECT_EQ(reported, outOfMemory);
}
