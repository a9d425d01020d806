// OPML out of a collection and into a category file: what other readers
// exchange, a round trip, and lists that are broken or hostile.
#include "feeds/OpmlExport.h"
#include "feeds/OpmlImport.h"
#include "support/TempDir.h"
#include "tree/NodeWriting.h"
#include "tree/TreeFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace feeds = kelvor::feeds;
namespace xml = kelvor::xml;
namespace fs = std::filesystem;
namespace tree = kelvor::tree;
using kelvor::test::TempDir;

namespace {

// "title{...}" per folder outline, "title<xmlUrl>" per channel, for the body
// of an OPML list or the root of a tree file.
std::string shape(const xml::Node& parent) {
    std::string text;
    for (xml::Node node = parent.firstChild(); node; node = node.nextSibling()) {
        if (!node.nameIs("outline") && !node.nameIs("TreeNode"))
            continue;
        std::string title = node.attributeOr(node.nameIs("outline") ? "text" : "Title");
        std::string feed = node.attributeOr(node.nameIs("outline") ? "xmlUrl" : "Rss");
        text += feed.empty() && !node.hasAttribute("Href") ? title + "{" + shape(node) + "}"
                                                           : title + "<" + feed + ">";
    }
    return text;
}

xml::Node body(const xml::Document& opml) {
    return opml.documentElement().firstChild().nextSibling();
}

xml::Document loadTree(const std::string& path) {
    xml::Document doc = xml::Document::create();
    EXPECT_TRUE(doc.load(path)) << path;
    return doc;
}

} // namespace

TEST(OpmlInOut, StarterCollectionRoundTripsThroughAnEmptyHome) {
    TempDir source, target;
    fs::copy(KELVOR_SOURCE_DATA_DIR, source.path(), fs::copy_options::recursive);
    xml::Document exported = feeds::exportOpml(source.file("index.xml"), source.path());
    std::string before = shape(body(exported));
    // The starter collection's folders and channels, relative feeds made absolute.
    EXPECT_NE(before.find("我的收藏{Planet Debian<https://planet.debian.org/rss20.xml>}"),
              std::string::npos)
        << before;
    EXPECT_EQ(before.find("kelvor-news.xml"), std::string::npos) << "a local file is left out";
    EXPECT_EQ(before.find("常用链接"), std::string::npos)
        << "a folder of links only is no channel folder";

    source.write("exported.opml", exported.xml());
    target.write("fav/fav.xml", "<Tree Type=\"fav\" Title=\"我的收藏\"/>");
    feeds::ImportReport report =
        feeds::importOpmlFile(source.file("exported.opml"), target.path(), "fav/imported.xml");
    ASSERT_EQ(report.error, "");
    EXPECT_TRUE(report.notes.empty()) << report.summary();
    EXPECT_EQ(report.duplicates, 0);
    xml::Document again = feeds::exportOpml(target.file("fav/imported.xml"), target.path());
    EXPECT_EQ(shape(body(again)), before);
    // The new category is listed under 我的收藏 at once, so the tree shows it.
    xml::Node listed = loadTree(target.file("fav/fav.xml")).documentElement().firstChild();
    EXPECT_EQ(listed.attributeOr("Title"), "万象汇览");
    EXPECT_EQ(listed.attributeOr("NodeSrc"), "/fav/imported.xml");
}

TEST(OpmlInOut, ExportFollowsOnlyTheUsersOwnFilesAndSurvivesLoops) {
    TempDir root;
    root.write("outside.xml", "<Tree><TreeNode Title=\"outside\" Rss=\"http://h/o\"/></Tree>");
    root.write("home/index.xml",
               "<Tree><TreeNode Title=\"A\" NodeSrc=\"/fav/a.xml\"/>"
               "<TreeNode Title=\"Cached\" NodeSrc=\"rss/copy.xml\"/>"
               "<TreeNode Title=\"Outside\" NodeSrc=\"../outside.xml\"/>"
               "<TreeNode Title=\"Absolute\" NodeSrc=\"file://" +
                   root.file("outside.xml") +
                   "\"/>"
                   "<TreeNode Title=\"Web\" NodeSrc=\"http://127.0.0.1:9/t.xml\"/>"
                   "<TreeNode Title=\"Fav\" Rss=\"x$FAVORITES\"/></Tree>");
    root.write("home/fav/a.xml", "<Tree Type=\"fav\"><TreeNode Title=\"one\" Rss=\"http://h/one\"/>"
                                 "<TreeNode Title=\"B\" NodeSrc=\"b.xml\"/></Tree>");
    root.write("home/fav/b.xml", "<Tree Type=\"fav\"><TreeNode Title=\"two\" Rss=\"http://h/two\"/>"
                                 "<TreeNode Title=\"back to A\" NodeSrc=\"/fav/a.xml\"/></Tree>");
    root.write("home/rss/copy.xml",
               "<Tree Type=\"rss\"><TreeNode Title=\"downloaded\" Rss=\"http://h/d\"/></Tree>");
    std::string home = root.file("home");
    EXPECT_EQ(shape(body(feeds::exportOpml(home + "/index.xml", home))),
              "A{one<http://h/one>B{two<http://h/two>}}");
    EXPECT_THROW(feeds::exportOpml(home + "/missing.xml", home), xml::DomError);
}

TEST(OpmlInOut, ExportListsEachWebChannelOnceAndListsAsIncludes) {
    TempDir home;
    home.write("index.xml", "<Tree><TreeNode Title=\"A\"><TreeNode Title=\"a\" Rss=\"http://h/a\"/>"
                            "<TreeNode Title=\"list\" Rss=\"http://h/list.opml\"/></TreeNode>"
                            "<TreeNode Title=\"B\"><TreeNode Title=\"a again\" Rss=\"http://h/a\"/>"
                            "<TreeNode Title=\"list\" Rss=\"http://h/other\"/>"
                            "<TreeNode Title=\"mine\" Rss=\"feeds/mine.xml\"/>"
                            "<TreeNode Title=\"abs\" Rss=\"file://" +
                                home.file("feeds/abs.xml") +
                                "\"/></TreeNode>"
                                "<TreeNode Title=\"C\"><TreeNode Title=\"only local\" "
                                "Rss=\"/x/feed.xml\"/></TreeNode></Tree>");
    // Two channels titled "list": the copy's header, not its name, says whose it is.
    home.write("rss/list.xml", "<Tree Type=\"rss\" BaseURL=\"http://h/other\"/>");
    home.write("rss/list[1].xml", "<Tree Type=\"Opml\" BaseURL=\"http://h/list.opml\"/>");
    int leftOut = -1;
    xml::Document opml = feeds::exportOpml(home.file("index.xml"), home.path(), &leftOut);
    EXPECT_EQ(shape(body(opml)), "A{a<http://h/a>list<http://h/list.opml>}B{list<http://h/other>}");
    EXPECT_EQ(leftOut, 3);
    std::vector<std::string> types;
    for (xml::Node outline : opml.getElementsByTagName("outline"))
        if (outline.hasAttribute("xmlUrl"))
            types.push_back(outline.attributeOr("type") + " " + outline.attributeOr("url"));
    EXPECT_EQ(types, (std::vector<std::string>{"rss ", "include http://h/list.opml", "rss "}));
}

TEST(OpmlInOut, PeerListWithNestingAndBrokenMarkupImportsWhatItCan) {
    TempDir home;
    home.write("fav/fav.xml",
               "<Tree Type=\"fav\"><TreeNode Title=\"Mine\" NodeSrc=\"/fav/peer.xml\"/></Tree>");
    home.write(
        "fav/peer.xml",
        "<Tree Type=\"fav\" Title=\"Peer\"><TreeNode Title=\"old\" Rss=\"http://h/old\"/></Tree>");
    home.write(
        "peer.opml",
        "<?xml version=\"1.0\"?><opml version=\"1.0\"><head><title>R & D</title></head><body>"
        "<outline text=\"Tech & Science\"><outline text=\"News\">"
        "<outline type=\"rss\" text=\"AT&T\" xmlUrl=\"http://h/att?a=1&b=2\" "
        "htmlUrl=\"http://h/\"/>"
        "<outline type=\"rss\" xmlUrl=\"http://h/untitled\"/>"
        "<outline type=\"rss\" text=\"again\" xmlUrl=\"http://h/att?a=1&amp;b=2\"/></outline>"
        "<outline type=\"rss\" text=\"no address\"/>"
        "<outline type=\"rss\" text=\"old one\" xmlUrl=\"http://h/old\"/></outline>"
        "<outline text=\"中文 &amp; 链接\" type=\"link\" url=\"http://h/page\"/>"
        "</body></opml>");
    feeds::ImportReport report =
        feeds::importOpmlFile(home.file("peer.opml"), home.path(), "fav/peer.xml");
    ASSERT_EQ(report.error, "");
    EXPECT_EQ(shape(loadTree(home.file("fav/peer.xml")).documentElement()),
              "old<http://h/old>Tech & "
              "Science{News{AT&T<http://h/att?a=1&b=2>http://h/untitled<http://h/untitled>}}"
              "中文 & 链接<>");
    EXPECT_EQ(report.added, 3);
    EXPECT_EQ(report.folders, 2);
    EXPECT_EQ(report.duplicates, 2);
    std::string summary = report.summary();
    for (const char* said : {"未转义的“&”", "no address", "http://h/untitled"})
        EXPECT_NE(summary.find(said), std::string::npos) << said << " in " << summary;
    // Already listed under 我的收藏: not listed twice; a second import adds nothing.
    EXPECT_EQ(shape(loadTree(home.file("fav/fav.xml")).documentElement()).find("Mine"), 0u);
    EXPECT_EQ(loadTree(home.file("fav/fav.xml")).getElementsByTagName("TreeNode").size(), 1u);
    EXPECT_EQ(feeds::importOpmlFile(home.file("peer.opml"), home.path(), "fav/peer.xml").added, 1)
        << "only the link";
}

TEST(OpmlInOut, UnusableInputWritesNothingAnywhere) {
    TempDir home;
    home.write("list.opml",
               "<opml><body><outline text=\"x\" xmlUrl=\"http://h/x\"/></body></opml>");
    home.write("html.opml", "<html><body>not a list</body></html>");
    home.write("broken.opml", "<opml><body><outline text=\"x\"</body>");
    home.write("fav/rss-copy.xml", "<Tree Type=\"rss\"/>");
    for (const char* into :
         {"../x.xml", "fav/../../x.xml", "/tmp/x.xml", "fav/sub/x.xml", "fav/.xml", "fav/x.txt"})
        EXPECT_NE(feeds::importOpmlFile(home.file("list.opml"), home.path(), into).error, "")
            << into;
    EXPECT_NE(feeds::importOpmlFile(home.file("html.opml"), home.path(), "fav/a.xml").error, "");
    EXPECT_NE(feeds::importOpmlFile(home.file("broken.opml"), home.path(), "fav/a.xml").error, "");
    EXPECT_NE(feeds::importOpmlFile(home.file("missing.opml"), home.path(), "fav/a.xml").error, "");
    EXPECT_NE(feeds::importOpmlFile(home.file("list.opml"), home.path(), "fav/rss-copy.xml").error,
              "")
        << "only category files are written into";
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(home.path()))
        files.push_back(fs::relative(entry.path(), home.path()).string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"broken.opml", "fav", "fav/rss-copy.xml",
                                               "html.opml", "list.opml"}));
}

// Readers write a folder left empty as a bare outline. It comes in as a
// folder the tree can open; channels put into it later go out with it.
TEST(OpmlInOut, EmptyGroupsBecomeFoldersWhoseLaterChannelsAreExported) {
    TempDir home;
    home.write("fav/fav.xml", "<Tree Type=\"fav\"/>");
    home.write("groups.opml",
               "<opml><head><title>L</title></head><body><outline text=\"空组\"/>"
               "<outline title=\"有说明\" description=\"以后再放\"></outline>"
               "<outline type=\"rss\" text=\"坏频道\"/>"
               "<outline text=\"满的\"><outline text=\"x\" xmlUrl=\"http://h/x\"/></outline>"
               "</body></opml>");
    feeds::ImportReport report =
        feeds::importOpmlFile(home.file("groups.opml"), home.path(), "fav/l.xml");
    ASSERT_EQ(report.error, "");
    EXPECT_EQ(report.folders, 3);
    EXPECT_NE(report.summary().find("坏频道"), std::string::npos) << "a channel without its feed";

    xml::Document category = loadTree(home.file("fav/l.xml"));
    xml::Node root = category.documentElement();
    EXPECT_EQ(shape(root), "空组{}有说明{}满的{x<http://h/x>}");
    xml::Node empty = root.firstChild();
    EXPECT_EQ(tree::appearanceOf(empty, false).icon, tree::kIconFolder);
    EXPECT_TRUE(tree::appearanceOf(empty, false).expandable);
    EXPECT_EQ(tree::GetNodeDescription(empty.nextSibling()), "以后再放");

    tree::createItemNode(empty, {"新", "", "", "http://h/new", ""}, true);
    category.save(home.file("fav/l.xml"));
    xml::Document opml = feeds::exportOpml(home.file("fav/l.xml"), home.path());
    EXPECT_EQ(shape(body(opml)), "空组{新<http://h/new>}满的{x<http://h/x>}");
}
