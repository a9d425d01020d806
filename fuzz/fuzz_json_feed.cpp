// A JSON Feed from the web through its conversion. Whatever the bytes, the
// conversion either declines and leaves the task as it was, or writes a tree
// file that parses, holds one TreeNode per object in "items" (of the
// repaired text when the bytes do not parse), keeps every link within the
// address policy, stays in proportion to the feed and reads back after a
// save.
#include "FuzzSupport.h"
#include "TreeChecks.h"
#include "feeds/DownloadTask.h"
#include "feeds/JsonFeedConversion.h"
#include "feeds/JsonRepair.h"

#include <nlohmann/json.hpp>

#include <string>

using namespace kelvor;

namespace {

// Counted on the whole document, as the conversion reads it: the bytes when
// they parse, else their repaired text.
size_t objectItems(const std::string& bytes) {
    auto feed = nlohmann::json::parse(bytes, nullptr, false);
    if (feed.is_discarded())
        feed = nlohmann::json::parse(feeds::repairJsonText(bytes), nullptr, false);
    auto items = feed.is_object() ? feed.find("items") : feed.end();
    if (items == feed.end() || !items->is_array())
        return 0;
    size_t count = 0;
    for (const auto& entry : *items)
        count += entry.is_object() ? 1 : 0;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    feeds::DownloadTask task;
    task.title = "频道";
    task.feedUrl = "https://example.com/feed.json";
    const feeds::DownloadTask original = task;
    std::string text;
    if (!feeds::ConvertJsonFeedToText(bytes, task,
                                      [&text](const std::string& piece) { text += piece; })) {
        if (!text.empty() || task.href != original.href || task.title != original.title)
            fuzz::fail("a declined JSON Feed still wrote or changed something");
        return 0;
    }
    size_t items = objectItems(bytes);
    fuzz::checkBounded(text.size(), size, 8, "the tree file of a JSON Feed", items);
    xml::Document converted = fuzz::parsedTree(text);
    if (converted.getElementsByTagName("TreeNode").size() != items)
        fuzz::fail("not one TreeNode per item of the JSON Feed");
    fuzz::checkLinksFromTheWeb(converted);
    fuzz::checkReadsBack(converted);
    return 0;
}
