// Tools > 清空缓存文件夹: deletes the converted channel files, after asking.
#pragma once

#include <string>

class CollectionService;

namespace kelvor::app {

// Deletes every regular file directly in home/rss and home/url whose name
// ends in ".xml" (lower case). Hidden files, folders and what they hold,
// and everything elsewhere (fav/, the style sheets) stay. Files that cannot
// be deleted stay too. The temporary files of interrupted writes there go
// as well (the writer's own hidden names, whatever their age, unless still
// being written).
// Returns how many files were deleted.
int clearCacheFolders(const std::string& home);

// Asks first (string 61210, OK/Cancel); returns true when it cleared. With
// the collection, it then asks whether the channels' history goes too
// (kept, the entries of the copies just deleted join it).
bool ClearCache(CollectionService* collection = nullptr);

} // namespace kelvor::app
