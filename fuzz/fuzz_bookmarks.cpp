// A browser's bookmarks file, written by anyone, through the walk that makes
// a category of it. Whatever the bytes: the report counts exactly the links
// and folders made, folders nest no deeper than allowed, no more items than
// allowed are made, every link passes the address policy for the web, the
// notes print nothing but text, and the category reads back with the same
// items.
#include "FuzzSupport.h"
#include "TreeChecks.h"
#include "feeds/BookmarksImport.h"
#include "feeds/CategoryImport.h"
#include "platform/XmlDom.h"

#include <algorithm>
#include <string>

using namespace kelvor;

namespace {

struct Count {
    int links = 0;
    int folders = 0;
    int depth = 0;
};

void countUnder(const xml::Node& parent, int depth, Count& count) {
    for (xml::Node node = parent.firstChild(); node; node = node.nextSibling()) {
        if (!node.nameIs("TreeNode"))
            continue;
        if (node.hasAttribute("Href")) {
            ++count.links;
            continue;
        }
        ++count.folders;
        count.depth = std::max(count.depth, depth + 1);
        countUnder(node, depth + 1, count);
    }
}

void checkNotes(const feeds::ImportReport& report) {
    for (const std::string& note : report.notes) {
        for (char c : note) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                fuzz::fail("a note carries a control character", {note.substr(0, 200)});
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string html(reinterpret_cast<const char*>(data), size);
    xml::Document category = xml::Document::create();
    if (!category.loadXML("<Tree Type=\"fav\" Title=\"导入\"/>"))
        fuzz::fail("the empty category does not parse");
    feeds::ImportReport report;
    bool found = feeds::appendBookmarks(html, category, category.documentElement(), report);

    Count count;
    countUnder(category.documentElement(), 0, count);
    if (count.links != report.added || count.folders != report.folders)
        fuzz::fail("the report counts other items than were made",
                   {std::to_string(report.added) + " links, " + std::to_string(report.folders) +
                    " folders reported; " + std::to_string(count.links) + " and " +
                    std::to_string(count.folders) + " made"});
    if (found != (count.links + count.folders > 0))
        fuzz::fail("a file said to hold bookmarks holds none, or the other way round");
    if (count.depth > feeds::kMaxImportDepth)
        fuzz::fail("folders nest deeper than allowed", {std::to_string(count.depth)});
    if (count.links + count.folders > feeds::kMaxImportItems)
        fuzz::fail("more items than an import may make");
    checkNotes(report);
    fuzz::checkLinksFromTheWeb(category);
    fuzz::checkReadsBack(category);
    return 0;
}
