// An Atom feed (1.0 or 0.3) from the web through its conversion. Bytes that
// load as an Atom feed give a tree file that parses, holds one TreeNode per
// entry, keeps every link (entries' and the feed's own page) within the
// address policy, stays in proportion to the feed and reads back after a
// save; anything else is declined with the task left as it was.
#include "FuzzSupport.h"
#include "TreeChecks.h"
#include "feeds/AtomConversion.h"
#include "feeds/DownloadTask.h"
#include "platform/XmlDom.h"

#include <string>

using namespace kelvor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    xml::Document feed = xml::Document::create();
    if (!feed.loadBytes(bytes, "https://example.com/atom.xml"))
        return 0;
    feeds::DownloadTask task;
    task.title = "频道";
    task.feedUrl = "https://example.com/atom.xml";
    const feeds::DownloadTask original = task;
    std::string text;
    bool atom = feeds::isAtomFeed(feed);
    if (feeds::ConvertAtomToTreeText(feed, task,
                                     [&text](const std::string& piece) { text += piece; }) != atom)
        fuzz::fail("the conversion and isAtomFeed disagree");
    if (!atom) {
        if (!text.empty() || task.href != original.href || task.title != original.title)
            fuzz::fail("a declined feed still wrote or changed something");
        return 0;
    }
    fuzz::checkBounded(text.size(), size, 8, "the tree file of an Atom feed");
    xml::Document converted = fuzz::parsedTree(text);
    if (converted.getElementsByTagName("TreeNode").size() != fuzz::atomEntriesOf(feed))
        fuzz::fail("not one TreeNode per entry");
    fuzz::checkLinksFromTheWeb(converted);
    fuzz::checkReadsBack(converted);
    return 0;
}
