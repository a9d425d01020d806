#include "TreeChecks.h"

#include "FuzzSupport.h"
#include "feeds/CacheFile.h"
#include "platform/AddressPolicy.h"
#include "tree/TreeFormat.h"

namespace kelvor::fuzz {
namespace {

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

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

void checkLink(const xml::Node& node, const char* name) {
    if (!node.hasAttribute(name))
        return;
    std::string link = node.attributeOr(name);
    std::string form = platform::browserForm(link);
    if (platform::acceptedAddress(link, platform::AddressOrigin::Web) != form)
        fail(std::string("a link from the web the address policy refuses: ") + name,
             {link.substr(0, 200)});
}

} // namespace

xml::Document parsedTree(const std::string& text) {
    xml::Document doc = xml::Document::create();
    if (!doc.loadXML(text))
        fail("the converted tree file does not parse",
             {xml::formatParseError(doc.parseError()), text.substr(0, 2000)});
    if (!doc.documentElement().nameIs("Tree"))
        fail("the converted document has no Tree root", {text.substr(0, 2000)});
    return doc;
}

void checkReadsBack(const xml::Document& doc) {
    std::string path = scratchFolder() + "/converted.xml";
    feeds::saveCacheFile(doc, path);
    xml::Document again = xml::Document::create();
    if (!again.load(path))
        fail("the saved cache file does not load", {xml::formatParseError(again.parseError())});
    if (itemsOf(again) != itemsOf(doc))
        fail("the saved cache file reads back differently");
}

void checkLinksFromTheWeb(const xml::Document& doc) {
    checkLink(doc.documentElement(), "Href");
    for (const xml::Node& node : doc.getElementsByTagName("TreeNode")) {
        checkLink(node, "Href");
        checkLink(node, "Rss");
    }
}

void checkBounded(size_t output, size_t input, size_t factor, const char* what, size_t items) {
    if (output > input * factor + 4096 + items * 64)
        fail(std::string(what) + " is out of proportion to its input",
             {std::to_string(output) + " bytes from " + std::to_string(input)});
}

size_t atomEntriesOf(const xml::Document& feed) {
    xml::Node root = feed.documentElement();
    std::string ns = root.namespaceUri();
    size_t entries = 0;
    for (xml::Node child = root.firstChild(); child; child = child.nextSibling())
        entries += child.isElementNs("entry", ns.c_str()) ? 1 : 0;
    return entries;
}

} // namespace kelvor::fuzz
