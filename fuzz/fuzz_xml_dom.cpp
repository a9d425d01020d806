// Arbitrary bytes through the DOM service the way a downloaded feed or a
// tree file goes: parse, walk every node, read what the tree reads, edit,
// serialise, and parse the serialised text again. A tree file whose saved
// form does not read back the same would lose the user's data on the next
// edit, so that is checked as strictly as a crash.
#include "FuzzSupport.h"
#include "platform/XmlDom.h"
#include "tree/TreeFormat.h"

#include <cstdint>
#include <string>

using namespace kelvor;

namespace {

constexpr const char* kKnownAttributes[] = {"Title",   "Href",  "NodeSrc", "Rss",
                                            "BaseURL", "Type",  "Expires", "Img",
                                            "Date",    "Index", "Home",    "About"};
constexpr const char* kTagNames[] = {"Tree", "TreeNode", "Desc", "item", "outline", "rss", "opml"};
constexpr size_t kMaxEditText = 4096;

// The charset a server might have sent along; derived from the size so a
// crash file reproduces on its own.
const char* httpCharsetFor(size_t size) {
    static const char* const charsets[] = {"",           "gb2312", "big5",
                                           "iso-8859-1", "utf-8",  "x-no-such-charset"};
    return charsets[size % (sizeof charsets / sizeof *charsets)];
}

// What must survive a save: element names in document order, the attributes
// the program reads, and every non-blank text.
struct Summary {
    std::string outline;
    size_t treeNodes = 0;
    bool lastWasText = false;
};

// Neighbouring text and CDATA nodes are one text: a save may write CDATA as
// escaped text (in an encoding that lacks some of its characters), and the
// parser then reads a single text node back.
void addText(Summary& summary, const std::string& text) {
    const std::string close = "\"\n";
    if (summary.lastWasText)
        summary.outline.resize(summary.outline.size() - close.size());
    else
        summary.outline += "  \"";
    summary.outline += text + close;
    summary.lastWasText = true;
}

void visit(const xml::Node& node, Summary& summary) {
    std::string name = node.nodeName();
    if (!node.isElement()) {
        // An empty text node (a description set to "") has nothing to save.
        bool isText = node.type() == xml::NodeType::Text || node.type() == xml::NodeType::CData;
        if (isText && !node.text().empty())
            addText(summary, node.text());
        return;
    }
    summary.lastWasText = false;
    if (node.nameIs("TreeNode"))
        ++summary.treeNodes;
    summary.outline += name;
    for (const char* attribute : kKnownAttributes) {
        if (auto value = node.attribute(attribute))
            summary.outline += std::string(" ") + attribute + "=" + *value;
    }
    summary.outline += '\n';
    // What the tree view asks of every item it shows.
    tree::appearanceOf(node, true);
    tree::appearanceOf(node, false);
    tree::GetNodeDescription(node);
}

// Pre-order, with the DOM's own navigation and no recursion.
Summary walk(const xml::Document& doc) {
    Summary summary;
    xml::Node root = doc.documentElement();
    xml::Node node = root;
    while (node) {
        visit(node, summary);
        if (node.hasChildNodes()) {
            node = node.firstChild();
            continue;
        }
        while (node != root && !node.nextSibling())
            node = node.parentNode();
        if (node == root)
            break;
        node = node.nextSibling();
    }
    return summary;
}

void checkTagSearch(const xml::Document& doc, const Summary& summary) {
    xml::Node root = doc.documentElement();
    std::vector<xml::Node> roots = doc.getElementsByTagName(root.nodeName().c_str());
    if (roots.empty() || roots.front() != root)
        kelvor::fuzz::fail("getElementsByTagName does not find the root first");
    if (doc.getElementsByTagName("TreeNode").size() != summary.treeNodes)
        kelvor::fuzz::fail("getElementsByTagName and the walk disagree on TreeNode elements");
    for (const char* tag : kTagNames) {
        for (const xml::Node& found : doc.getElementsByTagName(tag)) {
            if (!found.nameIs(tag))
                kelvor::fuzz::fail(std::string("getElementsByTagName returned another name for ") +
                                   tag);
        }
    }
}

// Edits the way the program does: attributes and descriptions from text
// that came out of a parsed document (always valid UTF-8), and a node moved
// out and back in.
void edit(xml::Document& doc) {
    xml::Node root = doc.documentElement();
    std::string text = root.text();
    if (text.size() > kMaxEditText)
        text.clear();
    xml::Node first = root.firstChild();
    xml::Node target = first && first.isElement() ? first : root;
    target.setAttribute("Title", text);
    xml::Node desc = doc.createElement("Desc");
    desc.setText(text);
    root.appendChild(desc);
    if (first) {
        root.removeChild(first);
        root.insertBefore(first, root.firstChild());
    }
}

void checkReadsBack(const std::string& saved, const Summary& expected, const std::string& url) {
    xml::Document again = xml::Document::create();
    if (!again.loadBytes(saved, url))
        kelvor::fuzz::fail("the saved document does not parse",
                           {xml::formatParseError(again.parseError()), saved.substr(0, 2000)});
    Summary reread = walk(again);
    if (reread.outline != expected.outline)
        kelvor::fuzz::fail("the saved document reads back differently",
                           {"before:\n" + expected.outline.substr(0, 2000),
                            "after:\n" + reread.outline.substr(0, 2000)});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string url = "file://" + kelvor::fuzz::scratchFolder() + "/feed.xml";
    xml::Document doc = xml::Document::create();
    if (!doc.loadBytes(std::string(reinterpret_cast<const char*>(data), size), url,
                       httpCharsetFor(size))) {
        xml::formatParseError(doc.parseError());
        return 0;
    }
    if (!doc.documentElement())
        kelvor::fuzz::fail("a document that loaded has no root");

    Summary loaded = walk(doc);
    checkTagSearch(doc, loaded);
    checkReadsBack(doc.xml(), loaded, url);

    // The tree keeps the attributes of the channel copies it shows packed:
    // reading, editing and saving must not tell.
    doc.packAttributes();
    if (walk(doc).outline != loaded.outline)
        kelvor::fuzz::fail("packed attributes read differently",
                           {"before:\n" + loaded.outline.substr(0, 2000)});

    edit(doc);
    Summary edited = walk(doc);
    checkReadsBack(doc.xml(), edited, url);
    doc.save(kelvor::fuzz::scratchFolder() + "/saved.xml");

    // Handles taken before a reload still read what they pointed at.
    xml::Node oldRoot = doc.documentElement();
    std::string oldName = oldRoot.nodeName();
    doc.loadBytes(std::string(reinterpret_cast<const char*>(data), size / 2), url);
    if (oldRoot.nodeName() != oldName)
        kelvor::fuzz::fail("a node changed when its document was loaded again");
    return 0;
}
