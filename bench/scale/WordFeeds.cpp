#include "WordFeeds.h"

#include <random>

namespace kelvor::bench {
namespace {

constexpr int kTitleWords = 6;
constexpr int kDescriptionWords = 190;

void appendWords(std::string& text, std::mt19937& random, const std::vector<std::string>& words,
                 int count) {
    for (int i = 0; i < count; ++i) {
        text += words[random() % words.size()];
        text += i % 9 == 8 ? "。" : " ";
    }
}

void appendItem(std::string& feed, std::mt19937& random, const std::vector<std::string>& words,
                const std::string& base, int item) {
    std::string link = base + "item/" + std::to_string(item);
    feed += "<item>\n<title>";
    appendWords(feed, random, words, kTitleWords);
    feed += "</title>\n<link>" + link + "</link>\n<pubDate>Mon, 02 Jun 2025 10:" +
            std::to_string(10 + item % 50) + ":00 +0800</pubDate>\n<guid>" + link +
            "</guid>\n<description>&lt;p&gt;";
    appendWords(feed, random, words, kDescriptionWords);
    feed += " &lt;a href=&quot;" + link + "/notes&quot;&gt;notes&lt;/a&gt;&lt;/p&gt;"
            "</description>\n</item>\n";
}

} // namespace

std::string generateWordFeed(int items, int seed, const std::vector<std::string>& words) {
    std::mt19937 random(static_cast<unsigned>(seed) * 7919u + 13u);
    std::string base = "https://example.org/" + std::to_string(seed) + "/";
    std::string feed = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
                       "<title>Benchmark channel " + std::to_string(seed) + "</title>\n<link>" +
                       base + "</link>\n<description>Synthetic feed</description>\n";
    for (int i = 0; i < items; ++i)
        appendItem(feed, random, words, base, i);
    return feed + "</channel>\n</rss>\n";
}

} // namespace kelvor::bench
