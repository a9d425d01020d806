#include "ThousandSet.h"

#include "Collection.h"
#include "TempPath.h"
#include "WordFeeds.h"
#include "store/Store.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace kelvor::bench {

const char* const kThousandCategory = "千个频道";

namespace {

int positiveFromEnvironment(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

std::string feedName(int channel) { return "/feed" + std::to_string(channel) + ".xml"; }

// The feeds stay from one run to the next; "complete" is written last, so
// a run stopped half-way makes them again.
void writeFeeds(const std::string& folder, int channels) {
    std::string stamp = folder + "/complete";
    if (fs::exists(stamp))
        return;
    auto start = std::chrono::steady_clock::now();
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::vector<std::string> words = collectionWords();
    for (int c = 0; c < channels; ++c)
        std::ofstream(folder + feedName(c), std::ios::binary)
            << generateWordFeed(kThousandEntries, c, words);
    std::ofstream(stamp) << channels << "\n";
    std::fprintf(stderr, "generated %d feeds in %.1f s\n", channels,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

} // namespace

int thousandChannels() { return positiveFromEnvironment("KELVOR_BENCH_CHANNELS", 1000); }
int benchRounds(int fallback) { return positiveFromEnvironment("KELVOR_BENCH_ROUNDS", fallback); }

std::string ThousandSet::channelTitle(int channel) { return "channel" + std::to_string(channel); }

ThousandSet::ThousandSet() : channels(thousandChannels()) {
    folder = tempPath("kelvor-bench-thousand-" + std::to_string(channels));
    home = fs::absolute(folder + "/home").lexically_normal().string();
    writeFeeds(folder + "/feeds", channels);
    for (int c = 0; c < channels; ++c)
        feedFiles.push_back(folder + "/feeds" + feedName(c));
    server = std::make_unique<StaticServer>(folder + "/feeds", folder + "/nginx");
    fs::create_directories(home + "/fav");
    // The port is new at every run: the copies of an earlier one name other
    // addresses and are no use.
    fs::remove_all(home + "/rss");
    writeHomeTree(home, *this, channels);
}

std::string ThousandSet::smallHome(int count) const {
    std::string small = folder + "/home" + std::to_string(count);
    fs::remove_all(small);
    fs::create_directories(small + "/rss");
    for (int c = 0; c < count; ++c) {
        std::string copy = "/rss/" + channelTitle(c) + ".xml";
        fs::create_hard_link(home + copy, small + copy);
    }
    writeHomeTree(small, *this, count);
    return fs::absolute(small).lexically_normal().string();
}

void writeHomeTree(const std::string& home, const ThousandSet& set, int count) {
    fs::create_directories(home + "/fav");
    std::ofstream(home + "/index.xml")
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tree><TreeNode Title=\"" << kThousandCategory
        << "\" NodeSrc=\"/fav/channels.xml\"/></Tree>";
    std::ofstream tree(home + "/fav/channels.xml");
    tree << "<?xml version=\"1.0\" encoding=\"utf-8\"?><Tree Type=\"fav\" Title=\""
         << kThousandCategory << "\">";
    for (int c = 0; c < count; ++c)
        tree << "<TreeNode Title=\"" << ThousandSet::channelTitle(c) << "\" Rss=\""
             << set.server->url(feedName(c)) << "\"/>";
    tree << "</Tree>";
}

ThousandSet& thousandSet() {
    static auto instance = std::make_unique<ThousandSet>();
    return *instance;
}

double databaseBytes(const std::string& home) {
    double bytes = 0;
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::string path = store::Store::pathFor(home) + suffix;
        if (fs::is_regular_file(path, ec))
            bytes += static_cast<double>(fs::file_size(path, ec));
    }
    return bytes;
}

double folderBytes(const std::string& folder) {
    double bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            bytes += static_cast<double>(entry.file_size());
    return bytes;
}

} // namespace kelvor::bench
