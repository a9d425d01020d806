#include "tree/ChannelSource.h"
#include "platform/HomeFolder.h"
#include "support/HomeGuard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <utime.h>

using kelvor::test::TempDir;
namespace tree = kelvor::tree;
namespace xml = kelvor::xml;

namespace {

constexpr std::time_t kNow = 1'700'000'000;

class ChannelSource : public ::testing::Test {
  protected:
    ChannelSource() { homeGuard_.setHome(home.path()); }

    // The first TreeNode of a tree file written under the home folder.
    xml::Node nodeIn(const std::string& name, const std::string& rootAttributes,
                     const std::string& nodeAttributes) {
        std::string path = home.write(name, "<Tree " + rootAttributes + "><TreeNode " +
                                                nodeAttributes + "/></Tree>");
        doc = xml::Document::create();
        EXPECT_TRUE(doc.load(path));
        return doc.documentElement().firstChild();
    }

    struct Answer {
        int result;
        std::string source, cacheFile, feed;
    };
    Answer resolve(const xml::Node& node, std::time_t now = kNow) {
        Answer a;
        a.result = tree::ResolveChannelSource(node, a.source, a.cacheFile, a.feed, now);
        return a;
    }

    // A cache file carrying `baseUrl`, last modified `age` seconds before kNow.
    void cache(const std::string& name, const std::string& baseUrl, long age,
               const std::string& extra = "") {
        std::string path = home.write(
            name, "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tree Type=\"rss\" BaseURL=\"" +
                      baseUrl + "\" " + extra + "/>");
        struct utimbuf times {
            kNow - age, kNow - age
        };
        ASSERT_EQ(::utime(path.c_str(), &times), 0);
    }

    TempDir home;
    kelvor::test::HomeGuard homeGuard_;
    xml::Document doc;
};

} // namespace

TEST_F(ChannelSource, NotAChannelWithoutNodeSrcAndRss) {
    EXPECT_EQ(resolve(nodeIn("a.xml", "", "Title=\"x\" NodeSrc=\"\" Rss=\"\"")).result,
              tree::kNotChannel);
}

TEST_F(ChannelSource, EveryNodeSrcFormResolves) {
    const std::string h = home.path();
    struct Row {
        const char* rootAttributes;
        const char* nodeSrc;
        std::string source;
        int result;
    } rows[] = {
        // rooted at the home folder, or at the web host of the file's BaseURL
        {"", "/fav/x.xml", h + "/fav/x.xml", 0},
        {"BaseURL=\"file:///elsewhere/a.xml\"", "/fav/x.xml", h + "/fav/x.xml", 0},
        {"BaseURL=\"http://example.com/dir/list.xml\"", "/fav/x.xml",
         "http://example.com/fav/x.xml", 3},
        {"BaseURL=\"https://example.com\"", "/x.xml", "https://example.com/x.xml", 3},
        // absolute addresses
        {"", "http://example.com/t.xml", "http://example.com/t.xml", 3},
        {"", "https://example.com/t.xml", "https://example.com/t.xml", 3},
        {"", "file:///srv/t.xml", "file:///srv/t.xml", 0},
        // relative to a web BaseURL, a local BaseURL, or the owning file's folder
        {"BaseURL=\"http://example.com/dir/list.xml\"", "sub/t.xml",
         "http://example.com/dir/sub/t.xml", 3},
        {"BaseURL=\"/srv/data\\fav\\list.xml\"", "sub\\t.xml", "/srv/data/fav/sub/t.xml", 0},
        {"", "sub\\t.xml", h + "/sub/t.xml", 0},
    };
    for (const Row& row : rows) {
        Answer a = resolve(nodeIn("owner.xml", row.rootAttributes,
                                  std::string("Title=\"T\" NodeSrc=\"") + row.nodeSrc + "\""));
        EXPECT_EQ(a.source, row.source) << row.nodeSrc << " " << row.rootAttributes;
        EXPECT_EQ(a.result, row.result) << row.nodeSrc << " " << row.rootAttributes;
        if (row.result == 3) {
            EXPECT_EQ(a.cacheFile, h + "/url/T.xml") << row.nodeSrc;
        }
    }
}

TEST_F(ChannelSource, FetchedTreeFilesAreCachedUnderUrlUnlessTheOwnerIsACopyItself) {
    Answer a =
        resolve(nodeIn("url/list.xml", "Type=\"url\" BaseURL=\"http://example.com/d/list.xml\"",
                       "Title=\"Sub\" NodeSrc=\"sub.xml\""));
    EXPECT_EQ(a.result, 3);
    EXPECT_EQ(a.source, "http://example.com/d/sub.xml");
    EXPECT_EQ(a.cacheFile, home.path() + "/url/Sub.xml");

    cache("url/Sub.xml", "http://example.com/d/sub.xml", 167 * 3600 + 3599);
    EXPECT_EQ(resolve(doc.documentElement().firstChild()).result, 1);
    cache("url/Sub.xml", "http://example.com/d/sub.xml", 169 * 3600);
    EXPECT_EQ(resolve(doc.documentElement().firstChild()).result, 2);
}

TEST_F(ChannelSource, FeedsWithTheSameTitleGetNumberedCacheFiles) {
    const std::string rss = home.path() + "/rss/";
    cache("rss/News.xml", "http://a.example/feed", 60);
    cache("rss/News[1].xml", "http://b.example/feed", 60);
    EXPECT_EQ(
        resolve(nodeIn("o.xml", "", "Title=\"News\" Rss=\"http://a.example/feed\"")).cacheFile,
        rss + "News.xml");
    Answer b = resolve(nodeIn("o.xml", "", "Title=\"News\" Rss=\"http://b.example/feed\""));
    EXPECT_EQ(b.cacheFile, rss + "News[1].xml");
    EXPECT_EQ(b.result, 1);
    EXPECT_EQ(b.feed, "http://b.example/feed");
    Answer c = resolve(nodeIn("o.xml", "", "Title=\"News\" Rss=\"http://c.example/feed\""));
    EXPECT_EQ(c.cacheFile, rss + "News[2].xml");
    EXPECT_EQ(c.result, 3);
}

TEST_F(ChannelSource, UnreadableCacheFileIsSkippedLikeAForeignOne) {
    home.write("rss/News.xml", "<Tree BaseURL=\"http://a.example/feed\"");
    home.write("rss/News[1].xml", "not xml at all");
    Answer a = resolve(nodeIn("o.xml", "", "Title=\"News\" Rss=\"http://a.example/feed\""));
    EXPECT_EQ(a.cacheFile, home.path() + "/rss/News[2].xml");
    EXPECT_EQ(a.result, 3);
}

TEST_F(ChannelSource, FeedWithLocalNodeSrcIsConvertedIntoThatFile) {
    Answer a = resolve(
        nodeIn("o.xml", "", "Title=\"N\" NodeSrc=\"/fav/n.xml\" Rss=\"http://a.example/feed\""));
    EXPECT_EQ(a.cacheFile, home.path() + "/fav/n.xml");
    EXPECT_EQ(a.result, 3);
    // A web NodeSrc does not redirect the cache.
    a = resolve(
        nodeIn("o.xml", "",
               "Title=\"N\" NodeSrc=\"http://x.example/n.xml\" Rss=\"http://a.example/feed\""));
    EXPECT_EQ(a.cacheFile, home.path() + "/rss/N.xml");
}

TEST_F(ChannelSource, AFileAddressNodeSrcFindsTheCopyConvertedIntoIt) {
    TempDir elsewhere;
    std::string copy = elsewhere.write(
        "n.xml", "<Tree BaseURL=\"http://a.example/feed\"><TreeNode Title=\"t\"/></Tree>");
    Answer a =
        resolve(nodeIn("o.xml", "",
                       "Title=\"N\" NodeSrc=\"file://" + copy + "\" Rss=\"http://a.example/feed\""),
                std::time(nullptr));
    EXPECT_EQ(a.cacheFile, copy);
    EXPECT_EQ(a.result, 1);
}

TEST_F(ChannelSource, FetchedFilesCannotNameWhereAFeedIsWritten) {
    const std::string rss = home.path() + "/rss/x.xml";
    // A remote list stamped with its address, cached under url/.
    Answer a = resolve(
        nodeIn("url/remote.xml", "Type=\"url\" BaseURL=\"http://evil.example/list.xml\"",
               "Title=\"x\" Rss=\"http://evil.example/feed\" NodeSrc=\"file:///tmp/victim.txt\""));
    EXPECT_EQ(a.cacheFile, rss);
    // The same list without a stamp, climbing out of url/ with "../".
    a = resolve(nodeIn("url/plain.xml", "",
                       "Title=\"x\" Rss=\"http://e/f\" NodeSrc=\"../../../tmp/victim.txt\""));
    EXPECT_EQ(a.cacheFile, rss);
    // Converted feeds and lists are foreign content too, wherever they lie.
    for (const char* type : {"rss", "Opml", "$FAVORITES"}) {
        a = resolve(nodeIn("fav/c.xml", std::string("Type=\"") + type + "\"",
                           "Title=\"x\" Rss=\"http://e/f\" NodeSrc=\"mine.xml\""));
        EXPECT_EQ(a.cacheFile, rss) << type;
    }
    // The user's own category still converts into the file it names.
    a = resolve(nodeIn("fav/hot.xml", "Type=\"hot\"",
                       "Title=\"x\" Rss=\"http://e/f\" NodeSrc=\"mine.xml\""));
    EXPECT_EQ(a.cacheFile, home.path() + "/fav/mine.xml");
}

TEST_F(ChannelSource, ABackslashInTheOwningFileNameIsNoFolder) {
    Answer a =
        resolve(nodeIn("url/odd\\name.xml", "Type=\"url\" BaseURL=\"http://e.example/d/list.xml\"",
                       "Title=\"More\" NodeSrc=\"sub/more.xml\""));
    EXPECT_EQ(a.result, 3);
    EXPECT_EQ(a.cacheFile, home.path() + "/url/More.xml");
}

TEST_F(ChannelSource, DefaultLifetimesByType) {
    struct Row {
        const char* rootType;
        long age;
        int result;
    } rows[] = {
        {"rss", 6 * 3600 + 59 * 60, 1}, {"rss", 7 * 3600, 2}, {"fav", 7 * 3600, 2},
        {"hot", 3 * 3600 + 3599, 1},    {"hot", 4 * 3600, 2}, {"rss", -5000, 1},
    };
    for (const Row& row : rows) {
        cache("rss/F.xml", "http://f.example/rss", row.age);
        xml::Node node = nodeIn("o.xml", std::string("Type=\"") + row.rootType + "\"",
                                "Title=\"F\" Rss=\"http://f.example/rss\"");
        EXPECT_EQ(resolve(node).result, row.result) << row.rootType << " age " << row.age;
    }
}

TEST_F(ChannelSource, ExpiresOfTheCacheWinsOverTheNodes) {
    const char* feed = "Title=\"F\" Rss=\"http://f.example/rss\"";
    cache("rss/F.xml", "http://f.example/rss", 100);
    EXPECT_EQ(resolve(nodeIn("o.xml", "", std::string(feed) + " Expires=\"0\"")).result, 3)
        << "0 always downloads";
    EXPECT_EQ(resolve(nodeIn("o.xml", "", std::string(feed) + " Expires=\"99\"")).result, 2);
    EXPECT_EQ(resolve(nodeIn("o.xml", "", std::string(feed) + " Expires=\"100\"")).result, 1);
    cache("rss/F.xml", "http://f.example/rss", 100, "Expires=\"1000\"");
    EXPECT_EQ(resolve(nodeIn("o.xml", "", std::string(feed) + " Expires=\"99\"")).result, 1);
    cache("rss/F.xml", "http://f.example/rss", 100, "Expires=\"0\"");
    EXPECT_EQ(resolve(nodeIn("o.xml", "", std::string(feed) + " Expires=\"1000\"")).result, 3);
}

TEST_F(ChannelSource, HostileTitlesStayInsideTheCacheFolder) {
    for (const char* title : {"../../x", "a/b", "..", ".", "a\\..\\b", "line\nbreak"}) {
        xml::Node node = nodeIn("o.xml", "", "Title=\"\" Rss=\"http://f.example/rss\"");
        node.setAttribute("Title", title);
        Answer a = resolve(node);
        ASSERT_EQ(a.cacheFile.rfind(home.path() + "/rss/", 0), 0u) << title;
        std::string name = a.cacheFile.substr(home.path().size() + 5);
        EXPECT_EQ(name.find('/'), std::string::npos) << title;
        EXPECT_NE(name, "..xml");
        EXPECT_NE(name, "...xml");
    }
    EXPECT_EQ(tree::cacheFileTitle("a/b\\c"), "a_b_c");
    std::string longTitle(300, 'x');
    EXPECT_LE(tree::cacheFileTitle(longTitle).size(), 200u);
    std::string chinese;
    for (int i = 0; i < 100; ++i)
        chinese += "频"; // 3 bytes each: a cut must not split one
    std::string cut = tree::cacheFileTitle(chinese);
    EXPECT_EQ(cut.size() % 3, 0u);
}

TEST_F(ChannelSource, LocalTreeFileResolvesWithoutLookingAtCaches) {
    Answer a = resolve(nodeIn("fav/o.xml", "", "Title=\"Sub\" NodeSrc=\"links.xml\""));
    EXPECT_EQ(a.result, 0);
    EXPECT_EQ(a.source, home.path() + "/fav/links.xml");
    EXPECT_EQ(a.feed, "");
}

// The question asked off the window's thread must lead where resolving leads.
TEST_F(ChannelSource, TheCopyQuestionLeadsToTheCopyResolvingFinds) {
    cache("rss/News.xml", "http://a.example/feed", 60);
    cache("rss/News[1].xml", "http://b.example/feed", 60);
    const std::string web = "BaseURL=\"http://example.com/d/list.xml\"";
    struct Row {
        const char *file, *rootAttributes, *nodeAttributes;
    } rows[] = {
        {"o.xml", "", "Title=\"News\" Rss=\"http://b.example/feed\""},
        {"o.xml", "", "Title=\"News\" Rss=\"http://c.example/feed\""},
        {"url/list.xml", web.c_str(), "Title=\"Sub\" NodeSrc=\"sub.xml\""},
        {"fav/o.xml", "", "Title=\"Feed\" NodeSrc=\"mine.xml\" Rss=\"http://a.example/feed\""},
    };
    for (const Row& row : rows) {
        xml::Node node = nodeIn(row.file, row.rootAttributes, row.nodeAttributes);
        tree::ChannelCopyQuestion question = tree::channelCopyQuestion(node);
        EXPECT_EQ(tree::locateChannelCopy(question.first, question.address).path,
                  resolve(node).cacheFile)
            << row.nodeAttributes;
    }
    auto firstOf = [&](const char* file, const char* rootAttributes, const char* attributes) {
        return tree::channelCopyQuestion(nodeIn(file, rootAttributes, attributes)).first;
    };
    EXPECT_EQ(firstOf("o.xml", "", "Title=\"News\" Rss=\"http://b.example/feed\""),
              home.path() + "/rss/News.xml")
        << "where the numbered names start, not where the header was found";
    // No copy of their own: a local tree file, no channel, a feed a fetched
    // file may not name.
    EXPECT_EQ(firstOf("fav/o.xml", "", "Title=\"Sub\" NodeSrc=\"a.xml\""), "");
    EXPECT_EQ(firstOf("fav/o.xml", "", "Title=\"x\""), "");
    EXPECT_EQ(firstOf("url/remote.xml", "BaseURL=\"http://127.0.0.1:9/t.xml\"",
                      "Title=\"p\" Rss=\"file:///dev/zero\""),
              "");
}

// ---- ReadCacheHeader

TEST(CacheHeader, ReadsBaseUrlAndExpiresWithEntitiesDecoded) {
    TempDir dir;
    int expires = 7;
    EXPECT_EQ(
        tree::ReadCacheHeader(
            dir.write("a.xml", "<Tree BaseURL=\"http://x/?a=1&amp;b=&#x32;\" Expires=\"3600\"/>"),
            expires),
        "http://x/?a=1&b=2");
    EXPECT_EQ(expires, 3600);
    EXPECT_EQ(
        tree::ReadCacheHeader(
            dir.write("b.xml", "<?xml version=\"1.0\"?>\n<!-- c --><Tree BaseURL='u'/>"), expires),
        "u");
    EXPECT_EQ(expires, -1);
    EXPECT_EQ(tree::ReadCacheHeader(dir.file("missing.xml"), expires), "");
    EXPECT_EQ(expires, -1);
}

TEST(CacheHeader, HonoursTheDeclaredEncoding) {
    TempDir dir;
    // "新闻" in GB18030
    std::string bytes =
        "<?xml version=\"1.0\" encoding=\"GB2312\"?><Tree BaseURL=\"http://x/\xD0\xC2\xCE\xC5\"/>";
    int expires = 0;
    EXPECT_EQ(tree::ReadCacheHeader(dir.write("gb.xml", bytes), expires), "http://x/新闻");
}

namespace {
// A big file broken far below `head`: a full parse would fail, a read that
// stops early must not notice.
std::string brokenFarBelow(const std::string& head) {
    std::string body = head;
    for (int i = 0; i < 200000; ++i)
        body += "<TreeNode Title=\"item\"/>";
    return body + "<broken";
}
} // namespace

TEST(CacheHeader, StopsAtTheRootStartTag) {
    TempDir dir;
    std::string body = brokenFarBelow("<Tree BaseURL=\"http://x/feed\" Expires=\"5\">");
    int expires = 0;
    EXPECT_EQ(tree::ReadCacheHeader(dir.write("big.xml", body), expires), "http://x/feed");
    EXPECT_EQ(expires, 5);
}

// ---- ReadCacheFirstItem

TEST(CacheFirstItem, ReadsTheFirstItemsFieldsAndDescription) {
    TempDir dir;
    tree::CacheFirstItem first = tree::ReadCacheFirstItem(dir.write(
        "a.xml", "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<Tree BaseURL=\"u\">\n  "
                 "<TreeNode Title=\"\xD0\xC2\xCE\xC5 &amp; more\" Href=\"http://x/1\" Date=\"d1\">"
                 "<Desc>first &lt;b&gt;</Desc></TreeNode>\n"
                 "  <TreeNode Title=\"second\"/></Tree>"));
    EXPECT_EQ(first.title, "新闻 & more");
    EXPECT_EQ(first.href, "http://x/1");
    EXPECT_EQ(first.date, "d1");
    EXPECT_EQ(first.desc, "first <b>");
}

TEST(CacheFirstItem, GivesNothingWhenThereIsNoFirstItem) {
    TempDir dir;
    auto empty = [](const tree::CacheFirstItem& f) {
        return f.title.empty() && f.href.empty() && f.desc.empty() && f.date.empty();
    };
    EXPECT_TRUE(empty(tree::ReadCacheFirstItem(dir.file("missing.xml"))));
    EXPECT_TRUE(empty(tree::ReadCacheFirstItem(dir.write("e.xml", "<Tree BaseURL='u'/>"))));
    EXPECT_TRUE(empty(tree::ReadCacheFirstItem(dir.write("w.xml", "<Tree>\n  \n</Tree>"))));
    EXPECT_TRUE(
        empty(tree::ReadCacheFirstItem(dir.write("o.xml", "<rss><TreeNode Title='t'/></rss>"))));
    // A comment first is what the tree shows first: it has no fields.
    EXPECT_TRUE(empty(tree::ReadCacheFirstItem(
        dir.write("c.xml", "<Tree><!-- c --><TreeNode Title='t'/></Tree>"))));
    EXPECT_TRUE(empty(tree::ReadCacheFirstItem(dir.write("b.xml", "not xml at all"))));
}

TEST(CacheFirstItem, StopsAfterTheFirstItem) {
    TempDir dir;
    std::string body = brokenFarBelow(
        "<Tree BaseURL=\"http://x/feed\"><TreeNode Title=\"head\"><Desc>d</Desc></TreeNode>");
    tree::CacheFirstItem first = tree::ReadCacheFirstItem(dir.write("big.xml", body));
    EXPECT_EQ(first.title, "head");
    EXPECT_EQ(first.desc, "d");
}

TEST_F(ChannelSource, ATreeFileFromTheWebNamesNoLocalFileAndNoScriptFeed) {
    const std::string web = "BaseURL=\"http://127.0.0.1:9/tree.xml\" Type=\"url\"";
    for (const char* attributes :
         {"Title=\"p\" NodeSrc=\"file:///etc/passwd\"",
          "Title=\"p\" NodeSrc=\"FILE:///etc/x.xml\"", "Title=\"p\" NodeSrc=\"c:\\secret.xml\"",
          "Title=\"p\" Rss=\"file:///dev/zero\"", "Title=\"p\" Rss=\"java&#9;script:x\""}) {
        Answer a = resolve(nodeIn("url/remote.xml", web, attributes));
        EXPECT_EQ(a.result, tree::kNotChannel) << attributes;
        EXPECT_EQ(a.source + a.feed, "") << attributes;
    }
    // The same names in the user's own category are the user's to make.
    EXPECT_EQ(
        resolve(nodeIn("fav/own.xml", "", "Title=\"p\" NodeSrc=\"file:///etc/x.xml\"")).result,
        tree::kLocalFile);
    EXPECT_EQ(
        resolve(nodeIn("url/remote.xml", web, "Title=\"p\" Rss=\"http://127.0.0.1:9/f\"")).feed,
        "http://127.0.0.1:9/f");
}
