#include "Collection.h"

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace kelvor::bench {
namespace {

constexpr int kVocabulary = 4000;

std::string sentence(std::mt19937& random, const std::vector<std::string>& words, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += words[random() % words.size()] + (i % 7 == 6 ? "。" : " ");
    return text;
}

std::string feedOf(int channel) { return "http://127.0.0.1:9/" + std::to_string(channel) + "/"; }

void writeChannel(const std::string& path, int channel, int entries,
                  const std::vector<std::string>& words) {
    std::mt19937 random(static_cast<unsigned>(channel) + 1);
    std::string tree = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tree Type=\"rss\" Title=\"频道 " +
                       std::to_string(channel) + "\" Href=\"" + feedOf(channel) + "\" BaseURL=\"" +
                       feedOf(channel) + "\">";
    for (int i = 0; i < entries; ++i) {
        std::string link = feedOf(channel) + std::to_string(i);
        tree += "<TreeNode Title=\"" + sentence(random, words, 6) + "\" Href=\"" + link +
                "\" Date=\"Mon, 02 Jun 2025 10:00:00 +0800\"><Desc>&lt;p&gt;" +
                sentence(random, words, 90) + "&lt;/p&gt;</Desc></TreeNode>";
    }
    std::ofstream(path, std::ios::binary) << tree << "</Tree>";
}

} // namespace

std::vector<std::string> collectionWords() {
    static const char* const consonants = "bdfgklmnprstvz";
    static const char* const vowels = "aeiou";
    static const char* const han[] = {"云", "雨", "山", "海", "城", "桥", "书", "灯", "风", "河",
                                      "林", "石", "星", "月", "花", "鸟", "田", "港", "路", "塔"};
    std::vector<std::string> words;
    std::mt19937 random(7);
    for (int i = 0; i < kVocabulary; ++i) {
        std::string word;
        if (i % 4 == 3) {
            word = std::string(han[random() % 20]) + han[random() % 20];
        } else {
            for (int s = 0; s < 3; ++s) {
                word += consonants[random() % 14];
                word += vowels[random() % 5];
            }
        }
        words.push_back(word);
    }
    return words;
}

void writeCollection(const std::string& home, int channels, int entries) {
    std::string marker = home + "/rss/channel" + std::to_string(channels - 1) + ".xml";
    if (fs::exists(marker) && fs::exists(home + "/fav/fav.xml"))
        return;
    fs::remove_all(home);
    fs::create_directories(home + "/rss");
    fs::create_directories(home + "/fav");
    std::ofstream(home + "/index.xml")
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<Tree><TreeNode Title=\"我的收藏\" NodeSrc=\"/fav/fav.xml\"/></Tree>";
    std::string fav = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tree Type=\"fav\" Title=\"我的收藏\">";
    std::vector<std::string> words = collectionWords();
    for (int c = 0; c < channels; ++c) {
        writeChannel(home + "/rss/channel" + std::to_string(c) + ".xml", c, entries, words);
        fav += "<TreeNode Title=\"channel" + std::to_string(c) + "\" Rss=\"" + feedOf(c) + "\"/>";
    }
    std::ofstream(home + "/fav/fav.xml") << fav << "</Tree>";
}

} // namespace kelvor::bench
