// A downloaded feed through the worker's conversion: OPML when the root is
// "opml", RSS otherwise. The first three lines of the input are the
// channel's title, link and feed address (as a tree file's attributes could
// hold them); the rest is the feed. Whatever they hold, the converted
// document must have its Tree root with the channel's texts intact, one
// TreeNode per item or outline, and must read back after a save.
#include "FuzzSupport.h"
#include "feeds/CacheFile.h"
#include "feeds/DownloadTask.h"
#include "feeds/DownloadWorker.h"
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
std::string asAttributeValue(const std::string& field) { return xml::toXmlText(field.c_str()); }

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

void checkRoot(const xml::Document& converted, const xml::Document& feed, const DownloadTask& original) {
    xml::Node root = converted.documentElement();
    if (!root || !root.nameIs("Tree"))
        kelvor::fuzz::fail("the converted document has no Tree root", {converted.xml()});
    bool opml = feed.documentElement().nameIs("opml");
    if (tree::GetNodeAttribute(root, "Type") != (opml ? "Opml" : "rss"))
        kelvor::fuzz::fail("wrong Type on the converted root");
    std::string href = original.href.empty() ? original.feedUrl : original.href;
    if (tree::GetNodeAttribute(root, "Title") != normalisedAttribute(original.title) ||
        tree::GetNodeAttribute(root, "Href") != normalisedAttribute(href) ||
        tree::GetNodeAttribute(root, "BaseURL") != normalisedAttribute(original.feedUrl))
        kelvor::fuzz::fail("the channel's texts did not survive the escaping",
                           {"title: " + original.title, "href: " + href, "feed: " + original.feedUrl,
                            "root: " + converted.xml().substr(0, 1000)});
    const char* itemName = opml ? "outline" : "item";
    size_t items = feed.getElementsByTagName(itemName).size();
    if (converted.getElementsByTagName("TreeNode").size() != items)
        kelvor::fuzz::fail(std::string("not one TreeNode per ") + itemName);
}

bool isBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

// The items as the tree shows them. A description of nothing but blanks is
// dropped on reading, as every blank text is.
std::string itemsOf(const xml::Document& doc) {
    std::string out;
    for (const xml::Node& node : doc.getElementsByTagName("TreeNode")) {
        for (const char* name : {"Title", "Href", "Date", "Rss"})
            out += std::string(name) + "=" + tree::GetNodeAttribute(node, name) + "\n";
        for (xml::Node desc = node.firstChild(); desc; desc = desc.nextSibling()) {
            if (!isBlank(desc.text()))
                out += "Desc=" + desc.text() + "\n";
        }
    }
    return out;
}

void checkReadsBack(const xml::Document& converted) {
    std::string path = kelvor::fuzz::scratchFolder() + "/converted.xml";
    feeds::saveCacheFile(converted, path);
    xml::Document again = xml::Document::create();
    if (!again.load(path))
        kelvor::fuzz::fail("the saved cache file does not load", {xml::formatParseError(again.parseError())});
    if (itemsOf(again) != itemsOf(converted))
        kelvor::fuzz::fail("the saved cache file reads back differently");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> fields = kelvor::fuzz::splitFields(data, size, kFieldCount);
    xml::Document feed = xml::Document::create();
    if (!feed.loadBytes(fields[kFeed], "http://example.com/feed.xml"))
        return 0;

    DownloadTask task;
    task.title = asAttributeValue(fields[kTitle]);
    task.href = asAttributeValue(fields[kHref]);
    task.feedUrl = asAttributeValue(fields[kFeedUrl]);
    const DownloadTask original = task;
    std::string text;
    if (!feeds::convertFeedToText(feed, task, [&text](const std::string& piece) { text += piece; }))
        kelvor::fuzz::fail("a loaded feed gives no tree file");
    xml::Document converted = xml::Document::create();
    if (!converted.loadXML(text))
        kelvor::fuzz::fail("the converted tree file does not parse",
                           {xml::formatParseError(converted.parseError()), text.substr(0, 2000)});
    checkRoot(converted, feed, original);
    checkReadsBack(converted);
    return 0;
}
