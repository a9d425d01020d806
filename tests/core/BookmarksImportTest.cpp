// A browser's exported bookmarks file into a category and as the Favorites
// channel's source.
#include "feeds/BookmarksImport.h"
#include "feeds/DownloadTask.h"
#include "feeds/FavoritesImport.h"
#include "support/TempDir.h"
#include "tree/NodeWriting.h"
#include "tree/TreeFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace feeds = kelvor::feeds;
namespace tree = kelvor::tree;
namespace xml = kelvor::xml;
using kelvor::test::TempDir;

namespace {

// "Title{...}" per folder, "Title|Href" per link.
std::string shape(const xml::Node& parent) {
    std::string text;
    for (xml::Node node = parent.firstChild(); node; node = node.nextSibling()) {
        if (!node.nameIs("TreeNode"))
            continue;
        text += node.hasAttribute("Href")
                    ? node.attributeOr("Title") + "|" + node.attributeOr("Href") + ";"
                    : node.attributeOr("Title") + "{" + shape(node) + "}";
    }
    return text;
}

// A file as browsers write it: unclosed <DT> and <p>, attributes in upper
// case, entities in titles, a bookmarklet, descriptions after links and
// folders; with 1,000 links spread over nested folders. `expected` gets the
// tree the file should give.
std::string browserExport(std::string& expected) {
    std::string html =
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<!-- This is an automatically generated file. -->\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
        "<TITLE>Bookmarks</TITLE>\n<H1>书签</H1>\n<DL><p>\n"
        "    <DT><H3 ADD_DATE=\"1700000000\" LAST_MODIFIED=\"1700000100\" "
        "PERSONAL_TOOLBAR_FOLDER=\"true\">书签栏</H3>\n"
        "    <DD>常用的网站\n    <DL><p>\n"
        "        <DT><A HREF=\"https://www.debian.org/\" ADD_DATE=\"1600000000\" "
        "ICON=\"data:image/png;base64,AAAA\">Debian &amp; 朋友</A>\n"
        "        <DD>自由的操作系统 &lt;b&gt;\n"
        "        <DT><A HREF=\"javascript:alert(1)\">小书签</A>\n";
    expected = "书签栏{Debian & 朋友|https://www.debian.org/;";
    int link = 0;
    for (int folder = 0; folder < 10; ++folder) {
        std::string name = "文件夹 " + std::to_string(folder);
        html += "        <DT><H3 ADD_DATE=\"1700000000\">" + name + "</H3>\n        <DL><p>\n";
        expected += name + "{";
        if (folder % 3 == 0) {
            html += "            <DT><H3>子文件夹</H3>\n            <DL><p>\n";
            expected += "子文件夹{";
            for (int k = 0; k < 20; ++k, ++link) {
                std::string n = std::to_string(link);
                html += "                <DT><A HREF=\"https://example.org/" + n +
                        "?a=1&amp;b=2\">链接 " + n + "</A>\n";
                expected += "链接 " + n + "|https://example.org/" + n + "?a=1&b=2;";
            }
            html += "            </DL><p>\n";
            expected += "}";
        }
        for (int k = 0; k < 70; ++k, ++link) {
            std::string n = std::to_string(link);
            html += "            <DT><A HREF=\"https://example.org/" + n +
                    "\" ADD_DATE=\"1650000000\">标题 " + n + "</A>\n";
            expected += "标题 " + n + "|https://example.org/" + n + ";";
        }
        html += "        </DL><p>\n";
        expected += "}";
    }
    html += "    </DL><p>\n    <DT><H3>Other Bookmarks</H3>\n    <DL><p>\n    </DL><p>\n";
    expected += "}Other Bookmarks{}";
    while (link < 999) {
        std::string n = std::to_string(link++);
        html += "    <DT><A HREF=\"https://top.example/" + n + "\">" + n + "</A>\n";
        expected += n + "|https://top.example/" + n + ";";
    }
    html += "    <DT><A HREF=\"https://notitle.example/\"></A>\n</DL><p>\n";
    expected += "https://notitle.example/|https://notitle.example/;";
    return html;
}

} // namespace

TEST(BookmarksImport, BrowserExportBecomesACategoryWithTheSameTree) {
    TempDir home;
    std::string expected;
    home.write("bookmarks.html", browserExport(expected));
    home.write("fav/fav.xml", "<Tree Type=\"fav\"/>");
    feeds::ImportReport report =
        feeds::importBookmarksFile(home.file("bookmarks.html"), home.path(), "fav/书签.xml");
    ASSERT_EQ(report.error, "");
    EXPECT_EQ(report.added, 1001); // 999 numbered, Debian, the untitled one
    EXPECT_EQ(report.folders, 16);
    ASSERT_EQ(report.notes.size(), 1u);
    EXPECT_NE(report.notes[0].find("javascript:"), std::string::npos);

    xml::Document category = xml::Document::create();
    ASSERT_TRUE(category.load(home.file("fav/书签.xml")));
    xml::Node root = category.documentElement();
    EXPECT_EQ(root.attributeOr("Type"), "fav");
    EXPECT_EQ(root.attributeOr("Title"), "书签");
    EXPECT_EQ(shape(root), expected);
    xml::Node toolbar = root.firstChild();
    EXPECT_EQ(toolbar.attributeOr("Date"), "Tue, 14 Nov 2023 22:13:20 GMT");
    EXPECT_TRUE(toolbar.firstChild().nameIs("Desc"));
    EXPECT_EQ(toolbar.firstChild().text(), "常用的网站");
    xml::Node debian = toolbar.firstChild().nextSibling();
    EXPECT_EQ(debian.attributeOr("Date"), "Sun, 13 Sep 2020 12:26:40 GMT");
    EXPECT_EQ(debian.firstChild().text(), "自由的操作系统 &lt;b&gt;")
        << "shown as text, not markup";

    xml::Document favorites = xml::Document::create();
    ASSERT_TRUE(favorites.load(home.file("fav/fav.xml")));
    EXPECT_EQ(favorites.documentElement().firstChild().attributeOr("NodeSrc"), "/fav/书签.xml");
}

TEST(BookmarksImport, FavoritesChannelReadsABookmarksFileInItsOrder) {
    TempDir dir;
    std::string expected;
    dir.write("bookmarks.html", browserExport(expected));
    dir.write("notes.txt", "just text, no links");
    feeds::setFavoritesFolder(dir.file("bookmarks.html"));
    feeds::DownloadTask task;
    task.feedUrl = "$FAVORITES";
    xml::Document doc = feeds::buildFavoritesDocument(task);
    ASSERT_FALSE(doc.isNull()) << task.errorText;
    EXPECT_EQ(doc.documentElement().attributeOr("Type"), "$FAVORITES");
    EXPECT_EQ(shape(doc.documentElement()), expected);

    feeds::setFavoritesFolder(dir.file("notes.txt"));
    feeds::DownloadTask other;
    other.feedUrl = "$FAVORITES";
    EXPECT_TRUE(feeds::buildFavoritesDocument(other).isNull());
    EXPECT_EQ(other.errorText, feeds::favoritesMissingText(dir.file("notes.txt")));
    feeds::setFavoritesFolder("");
}

namespace {

std::string bookmarksFile(const std::string& body) {
    return "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" "
           "CONTENT=\"text/html; charset=UTF-8\">\n<H1>书签</H1>\n<DL><p>\n" +
           body + "</DL><p>\n";
}

std::string linkLine(const std::string& href, const std::string& title) {
    return "<DT><A HREF=\"" + href + "\">" + title + "</A>\n";
}

} // namespace

// Browsers trim and drop characters before they look at a scheme, so the
// check has to see the address as they do; a bookmarks file comes from
// anywhere, so local files are kept out as well.
TEST(BookmarksImport, LinksPassTheAddressPolicyAsABrowserReadsThem) {
    const std::vector<std::string> refused = {
        " javascript:alert(1)",  "java&#9;script:alert(2)",
        "java\nscript:alert(3)", "\x01javascript:alert(4)",
        "VBScript:msgbox(5)",    "DATA:text/html,<b>6</b>",
        "file:///etc/passwd",    "place:sort=8&amp;maxResults=10",
        "about:config",          "java\x01script:alert(7)"};
    std::string body;
    for (const std::string& href : refused)
        body += linkLine(href, "坏");
    body += linkLine("  https://ok.example/a\t", "A") + linkLine("ftp://ok.example/b", "B") +
            linkLine("mailto:me@ok.example", "C") + linkLine("htt&#10;ps://ok.example/d", "D") +
            linkLine("notes/e.html", "E");

    xml::Document doc = xml::Document::create();
    ASSERT_TRUE(doc.loadXML("<Tree Type=\"fav\"/>"));
    feeds::ImportReport report;
    ASSERT_TRUE(feeds::appendBookmarks(bookmarksFile(body), doc, doc.documentElement(), report));
    EXPECT_EQ(shape(doc.documentElement()),
              "A|https://ok.example/a;B|ftp://ok.example/b;C|mailto:me@ok.example;"
              "D|https://ok.example/d;E|notes/e.html;");
    EXPECT_EQ(report.added, 5);
    ASSERT_EQ(report.notes.size(), refused.size());
    for (size_t i = 0; i < refused.size(); ++i) {
        SCOPED_TRACE(report.notes[i]);
        for (char c : report.notes[i])
            EXPECT_GE(static_cast<unsigned char>(c), 0x20u) << "printed on a terminal";
    }
    EXPECT_NE(report.notes[7].find("place:sort=8"), std::string::npos);
}

// A chain of 256 folders, a link in each, then 100 links at the top: the
// walk used to stop where the HTML tree gave up and drop everything after.
TEST(BookmarksImport, FoldersNestedPastTheLimitLoseNoLinks) {
    const int depth = 256;
    std::string body, chain, deepest;
    for (int i = 0; i < depth; ++i) {
        std::string n = std::to_string(i);
        body += "<DT><H3>F\t" + n + "</H3>\n<DL><p>\n" + linkLine("https://deep.example/" + n, n);
        if (i < feeds::kMaxImportDepth - 1)
            chain += "F\t" + n + "{" + n + "|https://deep.example/" + n + ";";
        else
            deepest += n + "|https://deep.example/" + n + ";";
    }
    for (int i = 0; i < depth; ++i)
        body += "</DL><p>\n";
    std::string top;
    for (int i = 0; i < 100; ++i) {
        body += linkLine("https://top.example/" + std::to_string(i), "T" + std::to_string(i));
        top += "T" + std::to_string(i) + "|https://top.example/" + std::to_string(i) + ";";
    }
    std::string last = "F\t" + std::to_string(feeds::kMaxImportDepth - 1);
    std::string expected =
        chain + last + "{" + deepest + "}" + std::string(feeds::kMaxImportDepth - 1, '}') + top;

    TempDir home;
    home.write("deep.html", bookmarksFile(body));
    feeds::ImportReport report =
        feeds::importBookmarksFile(home.file("deep.html"), home.path(), "fav/深.xml");
    ASSERT_EQ(report.error, "");
    EXPECT_EQ(report.added, depth + 100);
    EXPECT_EQ(report.folders, feeds::kMaxImportDepth);
    ASSERT_EQ(report.notes.size(), 1u) << "one note, not one per folder";
    EXPECT_NE(report.notes[0].find("F " + last.substr(2)), std::string::npos)
        << report.notes[0] << ": the folder named, its tab printed as a space";

    xml::Document category = xml::Document::create();
    ASSERT_TRUE(category.load(home.file("fav/深.xml")));
    EXPECT_EQ(shape(category.documentElement()), expected);

    // A heading whose list only begins after the list around it closed: that
    // list continues where it stands and opens no folder, so neither the
    // links land in the stray folder nor do repeats of it nest past the limit.
    std::string stray;
    for (int i = 0; i < 100; ++i)
        stray += "<DT><H3>S" + std::to_string(i) + "</H3>\n</DL><p>\n<DL><p>\n" +
                 linkLine("https://stray.example/" + std::to_string(i), "s");
    xml::Document doc = xml::Document::create();
    ASSERT_TRUE(doc.loadXML("<Tree Type=\"fav\"/>"));
    feeds::ImportReport strayReport;
    ASSERT_TRUE(
        feeds::appendBookmarks(bookmarksFile(stray), doc, doc.documentElement(), strayReport));
    std::string flat;
    for (int i = 0; i < 100; ++i)
        flat += "S" + std::to_string(i) + "{}s|https://stray.example/" + std::to_string(i) + ";";
    EXPECT_EQ(shape(doc.documentElement()), flat);
}

// A folder the user made but left empty, with or without a description or
// even a list, must come out as a folder the tree can open and fill, not as
// a text note; once filled and saved it stays a folder holding its items.
TEST(BookmarksImport, EmptyFoldersStayFoldersThatKeepWhatIsAddedLater) {
    TempDir home;
    home.write("b.html", bookmarksFile("<DT><H3>空的</H3>\n<DL><p>\n</DL><p>\n"
                                       "<DT><H3>有说明</H3>\n<DD>以后再放\n<DL><p>\n</DL><p>\n"
                                       "<DT><H3>没有列表</H3>\n<DT><H3>满的</H3>\n<DL><p>\n" +
                                       linkLine("https://a.example/", "a") + "</DL><p>\n"));
    feeds::ImportReport report =
        feeds::importBookmarksFile(home.file("b.html"), home.path(), "fav/b.xml");
    ASSERT_EQ(report.error, "");
    EXPECT_EQ(report.folders, 4);

    xml::Document category = xml::Document::create();
    ASSERT_TRUE(category.load(home.file("fav/b.xml")));
    std::vector<xml::Node> folders;
    for (xml::Node node = category.documentElement().firstChild(); node; node = node.nextSibling())
        folders.push_back(node);
    ASSERT_EQ(folders.size(), 4u);
    for (const xml::Node& folder : folders) {
        tree::ItemAppearance look = tree::appearanceOf(folder, false);
        EXPECT_EQ(look.icon, tree::kIconFolder) << look.label;
        EXPECT_TRUE(look.expandable) << look.label;
        // Opening it reads its own children: the first one must be there.
        EXPECT_TRUE(folder.firstChild()) << look.label;
    }
    EXPECT_EQ(tree::GetNodeDescription(folders[0]), "");
    EXPECT_EQ(tree::GetNodeDescription(folders[1]), "以后再放");
    EXPECT_FALSE(folders[3].hasAttribute("NodeSrc")) << "a folder with items is left as it was";

    tree::createItemNode(folders[0], {"后来的", "https://b.example/", "", "", ""}, true);
    category.save(home.file("fav/b.xml"));
    ASSERT_TRUE(category.load(home.file("fav/b.xml")));
    xml::Node filled = category.documentElement().firstChild();
    EXPECT_EQ(tree::itemKindOf(filled), tree::ItemKind::SubTree);
    EXPECT_EQ(shape(category.documentElement()),
              "空的{后来的|https://b.example/;}有说明{}没有列表{}满的{a|https://a.example/;}");
}
