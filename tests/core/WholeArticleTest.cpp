// What a converted entry shows: its whole article rather than the teaser,
// plain text as written, a title even when the feed gives none, and links
// that resolve whatever characters they are written in.
#include "feeds/DownloadTask.h"
#include "feeds/DownloadWorker.h"
#include "feeds/EntryTitle.h"
#include "feeds/JsonFeedConversion.h"
#include "platform/UrlResolve.h"
#include "platform/XmlChars.h"

#include <gtest/gtest.h>

namespace feeds = kelvor::feeds;
namespace xml = kelvor::xml;

namespace {

struct Entry {
    std::string title, href, desc;
};

std::vector<Entry> entriesOf(const std::string& converted) {
    xml::Document doc = xml::Document::create();
    EXPECT_TRUE(doc.loadXML(converted)) << converted;
    std::vector<Entry> entries;
    for (const xml::Node& node : doc.getElementsByTagName("TreeNode")) {
        Entry entry{node.attributeOr("Title"), node.attributeOr("Href"), {}};
        for (xml::Node child = node.firstChild(); child; child = child.nextSibling()) {
            if (child.nameIs("Desc"))
                entry.desc += child.text();
        }
        entries.push_back(entry);
    }
    return entries;
}

feeds::DownloadTask task() {
    feeds::DownloadTask task;
    task.title = "Channel";
    task.feedUrl = "http://feeds.example/feed";
    return task;
}

std::vector<Entry> xmlEntries(const std::string& feed) {
    xml::Document source = xml::Document::create();
    EXPECT_TRUE(source.loadXML(feed)) << feed;
    feeds::DownloadTask t = task();
    std::string text;
    EXPECT_TRUE(feeds::convertFeedToText(source, t, [&](const std::string& p) { text += p; }));
    return entriesOf(text);
}

std::vector<Entry> jsonEntries(const std::string& items) {
    feeds::DownloadTask t = task();
    std::string text;
    EXPECT_TRUE(feeds::ConvertJsonFeedToText(
        "{\"version\": \"https://jsonfeed.org/version/1.1\", \"items\": [" + items + "]}", t,
        [&](const std::string& p) { text += p; }));
    return entriesOf(text);
}

std::string atom(const std::string& entries) {
    return "<feed xmlns='http://www.w3.org/2005/Atom' xml:base='http://example.org/blog/'>" +
           entries + "</feed>";
}

} // namespace

TEST(WholeArticle, TheFullTextIsTheDescAndPlainTextShowsAsWritten) {
    auto rss = xmlEntries("<rss xmlns:content='http://purl.org/rss/1.0/modules/content/'><channel>"
                          "<item><title>a</title><description>teaser</description>"
                          "<content:encoded>&lt;p&gt;whole&lt;/p&gt;</content:encoded></item>"
                          "<item><title>b</title><content:encoded> </content:encoded>"
                          "<description>only teaser</description></item></channel></rss>");
    ASSERT_EQ(rss.size(), 2u);
    EXPECT_EQ(rss[0].desc, "<p>whole</p>") << "content:encoded wins, before or after";
    EXPECT_EQ(rss[1].desc, "only teaser") << "a blank content:encoded does not";

    auto entries = xmlEntries(
        atom("<entry><title>a</title><summary>teaser</summary>"
             "<content type='html'>&lt;p&gt;whole&lt;/p&gt;</content></entry>"
             "<entry><title>b</title><content src='http://x.example/'/>"
             "<summary>a &lt; b &amp;amp; c &lt;/d</summary></entry>"
             "<entry><title>c</title><content type='text'>1 &lt;b&gt;2</content></entry>"));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].desc, "<p>whole</p>");
    EXPECT_EQ(entries[1].desc, "a < b &amp;amp; c &lt;/d") << "src content leaves the text summary";
    EXPECT_EQ(entries[2].desc, "1 &lt;b>2");

    auto json = jsonEntries(R"({"title": "a", "content_html": "<b>h</b>", "content_text": "t"},
                               {"title": "b", "content_text": "x<y & <!--", "summary": "s"},
                               {"title": "c", "summary": "s"})");
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[0].desc, "<b>h</b>");
    EXPECT_EQ(json[1].desc, "x&lt;y & &lt;!--");
    EXPECT_EQ(json[2].desc, "s");
}

TEST(EntryTitle, FirstWordsCutAtABoundary) {
    EXPECT_EQ(feeds::derivedTitle("<p>Short <b>text</b> &amp; more</p>", ""), "Short text & more");

    std::string english = "The quick brown fox jumps over the lazy dog and keeps running far away";
    std::string cut = feeds::derivedTitle(english, "");
    EXPECT_EQ(cut, "The quick brown fox jumps over the lazy…") << "before the word it would split";

    std::string chinese;
    for (int i = 0; i < 50; ++i)
        chinese += "汉";
    cut = feeds::derivedTitle("<p>" + chinese + "</p>", "");
    EXPECT_EQ(cut, chinese.substr(0, 40 * 3) + "…");
    EXPECT_TRUE(xml::isXmlText(cut));

    std::string mixed = "a" + chinese; // the cut lands after the one-byte "a"
    cut = feeds::derivedTitle(mixed, "");
    EXPECT_EQ(cut, mixed.substr(0, 1 + 39 * 3) + "…");

    EXPECT_EQ(feeds::derivedTitle(" <img src='x'> ", "http://h.example/a/%E4%B9%9D.html?x=1#y"),
              "九.html")
        << "no text: the link's last path segment, decoded";
    EXPECT_EQ(feeds::derivedTitle("", "http://h.example/posts/42/"), "42");
    EXPECT_EQ(feeds::derivedTitle("", "http://h.example/a/%FF"), "%FF") << "no text once decoded";
    EXPECT_EQ(feeds::derivedTitle("", "http://h.example"), "(无标题)");
    EXPECT_EQ(feeds::derivedTitle("", ""), "(无标题)");
}

TEST(EntryTitle, EveryConverterGivesUntitledEntriesOne) {
    auto rss = xmlEntries("<rss><channel><item><link>http://r.example/p/rss-post</link></item>"
                          "<item><title>kept</title><description>d</description></item>"
                          "</channel></rss>");
    ASSERT_EQ(rss.size(), 2u);
    EXPECT_EQ(rss[0].title, "rss-post");
    EXPECT_EQ(rss[1].title, "kept");

    auto entries = xmlEntries(atom("<entry><title>  </title><summary>Atom words</summary></entry>"
                                   "<entry/>"));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].title, "Atom words");
    EXPECT_EQ(entries[1].title, "(无标题)");

    auto json =
        jsonEntries(R"({"content_text": "x<y"}, {"title": 42, "url": "http://j.example/n"})");
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0].title, "x<y") << "escaped for the Desc, plain again as a title";
    EXPECT_EQ(json[1].title, "n");
}

TEST(AtomLinks, ChineseAndEmptyHrefsResolveAgainstTheBase) {
    auto entries = xmlEntries(atom("<entry><title>a</title><link href='文章/九.html'/></entry>"
                                   "<entry><title>b</title><link href=''/></entry>"
                                   "<entry xml:base='javascript:x/'><title>c</title>"
                                   "<link href='文'/></entry>"));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].href, "http://example.org/blog/%E6%96%87%E7%AB%A0/%E4%B9%9D.html");
    EXPECT_EQ(entries[1].href, "http://example.org/blog/");
    EXPECT_EQ(entries[2].href, "") << "the policy still has the last word";

    using kelvor::platform::resolveUrl;
    EXPECT_EQ(resolveUrl("http://h.example/a/b#top", ""), "http://h.example/a/b");
    EXPECT_EQ(resolveUrl("http://h.example/目录/", "../x"), "http://h.example/x");
    EXPECT_EQ(resolveUrl("http://h.example/a/", "?q=中"), "http://h.example/a/?q=%E4%B8%AD");
}
