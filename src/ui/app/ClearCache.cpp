#include "app/ClearCache.h"

#include "collection/CollectionService.h"
#include "frame/FrameInterface.h"
#include "platform/HomeFolder.h"
#include "platform/TemporaryFiles.h"
#include "tree/Strings.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace kelvor::app {
namespace {
bool isCacheFile(const fs::directory_entry& entry) {
    std::error_code error;
    std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.')
        return false;
    // Sockets, pipes and folders are never cache files.
    if (!entry.is_regular_file(error))
        return false;
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0;
}

int clearFolder(const fs::path& folder, const std::string& home) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error)
        return 0;
    int deleted = 0;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            break;
        if (isCacheFile(*it) && fs::remove(it->path(), error))
            ++deleted;
    }
    // What refreshes killed half-way left behind is cache too; a refresh
    // still writing holds its file and keeps it.
    return deleted + platform::removeLeftoverTemporaries(folder.string(), home, false);
}
} // namespace

int clearCacheFolders(const std::string& home) {
    if (home.empty())
        return 0;
    return clearFolder(fs::path(home) / "rss", home) + clearFolder(fs::path(home) / "url", home);
}

bool ClearCache(CollectionService* collection) {
    if (messageBox(str::kConfirmClearCache, str::kAppTitle, MessageIcon::Warning,
                   MessageButtons::OkCancel) != kIdOk)
        return false;
    clearCacheFolders(platform::programFolder());
    if (collection &&
        messageBox("频道的历史条目（已经不在频道中的旧条目）也一并清除吗？清除后无法恢复。",
                   str::kAppTitle, MessageIcon::Question, MessageButtons::YesNo) == kIdYes)
        collection->clearHistory();
    return true;
}

} // namespace kelvor::app
