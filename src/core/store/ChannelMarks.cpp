#include "store/ChannelMarks.h"

#include "store/EntryDate.h"
#include "store/ReadMarks.h"
#include "store/TreeFileItems.h"
#include "tree/TreeFileChannels.h"

#include <algorithm>
#include <filesystem>

namespace kelvor::store {
namespace {

bool downloaded(const tree::FileChannel& channel) {
    std::error_code ec;
    return channel.state > tree::kLocalFile && !channel.cacheFile.empty() &&
           std::filesystem::is_regular_file(channel.cacheFile, ec);
}

} // namespace

bool PageMarks::shows(const std::string& copy) const {
    return copy == cacheFile ||
           std::any_of(channels.begin(), channels.end(),
                       [&copy](const PageChannel& channel) { return channel.cacheFile == copy; });
}

PageMarks pageMarksOf(Store& store, const std::string& path) {
    PageMarks marks;
    if (isCachePath(path, store.home())) {
        std::string channel = channelOfCacheFile(store, path);
        if (channel.empty())
            return marks;
        marks.kind = PageMarks::kChannel;
        marks.cacheFile = path;
        marks.unread = unreadCount(store, channel);
        for (EntryState& entry : entryStatesOfFile(store, path))
            marks.entries.push_back({std::move(entry.link), std::move(entry.title), !entry.read,
                                     shownDate(entry.date)});
        return marks;
    }
    for (const tree::FileChannel& found : tree::channelsInTreeFile(path)) {
        if (found.fileType != "hot")
            break; // all of one file: the first tells
        marks.kind = PageMarks::kHot;
        std::string channel = downloaded(found) ? channelOfCacheFile(store, found.cacheFile) : "";
        PageChannel shown;
        shown.order = found.order;
        shown.title = found.title;
        shown.headlineShownDate = shownDate(found.headlineDate);
        if (channel.empty()) {
            // No copy yet, or none to count: its stored headline's date still
            // reads like the others.
            if (!shown.headlineShownDate.empty())
                marks.channels.push_back(std::move(shown));
            continue;
        }
        shown.cacheFile = found.cacheFile;
        shown.unread = unreadCount(store, channel);
        shown.headlineLink = found.headlineHref;
        if (!found.headlineTitle.empty() || !found.headlineHref.empty())
            shown.headlineUnread =
                !isRead(store, channel,
                        entryKeyOf(found.headlineTitle, found.headlineHref, found.headlineDate));
        marks.channels.push_back(std::move(shown));
    }
    return marks;
}

std::vector<std::string> markAllReadUnder(Store& store, const std::string& path,
                                          const std::string& position, std::time_t now) {
    std::vector<std::string> marked;
    for (const tree::FileChannel& found : tree::channelsInTreeFile(path, position, true, now)) {
        if (found.state <= tree::kLocalFile || found.cacheFile.empty() ||
            std::find(marked.begin(), marked.end(), found.cacheFile) != marked.end())
            continue;
        // A channel never downloaded is caught up under the address its copy
        // will name, so the entries it brings that are older than now are read.
        std::string channel =
            downloaded(found) ? channelOfCacheFile(store, found.cacheFile) : found.feed;
        if (channel.empty())
            continue;
        markChannelRead(store, channel, now);
        marked.push_back(found.cacheFile);
    }
    return marked;
}

} // namespace kelvor::store
