// The generated set of the thousand-channel rows, kept under $TMPDIR (or
// /tmp) as kelvor-bench-thousand-N and reused by later runs: N feeds of 200
// items (WordFeeds.h) served by nginx on 127.0.0.1, and a home folder whose
// first category, 千个频道, lists them all. Its rss/ is what the last
// refresh wrote, its kelvor.db what the last index from nothing made.
// N is KELVOR_BENCH_CHANNELS, 1,000 when unset.
#pragma once

#include "StaticServer.h"

#include <memory>
#include <string>
#include <vector>

namespace kelvor::bench {

constexpr int kThousandEntries = 200;
constexpr int kSmallChannels = 10;
extern const char* const kThousandCategory;

int thousandChannels();
// KELVOR_BENCH_ROUNDS, else `fallback`: how many runs a row takes the median of.
int benchRounds(int fallback);

struct ThousandSet {
    int channels = 0;
    std::string folder, home;
    std::vector<std::string> feedFiles;
    std::unique_ptr<StaticServer> server;

    ThousandSet(); // generates what is missing, starts nginx, writes the home's tree
    std::string categoryFile() const { return home + "/fav/channels.xml"; }
    // The channel's title in the tree; its copy is rss/<title>.xml.
    static std::string channelTitle(int channel);
    // A home of the first `count` channels: their copies (linked), its
    // own tree and index. Made again each time.
    std::string smallHome(int count) const;
};

ThousandSet& thousandSet();

// Sizes in bytes: a file with its -wal and -shm, or every file of a folder.
double databaseBytes(const std::string& home);
double folderBytes(const std::string& folder);

// Writes index.xml and fav/channels.xml for the first `count` channels.
void writeHomeTree(const std::string& home, const ThousandSet& set, int count);

} // namespace kelvor::bench
