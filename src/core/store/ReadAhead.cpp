#include "store/ReadAhead.h"

#include "store/ItemTerms.h"
#include "store/PackedText.h"

namespace kelvor::store {

void ReadAhead::start(const std::string& path, int64_t mtime, int64_t size) {
    if (readings_.count(path))
        return;
    auto read = [path, home = home_] {
        TreeFileContent content = readTreeFileContent(path, home);
        for (IndexedItem& item : content.items)
            item.packedBody = packText(item.body);
        splitForIndex(content);
        return content;
    };
    readings_[path] = {mtime, size, std::async(std::launch::async, read)};
}

std::optional<TreeFileContent> ReadAhead::take(const std::string& path, int64_t mtime,
                                               int64_t size) {
    auto it = readings_.find(path);
    if (it == readings_.end())
        return std::nullopt;
    Reading reading = std::move(it->second);
    readings_.erase(it);
    TreeFileContent content;
    try {
        content = reading.content.get();
    } catch (const std::exception&) {
        // A file that cannot be read adds nothing until it changes again.
    }
    if (reading.mtime != mtime || reading.size != size)
        return std::nullopt;
    return content;
}

} // namespace kelvor::store
