// kelvor-tool as a user runs it: the real binary against a real server.
#include "platform/XmlDom.h"
#include "store/Database.h"
#include "support/HttpServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

using kelvor::test::HttpResponse;
using kelvor::test::HttpServer;
using kelvor::test::TempDir;
namespace xml = kelvor::xml;

namespace {

struct ToolRun {
    int exitCode;
    std::string out, err;
};

std::string quoted(const std::string& arg) {
    std::string text = "'";
    for (char c : arg)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

// With limitKb, the tool runs with that much address space.
ToolRun tool(const std::vector<std::string>& args, long limitKb = 0) {
    TempDir io;
    std::string command = limitKb ? "ulimit -v " + std::to_string(limitKb) + "; " : "";
    command += quoted(KELVOR_TOOL_PATH);
    for (const auto& arg : args)
        command += " " + quoted(arg);
    command += " >" + quoted(io.file("out")) + " 2>" + quoted(io.file("err"));
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, io.read("out"), io.read("err")};
}

std::string lastLine(const std::string& text) {
    std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
    return trimmed.substr(trimmed.rfind('\n') + 1);
}

const char* kFeed =
    "<rss><channel><item><title>First &amp; best</title><link>http://e/1</link></item>"
    "<item><title>Second</title></item></channel></rss>";

} // namespace

TEST(KelvorTool, ConvertPrintsTheConvertedTreeFile) {
    HttpServer server;
    server.serve("/feed", kFeed);
    server.serve("/list.opml",
                 "<opml><body><outline title=\"Sub\" xmlUrl=\"http://s/rss\"/></body></opml>");

    ToolRun rss = tool({"convert", server.url("/feed"), "--title", "Chan <1>"});
    ASSERT_EQ(rss.exitCode, 0) << rss.err;
    xml::Document doc = xml::Document::create();
    ASSERT_TRUE(doc.loadXML(rss.out));
    xml::Node root = doc.documentElement();
    EXPECT_EQ(root.attributeOr("Type"), "rss");
    EXPECT_EQ(root.attributeOr("Title"), "Chan <1>");
    EXPECT_EQ(root.attributeOr("Href"), server.url("/feed"));
    EXPECT_EQ(root.firstChild().attributeOr("Title"), "First & best");

    ToolRun opml = tool({"convert", server.url("/list.opml"), "--href", "http://home/"});
    ASSERT_EQ(opml.exitCode, 0) << opml.err;
    ASSERT_TRUE(doc.loadXML(opml.out));
    EXPECT_EQ(doc.documentElement().attributeOr("Type"), "Opml");
    EXPECT_EQ(doc.documentElement().attributeOr("Href"), "http://home/");
    EXPECT_EQ(doc.documentElement().firstChild().attributeOr("Rss"), "http://s/rss");
}

TEST(KelvorTool, ConvertReportsTheWorkersLoadError) {
    HttpServer server;
    ToolRun missing = tool({"convert", server.url("/missing")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err.rfind("加载错误:错误代码 0x800C0194 行:0,列:0,原因:", 0), 0u)
        << missing.err;
}

TEST(KelvorTool, ConvertThatRunsOutOfMemoryFailsWithItsError) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers need more address space than the limit";
#endif
    const long limitKb = 128 * 1024;
    TempDir dir;
    std::string small =
        dir.write("small.json", "{\"version\": \"https://jsonfeed.org/version/1\"}");
    ASSERT_EQ(tool({"convert", small}, limitKb).exitCode, 0) << "the limit leaves room to start";

    // One text of 48 MB: the bytes, the parser's copy and the converted one
    // do not fit in 128 MB.
    std::string big = dir.write("big.json", "{\"version\": \"https://jsonfeed.org/version/1\", "
                                            "\"items\": [{\"content_text\": \"" +
                                                std::string(48u << 20, 'x') + "\"}]}");
    ToolRun run = tool({"convert", big}, limitKb);
    EXPECT_EQ(run.exitCode, 1) << "no abort on an uncaught bad_alloc: " << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "加载错误:错误代码 0x8007000E 行:0,列:0,原因:内存不足\n");
}

TEST(KelvorTool, ConvertOfAMissingFavoritesFolderNamesIt) {
    TempDir dir;
    ToolRun missing = tool({"convert", "$FAVORITES", "--favorites", dir.file("nowhere")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "找不到收藏夹文件夹“" + dir.file("nowhere") +
                               "”，请在 Internet 选项中设置收藏夹的位置！\n");

    dir.write("fav/a.url", "[InternetShortcut]\nURL=http://a/\n");
    ToolRun found = tool({"convert", "$FAVORITES", "--favorites", dir.file("fav")});
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_NE(found.out.find("Href=\"http://a/\""), std::string::npos) << found.out;
}

TEST(KelvorTool, RefreshDownloadsMissingCopiesAndLeavesFreshOnes) {
    HttpServer server;
    server.serve("/a", kFeed);
    server.serve("/b", kFeed);
    TempDir home;
    home.write("index.xml", "<Tree><TreeNode Title=\"Hot\" NodeSrc=\"/fav/hot.xml\"/>"
                            "<TreeNode Title=\"Gone\" Rss=\"" +
                                server.url("/gone") + "\"/></Tree>");
    home.write("fav/hot.xml", "<Tree Type=\"hot\"><TreeNode Title=\"A\" Rss=\"" + server.url("/a") +
                                  "\"/>"
                                  "<TreeNode Title=\"B\" Rss=\"" +
                                  server.url("/b") +
                                  "\"/>"
                                  "<TreeNode Title=\"A again\" NodeSrc=\"\" Rss=\"" +
                                  server.url("/a") + "\"/></Tree>");

    ToolRun first = tool({"refresh", home.file("index.xml"), "--timeout", "10"});
    EXPECT_EQ(first.exitCode, 1) << "one channel failed";
    EXPECT_EQ(lastLine(first.out), "3 downloaded, 1 failed, 0 fresh") << first.out << first.err;
    EXPECT_NE(first.out.find("failed  Gone: 加载错误:"), std::string::npos) << first.out;
    EXPECT_TRUE(std::filesystem::exists(home.file("rss/A.xml")));
    EXPECT_TRUE(std::filesystem::exists(home.file("rss/A again.xml")));
    EXPECT_TRUE(std::filesystem::exists(home.file("rss/B.xml")));

    ToolRun second = tool({"refresh", home.file("fav/hot.xml")});
    EXPECT_EQ(second.exitCode, 0) << second.out << second.err;
    EXPECT_EQ(second.out, "0 downloaded, 0 failed, 3 fresh\n");
    EXPECT_EQ(server.requestCount("/a"), 2);

    ToolRun all = tool({"refresh", home.file("fav/hot.xml"), "--all", "--home", home.path()});
    EXPECT_EQ(lastLine(all.out), "3 downloaded, 0 failed, 0 fresh");
    EXPECT_EQ(server.requestCount("/a"), 4);
}

TEST(KelvorTool, RefreshSaysWhichCopiesWereNotModifiedOrRecovered) {
    HttpServer server;
    kelvor::test::HttpResponse current;
    current.body = kFeed;
    current.etag = "\"same\"";
    server.serve("/current", current);
    server.serve("/broken", "<rss><item><title>Caf&eacute; & bar</title></item>");
    TempDir home;
    home.write("index.xml", "<Tree><TreeNode Title=\"Current\" Rss=\"" + server.url("/current") +
                                "\"/><TreeNode Title=\"Broken\" Rss=\"" + server.url("/broken") +
                                "\"/></Tree>");

    ToolRun first = tool({"refresh", home.file("index.xml"), "--all"});
    EXPECT_EQ(first.exitCode, 0) << first.out << first.err;
    EXPECT_NE(first.out.find("] recovered Broken -> "), std::string::npos) << first.out;
    EXPECT_EQ(lastLine(first.out), "2 downloaded, 0 failed, 0 fresh, 0 not modified, 1 recovered");
    EXPECT_NE(home.read("rss/Broken.xml").find("Title=\"Café &amp; bar\""), std::string::npos);

    ToolRun second = tool({"refresh", home.file("index.xml"), "--all"});
    EXPECT_NE(second.out.find("] not modified Current -> "), std::string::npos) << second.out;
    EXPECT_EQ(lastLine(second.out), "1 downloaded, 0 failed, 0 fresh, 1 not modified, 1 recovered");
}

TEST(KelvorTool, ConvertReadsEveryFormat) {
    const std::string fixtures = std::string(KELVOR_TEST_FIXTURES) + "/feeds/";
    ToolRun atom = tool({"convert", fixtures + "atom10.xml"});
    EXPECT_EQ(atom.exitCode, 0) << atom.err;
    EXPECT_NE(atom.out.find("Href=\"http://blog.example/base/posts/1.html\""), std::string::npos);
    ToolRun json = tool({"convert", fixtures + "jsonfeed11.json"});
    EXPECT_NE(json.out.find("Title=\"HTML wins\""), std::string::npos) << json.err;
    ToolRun broken = tool({"convert", fixtures + "recover-gb18030.broken.xml"});
    EXPECT_EQ(broken.exitCode, 0);
    EXPECT_NE(broken.out.find("新闻标题二"), std::string::npos);
    EXPECT_NE(broken.err.find("已修复格式错误后读取"), std::string::npos);
}

TEST(KelvorTool, DumpPrintsAnIndentedOutline) {
    TempDir dir;
    std::string file = dir.write(
        "t.xml", "<Tree><TreeNode Title=\"Folder\"><Desc>d</Desc>"
                 "<TreeNode Title=\"Link\" Href=\"http://l/\"/>"
                 "<TreeNode Title=\"Chan\" Rss=\"http://r/\" NodeSrc=\"x.xml\"/></TreeNode>"
                 "<TreeNode Title=\"Sub\" NodeSrc=\"/fav/s.xml\"/>"
                 "<TreeNode Title=\"Note\"><Desc>n</Desc></TreeNode></Tree>");
    ToolRun dump = tool({"dump", file});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.out, "text  Folder\n"
                        "  link  Link  http://l/\n"
                        "  channel  Chan  http://r/\n"
                        "subtree  Sub  /fav/s.xml\n"
                        "text  Note\n");
}

TEST(KelvorTool, BadArgumentsAreExplained) {
    ToolRun none = tool({});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("usage: kelvor-tool COMMAND"), std::string::npos);
    EXPECT_EQ(tool({"frobnicate"}).exitCode, 2);
    ToolRun unknown = tool({"refresh", "x.xml", "--bogus"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown option --bogus"), std::string::npos);
    EXPECT_EQ(tool({"convert"}).exitCode, 2);
    EXPECT_EQ(tool({"convert", "a", "--timeout", "soon"}).exitCode, 2);
    EXPECT_EQ(tool({"dump", "a.xml", "b.xml"}).exitCode, 2);
    ToolRun help = tool({"refresh", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("usage: kelvor-tool refresh TREEFILE"), std::string::npos);
    EXPECT_EQ(tool({"dump", "/no/such/file.xml"}).exitCode, 1);
}

TEST(KelvorTool, ChannelListsAndBookmarksGoInAndOut) {
    TempDir source, target;
    source.write("index.xml", "<Tree><TreeNode Title=\"新闻\"><TreeNode Title=\"A\" "
                              "Rss=\"http://h/a\"/></TreeNode></Tree>");
    source.write("marks.html",
                 "<DL><DT><H3>工具</H3><DL><DT><A HREF=\"http://h/t\">T</A></DL></DL>");
    target.write("fav/fav.xml", "<Tree Type=\"fav\"/>");

    ToolRun version = tool({"--version"});
    EXPECT_EQ(version.out, "kelvor-tool 1.70\n");
    ToolRun exported = tool({"export-opml", "--home", source.path()});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    source.write("list.opml", exported.out);
    ToolRun imported = tool({"import-opml", source.file("list.opml"), "--into", "fav/新闻.xml",
                             "--home", target.path()});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_NE(imported.out.find("导入 1 个频道或链接，1 个文件夹"), std::string::npos)
        << imported.out;
    ToolRun again = tool({"import-opml", source.file("list.opml"), "--into", "fav/新闻.xml",
                          "--home", target.path()});
    EXPECT_NE(again.out.find("跳过 1 个重复频道"), std::string::npos) << again.out;
    ToolRun marks = tool({"import-bookmarks", source.file("marks.html"), "--into", "fav/marks.xml",
                          "--home", target.path()});
    ASSERT_EQ(marks.exitCode, 0) << marks.err;
    EXPECT_EQ(tool({"dump", target.file("fav/fav.xml")}).exitCode, 0);
    xml::Document fav = xml::Document::create();
    ASSERT_TRUE(fav.load(target.file("fav/fav.xml")));
    EXPECT_EQ(fav.getElementsByTagName("TreeNode").size(), 2u) << "both new categories are listed";

    ToolRun favorites = tool({"convert", "$FAVORITES", "--favorites", source.file("marks.html")});
    ASSERT_EQ(favorites.exitCode, 0) << favorites.err;
    xml::Document converted = xml::Document::create();
    ASSERT_TRUE(converted.loadXML(favorites.out));
    xml::Node folder = converted.documentElement().firstChild();
    EXPECT_EQ(folder.attributeOr("Title"), "工具");
    EXPECT_EQ(folder.firstChild().attributeOr("Href"), "http://h/t");
    EXPECT_EQ(tool({"import-opml", source.file("list.opml"), "--into", "../evil.xml", "--home",
                    target.path()})
                  .exitCode,
              1);
    EXPECT_EQ(tool({"import-opml", source.file("list.opml")}).exitCode, 2);
}

TEST(KelvorTool, SearchFindsLinksNotesAndChannelsAndFollowsEdits) {
    TempDir home;
    home.write("index.xml", "<Tree><TreeNode Title=\"收藏\" NodeSrc=\"/fav/a.xml\"/>"
                            "<TreeNode Title=\"c\" Rss=\"http://f.test/\"/></Tree>");
    std::string category =
        "<Tree Type=\"fav\" Title=\"我的收藏\">"
        "<TreeNode Title=\"天气预报\" Href=\"http://w.test/\"/>"
        "<TreeNode Title=\"Note\"><Desc>&lt;i&gt;photosynthesis&lt;/i&gt;</Desc></TreeNode>"
        "</Tree>";
    home.write("fav/a.xml", category);
    home.write("rss/c.xml", "<Tree Type=\"rss\" Title=\"频道\" BaseURL=\"http://f.test/\">"
                            "<TreeNode Title=\"Weather today\" Href=\"http://f.test/1\"/></Tree>");

    ToolRun chinese = tool({"search", "天气", "--home", home.path()});
    ASSERT_EQ(chinese.exitCode, 0) << chinese.err;
    EXPECT_EQ(chinese.out, "天气预报\thttp://w.test/\t我的收藏\n");
    EXPECT_EQ(tool({"search", "PHOTOSYNTHESIS", "--home", home.path()}).out, "Note\t\t我的收藏\n");
    EXPECT_EQ(tool({"search", "weather", "--home", home.path()}).out,
              "Weather today\thttp://f.test/1\t频道\n");
    EXPECT_EQ(tool({"search", "e", "--home", home.path(), "--limit", "1"}).out.find('\n'),
              tool({"search", "e", "--home", home.path(), "--limit", "1"}).out.size() - 1);

    // The edit keeps the file's size; its time alone tells it changed.
    std::string edited = category;
    edited.replace(edited.find("天气预报"), std::string("天气预报").size(), "多云转晴");
    home.write("fav/a.xml", edited);
    auto when = std::filesystem::last_write_time(home.file("fav/a.xml"));
    std::filesystem::last_write_time(home.file("fav/a.xml"), when + std::chrono::seconds(3));
    EXPECT_EQ(tool({"search", "天气", "--home", home.path()}).out, "");

    home.write("kelvor.db", "not a database at all, not at all, not at all");
    ToolRun rebuilt = tool({"search", "多云", "--home", home.path()});
    EXPECT_EQ(rebuilt.exitCode, 0) << rebuilt.err;
    EXPECT_EQ(rebuilt.out, "多云转晴\thttp://w.test/\t我的收藏\n");
    EXPECT_TRUE(std::filesystem::exists(home.file("kelvor.db.broken")));
    EXPECT_EQ(tool({"search", "x", "--limit", "none", "--home", home.path()}).exitCode, 2);
}

TEST(KelvorToolSearch, SaysHowManyHitsThereAreGivesTheNextPageAndSaysWhenItFailed) {
    TempDir home;
    std::string notes = "<Tree Type=\"fav\" Title=\"我的收藏\">";
    for (int i = 0; i < 5; ++i)
        notes += "<TreeNode Title=\"comet " + std::to_string(i) + "\"/>";
    home.write("index.xml", "<Tree><TreeNode Title=\"收藏\" NodeSrc=\"/fav/a.xml\"/></Tree>");
    home.write("fav/a.xml", notes + "</Tree>");

    ToolRun first = tool({"search", "comet", "--limit", "2", "--home", home.path()});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "comet 0\t\t我的收藏\ncomet 1\t\t我的收藏\n");
    EXPECT_NE(first.err.find("共 5 项"), std::string::npos) << first.err;
    ToolRun last =
        tool({"search", "comet", "--limit", "2", "--offset", "4", "--home", home.path()});
    EXPECT_EQ(last.out, "comet 4\t\t我的收藏\n");
    EXPECT_EQ(tool({"search", "comet", "--offset", "-1", "--home", home.path()}).exitCode, 2);

    // A store whose full-text index is gone cannot search: that is no "nothing found".
    kelvor::store::Database(home.file("kelvor.db"))
        .exec("DROP TRIGGER items_removed; DROP TABLE items_terms");
    ToolRun failed = tool({"search", "comet", "--home", home.path()});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_NE(failed.err.find("搜索失败："), std::string::npos) << failed.err;
}

TEST(KelvorTool, ExportOpmlReadsTheHomeItsTreeFileLiesInAndCountsLocalChannels) {
    TempDir home;
    home.write("index.xml", "<Tree><TreeNode Title=\"Cat\" NodeSrc=\"/fav/cat.xml\"/></Tree>");
    home.write("fav/cat.xml",
               "<Tree Type=\"fav\"><TreeNode Title=\"Sub\" NodeSrc=\"/fav/sub.xml\"/>"
               "<TreeNode Title=\"local\" Rss=\"feeds/l.xml\"/></Tree>");
    home.write("fav/sub.xml",
               "<Tree Type=\"fav\"><TreeNode Title=\"w\" Rss=\"http://h/w\"/></Tree>");
    // Home-relative sub-trees lead into this home, not the default one.
    for (const char* file : {"index.xml", "fav/cat.xml"}) {
        ToolRun run = tool({"export-opml", home.file(file)});
        ASSERT_EQ(run.exitCode, 0) << file << ": " << run.err;
        EXPECT_NE(run.out.find("xmlUrl=\"http://h/w\""), std::string::npos) << file << run.out;
        EXPECT_EQ(run.out.find("l.xml"), std::string::npos) << file;
        EXPECT_EQ(run.err, "已略去 1 个本机文件频道\n") << file;
    }
}

TEST(KelvorTool, ProbeNamesTheFeedAPageLeadsToOrFails) {
    HttpServer server;
    server.serve("/feed", "<rss><channel><title>频道 &amp; 标题</title></channel></rss>");
    HttpResponse page;
    page.contentType = "text/html";
    page.body = "<!DOCTYPE html><html><head><link rel=\"alternate\" "
                "type=\"application/rss+xml\" href=\"/feed\"></head></html>";
    server.serve("/", page);

    ToolRun found = tool({"probe", server.url("/")});
    ASSERT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(found.out, "标题: 频道 & 标题\n频道地址: " + server.url("/feed") + "\n");

    std::string closed = server.url("/feed");
    server.stop();
    ToolRun failed = tool({"probe", closed});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err.rfind("加载错误:", 0), 0u) << failed.err;
}

TEST(KelvorTool, HistoryPrintsWhatLeftTheFeedAndClearHistoryForgetsIt) {
    TempDir home;
    home.write("index.xml", "<Tree><TreeNode Title=\"c\" Rss=\"http://f.test/\"/></Tree>");
    auto copy = [](const std::string& items) {
        return "<Tree Type=\"rss\" Title=\"频道\" BaseURL=\"http://f.test/\">" + items + "</Tree>";
    };
    const std::string gone = "<TreeNode Title=\"Gone soon\" Href=\"http://f.test/1\" "
                             "Date=\"Tue, 05 Mar 2024 08:00:00 GMT\"/>";
    const std::string stays = "<TreeNode Title=\"Stays\" Href=\"http://f.test/2\"/>";
    std::string path = home.write("rss/c.xml", copy(gone + stays));
    ASSERT_EQ(tool({"history", "rss/c.xml", "--home", home.path()}).out, "");

    home.write("rss/c.xml", copy(stays));
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) +
                                               std::chrono::seconds(3));
    ToolRun history = tool({"history", "rss/c.xml", "--home", home.path()});
    ASSERT_EQ(history.exitCode, 0) << history.err;
    EXPECT_EQ(history.out, "Gone soon\tTue, 05 Mar 2024 08:00:00 GMT\thttp://f.test/1\n");
    EXPECT_EQ(history.err, "共 1 条历史条目\n");
    EXPECT_EQ(tool({"history", path, "--home", home.path()}).out, history.out);
    EXPECT_EQ(tool({"search", "gone", "--home", home.path()}).out,
              "Gone soon\thttp://f.test/1\t频道\t历史\n");

    ToolRun cleared = tool({"clear-history", "--home", home.path()});
    ASSERT_EQ(cleared.exitCode, 0) << cleared.err;
    EXPECT_EQ(cleared.out, "已清除 1 条历史条目\n");
    EXPECT_EQ(tool({"history", path, "--home", home.path()}).out, "");
    EXPECT_EQ(tool({"search", "stays", "--home", home.path()}).out,
              "Stays\thttp://f.test/2\t频道\n");

    EXPECT_EQ(tool({"history", "index.xml", "--home", home.path()}).exitCode, 2);
    EXPECT_EQ(tool({"clear-history", "rss/c.xml", "--home", home.path()}).exitCode, 2);
}
