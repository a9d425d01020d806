#include "collection/SyncedChannels.h"

#include "platform/HomeFolder.h"
#include "tree/TreeFileChannels.h"

#include <filesystem>

namespace kelvor::collection {
namespace {

constexpr const char* kPrefix = "sync-";
constexpr const char* kSuffix = ".xml";

bool hasSyncName(const std::string& name) {
    const std::string prefix = kPrefix, suffix = kSuffix;
    return name.size() > prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

bool isSyncCategoryFile(const std::string& path) {
    std::filesystem::path file(path);
    return file.parent_path().filename() == "fav" && hasSyncName(file.filename().string());
}

std::set<std::string> syncCategoryFiles(const std::string& home) {
    std::set<std::string> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(home + "/fav", error), end; !error && it != end;
         it.increment(error))
        if (hasSyncName(it->path().filename().string()) && it->is_regular_file(error))
            files.insert(platform::normalPath(it->path().string()));
    return files;
}

std::set<std::string> syncedCopies(const std::string& home) {
    std::set<std::string> copies;
    for (const std::string& file : syncCategoryFiles(home))
        for (const tree::FileChannel& channel : tree::channelsInTreeFile(file))
            if (!channel.cacheFile.empty())
                copies.insert(platform::normalPath(channel.cacheFile));
    return copies;
}

} // namespace kelvor::collection
