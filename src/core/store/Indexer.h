// Keeps the index in step with the tree files the tree reaches: index.xml,
// the local files its NodeSrc items lead to inside the home folder (the
// categories in fav/ among them), and from all of these the copies of the
// channels they name (in rss/ and url/, found as the tree finds them under
// platform::programFolder(), which must be the store's home). A file is read
// again only when its time or size changed.
#pragma once

#include "store/Store.h"

#include <atomic>
#include <functional>
#include <string>

namespace kelvor::store {

struct IndexReport {
    int indexed = 0;      // files read (new or changed)
    int unchanged = 0;    // files whose time and size still matched
    int removed = 0;      // files gone from the disk or no longer reached
    bool stopped = false; // asked to stop before the end
};

// Checks every tree file of the home folder and indexes what changed. When
// *stop turns true it ends after the file under way, keeping what is done;
// a run reads at least one changed file before it stops, so runs stopped
// again and again still get through.
// `progress`, when given, is told after each file read (not after those that
// were unchanged) how many files were looked at and how many are known so
// far; the second grows as the tree is walked.
using IndexProgress = std::function<void(int looked, int found)>;
IndexReport updateIndex(Store& store, const std::atomic<bool>* stop = nullptr,
                        const IndexProgress& progress = {});

// Indexes one file now (a cache file just written, a category just saved),
// or forgets it when it no longer exists. True when the file was read.
bool indexFile(Store& store, const std::string& path);

} // namespace kelvor::store
