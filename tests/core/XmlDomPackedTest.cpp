// Document::packAttributes changes the memory a document takes, nothing
// else: every test runs the same steps on a packed and an unpacked copy of
// one document and wants the same answers and the same bytes saved.
#include "platform/XmlDom.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace kelvor::xml;
using kelvor::test::TempDir;

namespace {

const char* const kCopy =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<Tree Type=\"rss\" Title=\"频道\">"
    "<TreeNode Title=\"a &amp; b &lt;c&gt; &quot;q&quot; &#x4E2D;文\" "
    "Href=\"http://x/?a=1&amp;b=2\""
    " Date=\"\"><Desc/></TreeNode>"
    "<TreeNode Title=\"folder\"><Desc>d</Desc><TreeNode Title=\"child\" Href=\"h\"/></TreeNode>"
    "<Note>no attributes</Note>"
    "<TreeNode xmlns:o=\"urn:o\" xml:base=\"http://base/\" o:x=\"1\" Title=\"namespaced\"/>"
    "<TreeNode Title=\"last\" Href=\"l\"/>"
    "</Tree>";

const char* const kNames[] = {"Type", "Title", "Href", "Date", "Missing"};

// Every element's attributes as the API reads them.
std::string attributesOf(const Document& doc) {
    std::string out;
    for (const char* tag : {"Tree", "TreeNode", "Desc", "Note"}) {
        for (const Node& node : doc.getElementsByTagName(tag)) {
            out += tag + std::string(node.hasAttributes() ? "+" : "-") + node.xmlBase();
            for (const char* name : kNames) {
                if (node.hasAttribute(name) != node.attribute(name).has_value())
                    out += "!";
                if (auto value = node.attribute(name))
                    out += std::string(" ") + name + "=[" + *value + "]";
            }
            out += "\n";
        }
    }
    return out;
}

struct Pair {
    Document plain = Document::create();
    Document packed = Document::create();

    Pair() {
        EXPECT_TRUE(plain.loadXML(kCopy));
        EXPECT_TRUE(packed.loadXML(kCopy));
        packed.packAttributes();
    }
};

Node entry(const Document& doc, int index) {
    return doc.getElementsByTagName("TreeNode").at(static_cast<size_t>(index));
}

} // namespace

TEST(XmlDomPacked, ReadsTheSameValuesAndSavesTheSameBytes) {
    Pair pair;
    std::string expected = attributesOf(pair.plain);
    EXPECT_NE(expected.find("Title=[a & b <c> \"q\" 中文] Href=[http://x/?a=1&b=2] Date=[]"),
              std::string::npos)
        << expected;
    EXPECT_NE(expected.find("Note-\n"), std::string::npos) << expected;
    EXPECT_NE(expected.find("TreeNode+http://base/ Title=[namespaced]"), std::string::npos);
    EXPECT_EQ(attributesOf(pair.packed), expected);
    EXPECT_EQ(entry(pair.packed, 1).innerXml(), entry(pair.plain, 1).innerXml());

    TempDir dir;
    pair.plain.save(dir.file("plain.xml"));
    pair.packed.save(dir.file("packed.xml"));
    EXPECT_EQ(dir.read("packed.xml"), dir.read("plain.xml"));
    // The save brought the attributes back; a second packing reads the same.
    pair.packed.packAttributes();
    EXPECT_EQ(attributesOf(pair.packed), expected);
}

TEST(XmlDomPacked, EditsGiveTheSameDocument) {
    Pair pair;
    for (Document doc : {pair.plain, pair.packed}) {
        Node root = doc.documentElement();
        entry(doc, 0).setAttribute("Title", "新的 & <title>");
        entry(doc, 0).setAttribute("Added", "x");
        entry(doc, 0).removeAttribute("Date");
        entry(doc, 0).removeAttribute("Missing");
        entry(doc, 2).removeAttribute("Title");
        root.removeAttribute("Type");
        root.freeChild(entry(doc, 4));                // "last"
        Node moved = root.removeChild(entry(doc, 1)); // with its packed child
        Node created = doc.createElement("TreeNode");
        created.setAttribute("Title", "");
        root.insertBefore(created, root.firstChild());
        root.appendChild(moved);
    }
    EXPECT_EQ(attributesOf(pair.packed), attributesOf(pair.plain));
    EXPECT_EQ(pair.packed.xml(), pair.plain.xml());
}

TEST(XmlDomPacked, DetachedAndReloadedContentStaysReadable) {
    Pair pair;
    Node root = pair.packed.documentElement();
    Node removed = root.removeChild(entry(pair.packed, 1));
    Node child = removed.firstChild().nextSibling();
    root.freeChild(root.firstChild());
    pair.packed.xml(); // unpacks the detached subtree too, and drops the records
    EXPECT_EQ(child.attributeOr("Href"), "h");

    pair.packed.packAttributes();
    Node kept = entry(pair.packed, 1);
    ASSERT_TRUE(pair.packed.loadXML("<Tree Title=\"other\"/>")); // kept holds the old content
    EXPECT_EQ(kept.attributeOr("Title"), "last");
    EXPECT_EQ(pair.packed.documentElement().attributeOr("Title"), "other");
}
