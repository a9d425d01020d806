// Channel copies the tree shows keep their descriptions on disk: each is
// read when needed, from the file as it is now, and such a document is
// never written back.
#include "platform/HomeFolder.h"
#include "support/TempDir.h"
#include "tree/DescriptionsOnDisk.h"
#include "tree/NodeWriting.h"
#include "tree/TreeFormat.h"

#include <gtest/gtest.h>

namespace tree = kelvor::tree;
namespace xml = kelvor::xml;

namespace {

std::string entry(const std::string& name) {
    return "<TreeNode Title=\"" + name + "\" Href=\"http://n.test/" + name + "\"><Desc>&lt;p&gt;" +
           name + " text&lt;/p&gt;</Desc><TreeNode Title=\"inner " + name +
           "\"><Desc>inner</Desc></TreeNode></TreeNode>";
}

xml::Node nth(const xml::Document& doc, int index) {
    xml::Node node = doc.documentElement().firstChild();
    for (int i = 0; i < index; ++i)
        node = node.nextSibling();
    return node;
}

} // namespace

TEST(DescriptionsOnDisk, AreReadFromTheFileAsItIsNowAndTheDocumentIsNeverSaved) {
    kelvor::test::TempDir home;
    std::string copy =
        home.write("rss/c.xml", "<Tree Type=\"rss\">" + entry("a") + entry("b") + "</Tree>");
    xml::Document doc = xml::Document::create();
    ASSERT_TRUE(doc.load(copy));
    tree::leaveDescriptionsOnDisk(doc);
    EXPECT_EQ(tree::GetNodeDescription(nth(doc, 1)), ""); // gone from memory
    EXPECT_EQ(tree::descriptionOf(nth(doc, 1)), "<p>b text</p>");
    EXPECT_EQ(tree::descriptionOf(nth(doc, 1).firstChild().nextSibling()), "inner");

    // A download put a new entry first: b is found by its title and link.
    home.write("rss/c.xml", "<Tree Type=\"rss\">" + entry("new") + entry("a") + entry("b") +
                                "</Tree>");
    EXPECT_EQ(tree::descriptionOf(nth(doc, 1)), "<p>b text</p>");
    home.write("rss/c.xml", "<Tree Type=\"rss\">" + entry("a") + "</Tree>");
    EXPECT_EQ(tree::descriptionOf(nth(doc, 1)), ""); // left the feed

    EXPECT_FALSE(tree::saveOwnerDocument(nth(doc, 0)));
    xml::Document again = xml::Document::create();
    ASSERT_TRUE(again.load(copy));
    EXPECT_EQ(tree::GetNodeDescription(again.documentElement().firstChild()), "<p>a text</p>");
}

namespace {

// Every item of the document, depth first, as the tree shows it.
std::string looks(const xml::Node& parent) {
    std::string out;
    for (xml::Node node = parent.firstChild(); node; node = node.nextSibling()) {
        if (!node.nameIs("TreeNode"))
            continue;
        tree::ItemAppearance look = tree::appearanceOf(node, true);
        out += look.label + ":" + std::to_string(static_cast<int>(tree::itemKindOf(node))) + ":" +
               std::to_string(look.icon) + (look.expandable ? "+" : "") + " ";
        out += looks(node);
    }
    return out;
}

} // namespace

TEST(DescriptionsOnDisk, TheTreeSeesTheSameItemsWithoutThemAndTheirDates) {
    kelvor::test::TempDir home;
    std::string copy = home.write(
        "rss/c.xml",
        "<Tree Type=\"rss\">" + entry("a") +
            "<TreeNode Title=\"dated\" Href=\"http://n.test/d\" Date=\"Mon, 02 Jun 2025\">"
            "<Desc>only a description</Desc></TreeNode>"
            "<TreeNode Title=\"note\" Date=\"Tue, 03 Jun 2025\"><Desc>a note</Desc></TreeNode>"
            "<TreeNode Title=\"channel\" Rss=\"http://n.test/feed\"><Desc Title=\"headline\">"
            "latest</Desc></TreeNode></Tree>");
    xml::Document doc = xml::Document::create();
    ASSERT_TRUE(doc.load(copy));
    std::string before = looks(doc.documentElement());
    ASSERT_TRUE(tree::loadLeavingDescriptionsOnDisk(doc, copy));
    EXPECT_TRUE(tree::descriptionsOnDisk(doc));
    tree::leaveDatesOnDisk(doc);
    EXPECT_EQ(looks(doc.documentElement()), before);
    EXPECT_EQ(tree::descriptionOf(nth(doc, 1)), "only a description");
    EXPECT_EQ(tree::descriptionOf(nth(doc, 2)), "a note");
    EXPECT_EQ(tree::descriptionOf(nth(doc, 3)), "latest");
    EXPECT_FALSE(nth(doc, 1).hasAttribute("Date"));
    EXPECT_FALSE(nth(doc, 2).hasAttribute("Date"));

    // A document that keeps its descriptions keeps its dates too: it may be saved.
    xml::Document own = xml::Document::create();
    ASSERT_TRUE(own.loadXML("<Tree><TreeNode Title=\"t\" Date=\"d\"/></Tree>"));
    tree::leaveDatesOnDisk(own);
    EXPECT_TRUE(own.documentElement().firstChild().hasAttribute("Date"));
}
