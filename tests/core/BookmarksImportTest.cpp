// A browser's exported bookmarks file into a category and as the Favorites
// channel's source.
#include "feeds/BookmarksImport.h"
#include "feeds/DownloadTask.h"
#include "feeds/FavoritesImport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace feeds = kelvor::feeds;
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
