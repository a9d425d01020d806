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
