#include "FeedGenerator.h"

namespace kelvor::bench {
namespace {

std::string paragraph(int item, int seed) {
    std::string text = "&lt;p&gt;第 " + std::to_string(item) + " 篇报道（频道 " +
                       std::to_string(seed) +
                       "）：开源社区本周发布了新的版本，修复了多处问题并改进了性能。";
    while (text.size() < 1500)
        text += " The release notes describe the changes in detail, with &lt;a "
                "href=&quot;https://example.org/"
                "notes&quot;&gt;links&lt;/a&gt; to every fixed issue.";
    return text + "&lt;/p&gt;";
}

} // namespace

std::string generateFeed(int items, int seed) {
    std::string feed =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
        "<title>Benchmark channel " +
        std::to_string(seed) +
        "</title>\n"
        "<link>https://example.org/" +
        std::to_string(seed) +
        "/</link>\n"
        "<description>Synthetic feed</description>\n";
    for (int i = 0; i < items; ++i) {
        std::string n = std::to_string(i);
        feed += "<item>\n<title>新闻标题 " + n + " — headline number " + n +
                "</title>\n"
                "<link>https://example.org/" +
                std::to_string(seed) + "/item/" + n +
                "</link>\n"
                "<pubDate>Mon, 02 Jun 2025 10:" +
                std::to_string(10 + i % 50) +
                ":00 +0800</pubDate>\n"
                "<guid>https://example.org/" +
                std::to_string(seed) + "/item/" + n +
                "</guid>\n"
                "<description>" +
                paragraph(i, seed) + "</description>\n</item>\n";
    }
    return feed + "</channel>\n</rss>\n";
}

std::string generateAtomFeed(int items, int seed) {
    std::string base = "https://example.org/" + std::to_string(seed);
    std::string feed = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<feed xmlns=\"http://www.w3.org/2005/Atom\">\n<title>Benchmark channel " +
                       std::to_string(seed) + "</title>\n<link href=\"" + base +
                       "/\"/>\n<updated>2025-06-02T10:00:00+08:00</updated>\n";
    for (int i = 0; i < items; ++i) {
        std::string n = std::to_string(i);
        feed += "<entry>\n<title>新闻标题 " + n + " — headline number " + n +
                "</title>\n<link rel=\"alternate\" href=\"" + base + "/item/" + n + "\"/>\n<id>" +
                base + "/item/" + n +
                "</id>\n<updated>2025-06-02T10:" + std::to_string(10 + i % 50) +
                ":00+08:00</updated>\n<summary type=\"html\">" + paragraph(i, seed) +
                "</summary>\n</entry>\n";
    }
    return feed + "</feed>\n";
}

} // namespace kelvor::bench
