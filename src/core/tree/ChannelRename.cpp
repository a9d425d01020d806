#include "tree/ChannelRename.h"

#include "platform/AtomicFile.h"
#include "platform/HomeFolder.h"
#include "tree/ChannelSource.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace kelvor::tree {
namespace {

struct CopyPlace {
    int state = kNotChannel;
    std::string path;
};

CopyPlace copyPlaceOf(const xml::Node& node) {
    CopyPlace place;
    std::string source, feed;
    place.state = ResolveChannelSource(node, source, place.path, feed);
    return place;
}

// A copy keeps its age: the expiry rules read it from the file's time.
bool copyKeepingAge(const std::string& from, const std::string& to) {
    std::string bytes;
    std::error_code error;
    auto written = fs::last_write_time(from, error);
    if (error || !platform::readWholeFile(from, bytes) ||
        !platform::writeFileAtomically(to, bytes, nullptr, false))
        return false;
    fs::last_write_time(to, written, error);
    return true;
}

} // namespace

std::string existingCopyOf(const xml::Node& node) {
    CopyPlace place = copyPlaceOf(node);
    return hasCopy(place.state) ? place.path : std::string();
}

std::string carryCopyAfterRename(const std::string& oldCopy, const xml::Node& node, bool keepOld) {
    CopyPlace now = copyPlaceOf(node);
    if (oldCopy.empty() || now.path.empty() || now.path == oldCopy)
        return hasCopy(now.state) ? now.path : std::string();
    std::string from = platform::pathOfFileAddress(oldCopy);
    std::string to = platform::pathOfFileAddress(now.path);
    std::error_code error;
    if (hasCopy(now.state)) {
        if (!keepOld)
            fs::remove(from, error);
        return now.path;
    }
    if (now.state != kMustDownload)
        return std::string();
    bool carried = keepOld ? copyKeepingAge(from, to) : (fs::rename(from, to, error), !error);
    return carried ? now.path : std::string();
}

} // namespace kelvor::tree
