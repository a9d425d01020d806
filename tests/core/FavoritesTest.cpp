// The Favorites import: a folder tree of NAME.url shortcuts as a tree file.
#include "feeds/DownloadTask.h"
#include "feeds/DownloadWorker.h"
#include "feeds/FavoritesImport.h"
#include "feeds/UrlShortcut.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace feeds = kelvor::feeds;
namespace xml = kelvor::xml;
using kelvor::test::TempDir;

namespace {

std::string shortcut(const std::string& url) {
    return "[InternetShortcut]\r\nURL=" + url + "\r\n";
}

// "Title|Href" per link, "Title{...}" per folder.
std::string outline(const xml::Node& parent) {
    std::string text;
    for (xml::Node node = parent.firstChild(); node; node = node.nextSibling()) {
        if (!text.empty())
            text += " ";
        if (node.hasAttribute("Href"))
            text += node.attributeOr("Title") + "|" + node.attributeOr("Href");
        else
            text += node.attributeOr("Title") + "{" + outline(node) + "}";
    }
    return text;
}

class Favorites : public ::testing::Test {
  protected:
    Favorites() { feeds::setFavoritesFolder(dir.file("Favorites")); }
    ~Favorites() override { feeds::setFavoritesFolder(""); }

    feeds::DownloadTask task() {
        feeds::DownloadTask t;
        t.title = "收藏 & more";
        t.feedUrl = "$FAVORITES";
        t.cacheFile = dir.file("rss/fav.xml");
        std::filesystem::create_directories(dir.file("rss"));
        return t;
    }
    xml::Node importedRoot() {
        feeds::DownloadTask t = task();
        feeds::ImportFavorites(t);
        EXPECT_EQ(t.errorText, "");
        doc = xml::Document::create();
        EXPECT_TRUE(doc.load(t.cacheFile));
        return doc.documentElement();
    }

    TempDir dir;
    xml::Document doc;
};

} // namespace

TEST_F(Favorites, LinksComeBeforeFoldersAndFoldersHoldTheirContent) {
    dir.write("Favorites/b.url", shortcut("http://b/"));
    dir.write("Favorites/a.url", shortcut("http://a/"));
    dir.write("Favorites/Sub/c.url", shortcut("http://c/?x=1&y=2"));
    dir.write("Favorites/Empty/readme.txt", "not a shortcut");
    dir.write("Favorites/.Hidden/d.url", shortcut("http://d/"));
    xml::Node root = importedRoot();
    EXPECT_EQ(outline(root),
              "a|http://a/ b|http://b/ .Hidden{d|http://d/} Empty{} Sub{c|http://c/?x=1&y=2}");
    EXPECT_EQ(root.attributeOr("Type"), "$FAVORITES");
    EXPECT_EQ(root.attributeOr("Title"), "收藏 & more");
    EXPECT_EQ(root.attributeOr("BaseURL"), "$FAVORITES");
    EXPECT_FALSE(root.hasAttribute("Href"));
}

TEST_F(Favorites, OnlyVisibleLowerCaseUrlFilesAreShortcuts) {
    dir.write("Favorites/Upper.URL", shortcut("http://upper/"));
    dir.write("Favorites/.hidden.url", shortcut("http://hidden/"));
    dir.write("Favorites/no-address.url",
              "[InternetShortcut]\nIconIndex=0\n[Other]\nURL=http://other/\n");
    dir.write("Favorites/odd case.url", "[internetshortcut]\n  url = \"http://odd/\"  \n");
    EXPECT_EQ(outline(importedRoot()), "no-address| odd case|http://odd/");
}

TEST_F(Favorites, LoopingLinksAndNoFolderAreHarmless) {
    dir.write("Favorites/a.url", shortcut("http://a/"));
    std::filesystem::create_directory_symlink(dir.file("Favorites"), dir.file("Favorites/loop"));
    EXPECT_EQ(outline(importedRoot()), "a|http://a/ loop{}");

    feeds::setFavoritesFolder("");
    feeds::DownloadTask t = task();
    t.cacheFile = dir.file("rss/none.xml");
    feeds::ImportFavorites(t);
    EXPECT_FALSE(std::filesystem::exists(t.cacheFile)) << "no folder configured, nothing written";
}

TEST_F(Favorites, AMissingFolderIsReportedByNameAndTheOldCopyStays) {
    feeds::DownloadTask t = task();
    const std::string oldCopy = "<Tree Type=\"$FAVORITES\"><TreeNode Title=\"old\"/></Tree>";
    dir.write("rss/fav.xml", oldCopy);
    EXPECT_EQ(feeds::RunDownloadTask(t), 0);
    EXPECT_EQ(t.errorText, "找不到收藏夹文件夹“" + dir.file("Favorites") +
                               "”，请在 Internet 选项中设置收藏夹的位置！");
    EXPECT_EQ(dir.read("rss/fav.xml"), oldCopy);

    // A file where the folder should be is no folder either.
    dir.write("Favorites", "not a folder");
    feeds::DownloadTask overFile = task();
    overFile.cacheFile = dir.file("rss/new.xml");
    EXPECT_EQ(feeds::RunDownloadTask(overFile), 0);
    EXPECT_EQ(overFile.errorText, feeds::favoritesMissingText(dir.file("Favorites")));
    EXPECT_FALSE(std::filesystem::exists(overFile.cacheFile));
}

TEST_F(Favorites, AFailedSaveSetsTheSaveErrorText) {
    dir.write("Favorites/a.url", shortcut("http://a/"));
    feeds::DownloadTask t = task();
    t.cacheFile = dir.file("missing/fav.xml");
    feeds::ImportFavorites(t);
    EXPECT_EQ(t.errorText, "保存文件发生错误，请确认当前文件路经是否有效！" + t.cacheFile);
    EXPECT_EQ(t.title, "收藏 &amp; more") << "escaped in place";
}

TEST(UrlShortcut, AddressIsCutAtTheProfileBufferSize) {
    std::string longUrl = "http://x/" + std::string(5000, 'a');
    EXPECT_EQ(feeds::shortcutUrlFromText(shortcut(longUrl)).size(), feeds::kMaxShortcutUrl);
    EXPECT_EQ(feeds::shortcutUrlFromText("\xEF\xBB\xBF[InternetShortcut]\nURL=http://bom/"),
              "http://bom/");
    EXPECT_EQ(feeds::readShortcutUrl("/no/such/file.url"), "");
}

TEST(FavoritesFolderSetting, EnvironmentVariablesAreExpanded) {
    const char* home = std::getenv("HOME");
    std::string savedHome = home ? home : "";
    setenv("KELVOR_TEST_VAR", "/data/me", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(feeds::expandEnvironment("$KELVOR_TEST_VAR/Favorites"), "/data/me/Favorites");
    EXPECT_EQ(feeds::expandEnvironment("${KELVOR_TEST_VAR}x/${NO_SUCH_VAR_HERE}y"), "/data/mex/y");
    EXPECT_EQ(feeds::expandEnvironment("~/Favorites"), "/home/someone/Favorites");
    EXPECT_EQ(feeds::expandEnvironment("cost $ 5 and ${unclosed"), "cost $ 5 and ${unclosed");
    setenv("HOME", savedHome.c_str(), 1);
}
