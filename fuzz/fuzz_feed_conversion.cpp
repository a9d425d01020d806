// A downloaded feed through the worker's reading and conversion: JSON Feed,
// OPML when the root is "opml", Atom, RSS otherwise, and the lenient second
// reading when the bytes do not parse. The first three lines of the input
// are the channel's title, link and feed address (as a tree file's
// attributes could hold them); the rest is the feed. Whatever they hold,
// the converted document must have its Tree root with the channel's texts
// intact, one TreeNode per item, outline or entry when the feed parsed as
// it came, and must read back after a save; a feed that gives nothing says
// so with a load error.
#include "FuzzSupport.h"
#include "TreeChecks.h"
#include "feeds/AtomConversion.h"
#include "feeds/DownloadTask.h"
#include "feeds/DownloadWorker.h"
#include "feeds/FeedReading.h"
#include "feeds/JsonFeedConversion.h"
#include "platform/SourceBytes.h"
#include "platform/XmlChars.h"
#include "platform/XmlDom.h"
#include "tree/TreeFormat.h"

#include <string>

using namespace kelvor;
using feeds::DownloadTask;

namespace {

enum Field { kTitle, kHref, kFeedUrl, kFeed, kFieldCount };

// What an attribute value can hold once a parser has read it: XML text,
// no NUL.
std::string asAttributeValue(const std::string& field) {
    return xml::toXmlText(field.c_str());
}

// A parser reads tab, line feed and carriage return in an attribute value as
// spaces (a CR LF pair as one).
std::string normalisedAttribute(std::string value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
            continue;
        out += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
    }
    return out;
}

void checkRootTexts(const xml::Document& converted, const DownloadTask& original, bool ownHref) {
    xml::Node root = converted.documentElement();
    if (!root || !root.nameIs("Tree"))
        kelvor::fuzz::fail("the converted document has no Tree root", {converted.xml()});
    std::string href = original.href.empty() ? original.feedUrl : original.href;
    if (tree::GetNodeAttribute(root, "Title") != normalisedAttribute(original.title) ||
        (!ownHref && tree::GetNodeAttribute(root, "Href") != normalisedAttribute(href)) ||
        tree::GetNodeAttribute(root, "BaseURL") != normalisedAttribute(original.feedUrl))
        kelvor::fuzz::fail("the channel's texts did not survive the escaping",
                           {"title: " + original.title, "href: " + href,
                            "feed: " + original.feedUrl,
                            "root: " + converted.xml().substr(0, 1000)});
}

// A feed that parsed as it came: one TreeNode per item, outline or entry.
void checkParsedFeed(const xml::Document& converted, const xml::Document& feed,
                     const DownloadTask& original) {
    bool opml = feed.documentElement().nameIs("opml");
    bool atom = !opml && feeds::isAtomFeed(feed);
    checkRootTexts(converted, original, atom);
    if (tree::GetNodeAttribute(converted.documentElement(), "Type") != (opml ? "Opml" : "rss"))
        kelvor::fuzz::fail("wrong Type on the converted root");
    size_t items = atom ? fuzz::atomEntriesOf(feed)
                        : feed.getElementsByTagName(opml ? "outline" : "item").size();
    if (converted.getElementsByTagName("TreeNode").size() != items)
        kelvor::fuzz::fail("not one TreeNode per item, outline or entry");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> fields = kelvor::fuzz::splitFields(data, size, kFieldCount);
    platform::SourceBytes source;
    source.bytes = fields[kFeed];
    source.url = "http://example.com/feed.xml";
    xml::Document feed = xml::Document::create();
    bool parsed = feed.loadBytes(source.bytes, source.url);

    DownloadTask task;
    task.title = asAttributeValue(fields[kTitle]);
    task.href = asAttributeValue(fields[kHref]);
    task.feedUrl = asAttributeValue(fields[kFeedUrl]);
    const DownloadTask original = task;
    std::string text;
    feeds::FeedReport report;
    if (!feeds::convertFeedSource(
            source, task, [&text](const std::string& piece) { text += piece; }, &report)) {
        if (parsed)
            kelvor::fuzz::fail("a loaded feed gives no tree file");
        if (task.errorText.rfind("加载错误:", 0) != 0)
            kelvor::fuzz::fail("an unreadable feed gives no load error", {task.errorText});
        return 0;
    }
    if (parsed && report.recovered)
        kelvor::fuzz::fail("a feed that parses was read leniently");
    xml::Document converted = kelvor::fuzz::parsedTree(text);
    if (parsed && !feeds::mayBeJson(source.bytes))
        checkParsedFeed(converted, feed, original);
    else
        checkRootTexts(converted, original, true);
    kelvor::fuzz::checkReadsBack(converted);
    return 0;
}
