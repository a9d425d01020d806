// The channels a tree file holds, read from the file rather than from the
// tree: work on categories the user never opened runs off the window's
// thread, on its own copy of each file.
#pragma once

#include "platform/XmlDom.h"
#include "tree/ChannelSource.h"

#include <ctime>
#include <string>
#include <vector>

namespace kelvor::tree {

struct FileChannel {
    std::string file;     // the tree file that holds it
    std::string fileType; // that file's root Type
    std::string position; // "2.0.5": its place among TreeNode siblings, from the root down
    int order = 0;        // its place among the walk's TreeNodes of that file, in document order
    std::string title, href;
    ChannelResult state = kNotChannel;
    std::string source, cacheFile, feed;
    // The newest headline stored on its first-child Desc.
    std::string headlineTitle, headlineHref, headlineDate;
};

// The place of a TreeNode among its siblings, from the root down ("" for the
// root or a null node).
std::string positionOf(const xml::Node& node);

// The channels at or under the TreeNode at `position` of the tree file (the
// whole file for ""), in document order. With followLocal, items whose
// NodeSrc is a local tree file lead into that file, each file read once. A
// file that does not load, or a position not there, gives nothing.
std::vector<FileChannel> channelsInTreeFile(const std::string& path,
                                            const std::string& position = {},
                                            bool followLocal = false,
                                            std::time_t now = std::time(nullptr));

// A hot channel whose copy was just downloaded, by its place in its file.
struct HeadlinePlace {
    std::string position, title, cacheFile;
};
// Stores each channel's newest headline, read from its copy, on the channel
// at its position (when the channel there still has that title) and saves
// the file. False when the file did not load or could not be saved.
bool storeHeadlinesInFile(const std::string& path, const std::vector<HeadlinePlace>& places);

} // namespace kelvor::tree
